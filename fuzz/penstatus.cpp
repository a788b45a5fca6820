// Pen-status datagrams as any host on the network may send them: the pen path as the
// program builds it, from the receiver through the dispatcher into recording touch and
// mouse devices, with the lost-up watchdog driven by a clock that the input moves.
//
// Input: a set-up byte (bits 0-1 pick the screen, bit 7 mouse mode), then operations:
//   0 L <L bytes>   a datagram of L bytes from the projector;   1 M   the clock moves M ms;
//   2   the watchdog
// Properties: every touch contact lands on the primary screen, and once every pen has been
// silent for the lost-up time no contact touches and the mouse button is up.
#include "fuzzsupport.h"

#include "engine/pen/penpath.h"
#include "support/manualclock.h"
#include "support/recordinginjection.h"

using namespace injection;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // One whose pixels are the pen's units, one left of the desktop's origin, a one-pixel one
    // and one so large that its image in pen space is empty.
    static const QRect screens[] = {
        {0, 0, 1280, 800}, {-1920, 0, 1920, 1200}, {0, 0, 1, 1}, {0, 0, 200000, 90000}};
    FuzzInput in{data, size};
    const std::uint8_t setup = in.u8();
    const QRect screen = screens[setup & 3];
    const QHostAddress projector(QHostAddress::LocalHost);
    auto devices = std::make_shared<RecordingInjectionBackend>();
    auto clock = std::make_shared<ManualClock>();
    PenPath path(devices, clock);
    path.receiver.acceptFrom(projector);
    path.dispatch.setTarget(screen);
    path.dispatch.setPenMode(setup & 0x80 ? PenMode::Mouse : PenMode::Touch);
    path.dispatch.startInjecting();
    while (in.pos < in.size) {
        const int operation = in.u8() % 3;
        if (operation == 0)
            path.receiver.handleDatagram(in.bytes(in.u8()), projector);
        else if (operation == 1)
            clock->advance(in.u8());
        else
            path.dispatch.chkLostUpEventsProc();
    }
    clock->advance(LOST_UP_TIMEOUT_MS);
    path.dispatch.chkLostUpEventsProc();

    for (const InjectionLog::TouchFrame& frame : devices->log->touchFrames)
        for (const PointerTouchInfo& contact : frame)
            FUZZ_CHECK(screen.contains(contact.pointerInfo.ptPixelLocation.x,
                                       contact.pointerInfo.ptPixelLocation.y) &&
                       (&frame != &devices->log->touchFrames.last() ||
                        !(contact.pointerInfo.pointerFlags & PointerFlagInContact)));
    bool held = false;
    for (const InputRecord& record : devices->log->mouseInputs)
        held = (held || (record.mi.dwFlags & MouseEventLeftDown)) &&
               !(record.mi.dwFlags & MouseEventLeftUp);
    FUZZ_CHECK(!held);
    return 0;
}
