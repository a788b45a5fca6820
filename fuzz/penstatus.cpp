// Pen-status datagrams as any host on the network may send them: the record walk, the
// validation, the decoding, and the dispatch of every valid record into recording touch and
// mouse devices, with the lost-up watchdog driven by a clock the input moves.
//
// Input: one byte of set-up (bits 0-2 pick the screen, bit 7 mouse mode), then operations:
//   0 L <L bytes>   one datagram of L bytes
//   1 M             the clock moves M milliseconds
//   2               the watchdog fires
// Properties: each valid record decodes to the bytes it came from; every touch contact lands
// on the screen; and whatever came before, once every pen has been silent for the lost-up
// time the watchdog leaves no contact down and no mouse button held.
#include "fuzzsupport.h"

#include "engine/pen/pendispatch.h"
#include "protocol/penstatusrecord.h"
#include "support/recordinginjection.h"
#include "core/monotonicclock.h"

#include <QRect>

#include <memory>

namespace {
// Ordinary screens, one left of the primary origin, a one-pixel one and one so large that
// its image in pen space is empty.
const QRect Screens[] = {
    QRect(0, 0, 800, 600),      QRect(0, 0, 1920, 1080), QRect(-1920, 0, 1920, 1200),
    QRect(100, 50, 3840, 2160), QRect(0, 0, 1, 1),       QRect(0, 0, 1280, 800),
    QRect(0, 0, 200000, 90000), QRect(0, 0, 799, 1),
};

void checkDecoded(const PenEvent& e, const QByteArray& datagram, qsizetype offset)
{
    const auto byte = [&](qsizetype i) {
        return int(quint8(datagram[offset + i]));
    };
    FUZZ_CHECK(e.id == byte(6));
    FUZZ_CHECK(e.button == byte(7));
    FUZZ_CHECK(e.posx == int(qint16(quint16(byte(8) << 8 | byte(9)))));
    FUZZ_CHECK(e.posy == int(qint16(quint16(byte(10) << 8 | byte(11)))));
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::initQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Reader in(data, size);
    const std::uint8_t setup = in.u8();
    const QRect screen = Screens[setup & 7];

    auto devices = std::make_shared<RecordingInjectionBackend>();
    auto clock = std::make_shared<ManualClock>();
    PenDispatch pens(devices, clock);
    pens.setScreenGeometry([screen] { return screen; });
    pens.setPenMode((setup & 0x80) ? PEN_MODE_MOUSE : PEN_MODE_TOUCH);
    pens.createTouchInjector();

    while (!in.atEnd()) {
        switch (in.u8() % 3) {
        case 0: {
            const QByteArray datagram = in.bytes(in.u8());
            qsizetype offset = 0;
            int seen = 0;
            const int valid = processPenStatusDatagram(datagram, [&](const PenEvent& e) {
                // Records are handed over in order: find the one this event came from.
                while (!isPenStatusRecord(QByteArrayView(datagram).sliced(offset)))
                    offset += PEN_STATUS_RECORD_SIZE;
                checkDecoded(e, datagram, offset);
                offset += PEN_STATUS_RECORD_SIZE;
                ++seen;
                pens.penStatus(e.id, e.button, e.posx, e.posy);
            });
            FUZZ_CHECK(valid == seen);
            FUZZ_CHECK(valid <= datagram.size() / PEN_STATUS_RECORD_SIZE);
            break;
        }
        case 1:
            clock->advance(in.u8());
            break;
        default:
            pens.chkLostUpEventsProc();
            break;
        }
    }

    for (const auto& frame : devices->touchFrames()) {
        for (const auto& contact : frame) {
            const QPoint at(contact.pointerInfo.ptPixelLocation.x,
                            contact.pointerInfo.ptPixelLocation.y);
            FUZZ_CHECK(screen.contains(at));
        }
    }

    clock->advance(LOST_UP_TIMEOUT_MS);
    pens.chkLostUpEventsProc();
    if (pens.touchInjector())
        FUZZ_CHECK(pens.touchInjector()->activeContactCount() == 0);
    FUZZ_CHECK(pens.mouseInjector().heldPenCount() == 0);
    pens.stopLostEventTimer();
    return 0;
}
