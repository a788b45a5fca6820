// The pen path below the socket: dispatch by button and pen mode, the mapping to the
// screen, the touch and mouse injectors, and the records user32 receives from them, seen in
// recording devices.
#include "engine/injection/screengeometry.h"
#include "engine/pen/pendispatch.h"
#include "support/manualclock.h"
#include "support/recordinginjection.h"

#include <QTest>

#include <cstring>

using namespace injection;

namespace {
// "id kind x,y", plus "area@cx,cy" when the contact area is not centred on the location.
// Each record is also compared byte for byte with one built field by field, so that a wrong
// byte anywhere shows as " (other fields differ)".
QString describe(const PointerTouchInfo& r)
{
    static const QMap<quint32, QString> kinds{{0x00020002, "hover"}, {0x00010006, "down"},
                                              {0x00020006, "drag"},  {0x00040002, "lift"},
                                              {0x00020000, "leave"}};
    const PointerInfo& p = r.pointerInfo;
    const qint32 cx = r.rcContact.left + 2, cy = r.rcContact.top + 2;
    QString text = QStringLiteral("%1 %2 %3,%4")
                       .arg(p.pointerId)
                       .arg(kinds.value(p.pointerFlags, QString::number(p.pointerFlags, 16)))
                       .arg(p.ptPixelLocation.x)
                       .arg(p.ptPixelLocation.y);
    if (cx != p.ptPixelLocation.x || cy != p.ptPixelLocation.y)
        text += QStringLiteral(" area@%1,%2").arg(cx).arg(cy);
    PointerTouchInfo want;
    std::memset(&want, 0, sizeof want);
    want.pointerInfo.pointerType = 2;
    want.pointerInfo.pointerId = p.pointerId;
    want.pointerInfo.pointerFlags = p.pointerFlags;
    want.pointerInfo.ptPixelLocation = p.ptPixelLocation;
    want.touchMask = 7;
    want.rcContact = {cx - 2, cy - 2, cx + 2, cy + 2};
    want.orientation = 90;
    want.pressure = 32000;
    if (std::memcmp(&want, &r, sizeof want) != 0)
        text += QStringLiteral(" (other fields differ)");
    return text;
}

// The pixel that the system makes of a normalised value, so that a move is shown where it
// lands.
int pixelOf(qint32 normalised, int extent)
{
    return int(qint64(normalised) * extent / 65536);
}

// Touch frames ("1 hover 500,300, 3 drag 300,30") and mouse records ("move 500,300",
// "down", "up"; moves over the virtual desktop shown back in pixels of `desktop`), in the
// order sent.
QStringList describe(const InjectionLog& log, const QRect& desktop)
{
    QStringList out;
    for (const InjectionLog::TouchFrame& frame : log.touchFrames) {
        QStringList records;
        for (const PointerTouchInfo& r : frame)
            records << describe(r);
        out << records.join(QStringLiteral(", "));
    }
    for (const InputRecord& r : log.mouseInputs) {
        const bool clean = r.type == 0 && r.mi.mouseData == 0 && r.mi.time == 0 && r.mi.dwExtraInfo == 0;
        QString text;
        if (r.mi.dwFlags == (MouseEventMove | MouseEventAbsolute | MouseEventVirtualDesk))
            text = QStringLiteral("move %1,%2")
                       .arg(desktop.left() + pixelOf(r.mi.dx, desktop.width()))
                       .arg(desktop.top() + pixelOf(r.mi.dy, desktop.height()));
        else if (r.mi.dwFlags == MouseEventLeftDown || r.mi.dwFlags == MouseEventLeftUp)
            text = r.mi.dx || r.mi.dy ? QStringLiteral("button with a position")
                                      : QLatin1String(r.mi.dwFlags == MouseEventLeftDown ? "down" : "up");
        else
            text = QString::number(r.mi.dwFlags, 16);
        out << text + (clean ? QString() : QStringLiteral(" (other fields)"));
    }
    return out;
}

struct Rig {
    std::shared_ptr<RecordingInjectionBackend> devices = std::make_shared<RecordingInjectionBackend>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    PenDispatch pens{devices, clock};
    ScreenTarget target{QRect(0, 0, 1280, 800)}; // the pen space at scale 100: pen units are pixels

    Rig() { pens.setTarget(target); }
    // "down|move|up|press3 ID X Y" (buttons 1, 2, 0, 3), "wait MS", "lost" (the watchdog),
    // "mouse", "touch" (the pen mode), "reject N" (the device call N calls from now),
    // "screen W H [X Y [in X Y W H]]" (the target screen from now on, alone or on a desktop
    // of that extent).
    void run(const QString& script)
    {
        static const QMap<QString, int> buttons{{"down", 1}, {"move", 2}, {"up", 0}, {"press3", 3}};
        for (const QString& step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QStringList f = step.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            const auto n = [&](int i) { return f.value(i).toInt(); };
            if (buttons.contains(f[0])) { // a datagram of one record
                const PenEvent event{n(1), buttons[f[0]], n(2), n(3)};
                pens.handleDatagram({&event, 1});
            } else if (f[0] == QLatin1String("wait")) {
                clock->advance(n(1));
            } else if (f[0] == QLatin1String("lost")) {
                pens.chkLostUpEventsProc();
            } else if (f[0] == QLatin1String("reject")) {
                devices->log->rejectInput = n(1);
            } else if (f[0] == QLatin1String("screen")) {
                const QRect screen(n(3), n(4), n(1), n(2));
                target = ScreenTarget({}, screen, f.size() > 5 ? QRect(n(6), n(7), n(8), n(9)) : screen);
                pens.setTarget(target);
            } else {
                pens.setPenMode(f[0] == QLatin1String("mouse") ? PenMode::Mouse : PenMode::Touch);
            }
        }
        pens.stopLostEventTimer();
    }
};
} // namespace

class TestInjection : public QObject {
    Q_OBJECT
private slots:
    void penPath_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("act");
        QTest::addColumn<QStringList>("sent"); // by `act`
        const QString down1 = QStringLiteral("down 1 500 300");
        const QStringList hoverDown1{"1 hover 500,300", "1 down 500,300"};
        QTest::newRow("touch: down hovers, then touches") << "" << down1 << hoverDown1;
        QTest::newRow("touch: move keeps the contact area where the pen went down")
            << down1 << "move 1 510 305" << QStringList{"1 drag 510,305 area@500,300"};
        QTest::newRow("touch: up lifts, then leaves")
            << down1 << "up 1" << QStringList{"1 lift 500,300", "1 leave 500,300"};
        QTest::newRow("touch: every frame carries every contact, by id")
            << "down 3 300 30" << "down 1 100 10"
            << QStringList{"1 hover 100,10, 3 drag 300,30", "1 down 100,10, 3 drag 300,30"};
        QTest::newRow("touch: one of two pens up, the other writes on")
            << "down 3 300 30; down 1 100 10" << "up 3; move 1 101 10"
            << QStringList{"1 drag 100,10, 3 lift 300,30", "1 drag 100,10, 3 leave 300,30",
                           "1 drag 101,10 area@100,10"};
        QTest::newRow("touch: move of an unknown pen is a lost down")
            << "" << "move 7 50 60" << QStringList{"7 hover 50,60", "7 down 50,60"};
        QTest::newRow("touch: up of an unknown pen sends nothing") << down1 << "up 2" << QStringList();
        QTest::newRow("touch: 89 ms without a record, still down") << down1 << "wait 89; lost" << QStringList();
        QTest::newRow("touch: 90 ms without a record, released")
            << down1 << "wait 90; lost" << QStringList{"1 lift 500,300", "1 leave 500,300"};
        // Pen 1's up is lost while pen 2 keeps writing: pen 1 must not stay pressed, or the
        // system sees two fingers and pen 2 starts to scroll.
        QTest::newRow("touch: silent pen released while another writes")
            << "down 1 100 100; down 2 200 200; wait 45; move 2 201 200; wait 45"
            << "move 2 202 200"
            << QStringList{"1 lift 100,100, 2 drag 201,200 area@200,200",
                           "1 leave 100,100, 2 drag 201,200 area@200,200",
                           "2 drag 202,200 area@200,200"};
        QTest::newRow("touch: a refused move leaves the pen up")
            << "down 5 50 50; down 1 10 10" << "reject 0; move 1 11 11; move 5 51 50"
            << QStringList{"5 drag 51,50 area@50,50"};
        QTest::newRow("mouse: down moves, then presses")
            << "mouse" << down1 << QStringList{"move 500,300", "down"};
        QTest::newRow("mouse: move and up") << "mouse; " + down1 << "move 1 510 305; up 1"
                                            << QStringList{"move 510,305", "up"};
        QTest::newRow("mouse: move of an unknown pen is a lost down")
            << "mouse" << "move 4 9 9" << QStringList{"move 9,9", "down"};
        QTest::newRow("mouse: 90 ms without a record, released")
            << "mouse; " + down1 << "wait 89; lost; wait 1; lost" << QStringList{"up"};
        // A drag that goes on for longer than the lost-up time is one stroke, whatever the
        // watchdog does meanwhile.
        QTest::newRow("mouse: a drag longer than the lost-up time stays pressed")
            << "mouse; " + down1
            << "wait 60; move 1 510 300; wait 60; lost; move 1 520 300; wait 60; move 1 530 300; wait 60; lost; up 1"
            << QStringList{"move 510,300", "move 520,300", "move 530,300", "up"};
        QTest::newRow("mouse: a refused press of a held pen keeps the earlier press")
            << "mouse; " + down1 << "wait 50; reject 0; down 1 200 200; wait 40; move 2 9 9"
            << QStringList{"up", "move 9,9", "down"};
        // A pen held across a change of target would jump, or its device's axes change
        // under it: it is lifted first, and the stroke goes on as a new one.
        QTest::newRow("mouse: a new target lifts the pen, the next datagram lands on it")
            << "mouse; down 1 100 100" << "screen 1920 1080; move 1 100 100"
            << QStringList{"up", "move 142,84", "down"};
        QTest::newRow("touch: a new target lifts the pens where they were")
            << "down 1 100 100" << "screen 1280 800 1280 0; screen 1280 800 1280 0"
            << QStringList{"1 lift 100,100", "1 leave 100,100"};
        QTest::newRow("mouse: a target right of the primary, over the whole desktop")
            << "mouse; screen 1280 800 1920 0 in 0 0 3200 1080" << down1
            << QStringList{"move 2420,300", "down"};
        QTest::newRow("mouse: a target left of and above the primary, from the desktop's corner")
            << "mouse; screen 1280 800 -1280 -200 in -1280 -200 3200 1280" << down1
            << QStringList{"move -780,100", "down"};
        QTest::newRow("touch: contacts left of and above the primary keep their desktop pixels")
            << "screen 1280 800 -1280 -200 in -1280 -200 3200 1280" << down1
            << QStringList{"1 hover -780,100", "1 down -780,100"};
        QTest::newRow("dispatch: other buttons and positions off the screen do nothing")
            << "" << "press3 1 10 10; down 1 1280 0; down 1 -1 5; mouse; down 1 5 800" << QStringList();
        // A pen pressed in one mode must not stay pressed on that mode's device.
        QTest::newRow("dispatch: a mode change lifts the old mode's pens")
            << down1 << "mouse; move 1 510 305"
            << QStringList{"1 lift 500,300", "1 leave 500,300", "move 510,305", "down"};
    }
    void penPath()
    {
        QFETCH(QString, setup);
        QFETCH(QString, act);
        QFETCH(QStringList, sent);
        Rig rig;
        QVERIFY(rig.pens.startInjecting());
        rig.run(setup);
        rig.devices->log->touchFrames.clear();
        rig.devices->log->mouseInputs.clear();
        rig.run(act);
        QCOMPARE(describe(*rig.devices->log, rig.target.desktop), sent);
    }

    void touchSessionStartsWithTheFirstContact()
    {
        Rig rig;
        QVERIFY(rig.pens.startInjecting());
        rig.run("down 1 1 1; down 2 2 2; up 1; up 2; down 1 1 1");
        QCOMPARE(rig.devices->log->touchSessions, 2);
        QCOMPARE(rig.clock->pauses(), QList<int>({20, 20})); // the system wants a moment
    }

    // A device exists only while the pens are injected; the one of the other mode replaces
    // it, and pens still down are lifted before their device goes.
    void devicesLiveWhileInjecting()
    {
        Rig rig;
        rig.run("down 1 500 300; move 1 10 10");
        QCOMPARE(rig.devices->log->devicesMade, 0);
        QVERIFY(rig.pens.startInjecting());
        rig.run("down 1 500 300; mouse; down 2 10 10");
        QCOMPARE(rig.devices->log->devices, 1);
        QCOMPARE(rig.devices->log->devicesMade, 2);
        rig.pens.stopInjecting();
        QCOMPARE(rig.devices->log->devices, 0);
        // The mode change's lift is a row of penPath; the mouse pen's lift comes before its device goes.
        QCOMPARE(describe(*rig.devices->log, rig.target.desktop).mid(4), QStringList({"move 10,10", "down", "up"}));
    }

    // The watchdog runs on its own 90 ms after the last record; when its timer fires a tick
    // before the clock (Windows timers are coarser), it looks again.
    void watchdogReleasesALiftedPen()
    {
        Rig rig;
        rig.pens.setPenMode(PenMode::Mouse);
        QVERIFY(rig.pens.startInjecting());
        rig.run("down 1 500 300");
        rig.clock->advance(LOST_UP_TIMEOUT_MS - 1);
        rig.pens.chkLostUpEventsProc();
        rig.clock->advance(1);
        QTRY_COMPARE_WITH_TIMEOUT(describe(*rig.devices->log, rig.target.desktop),
                                  QStringList({"move 500,300", "down", "up"}), 5000);
    }

    void mapping_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QPoint>("pen");
        QTest::addColumn<QPoint>("pixel"); // (-1, -1): off the screen's image
        const QPoint off(-1, -1);
        const QRect full(0, 0, 1920, 1080);
        QTest::newRow("1280x800 last unit") << QRect(0, 0, 1280, 800) << QPoint(1279, 799) << QPoint(1279, 799);
        QTest::newRow("1280x800 past the right") << QRect(0, 0, 1280, 800) << QPoint(1280, 0) << off;
        QTest::newRow("1920x1080 centre") << full << QPoint(640, 400) << QPoint(960, 540);
        QTest::newRow("1920x1080 first unit") << full << QPoint(6, 44) << QPoint(0, 0);
        QTest::newRow("1920x1080 last unit") << full << QPoint(1272, 755) << QPoint(1918, 1078);
        QTest::newRow("1920x1080 left margin") << full << QPoint(5, 400) << off;
        QTest::newRow("1920x1080 right margin") << full << QPoint(1273, 400) << off;
        QTest::newRow("1024x768 corner") << QRect(0, 0, 1024, 768) << QPoint(1171, 798) << QPoint(1023, 767);
        QTest::newRow("1024x768 top margin") << QRect(0, 0, 1024, 768) << QPoint(400, 0) << off;
        QTest::newRow("screen right of another") << QRect(1920, 0, 1920, 1080) << QPoint(640, 400)
                                                 << QPoint(2880, 540);
        QTest::newRow("position -1") << full << QPoint(-1, 400) << off;
        QTest::newRow("screen too big for the pen space") << QRect(0, 0, 200000, 800) << QPoint(640, 400) << off;
    }
    void mapping()
    {
        QFETCH(QRect, screen);
        QFETCH(QPoint, pen);
        QFETCH(QPoint, pixel);
        QPoint point = pen;
        QCOMPARE(PenDispatch::mapPenToScreen(point, screen) ? point : QPoint(-1, -1), pixel);
    }

    // The target among the desktop's screens; the desktop is the rectangle around them all.
    void target_data()
    {
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("chosen"); // name, or "" for no target
        QTest::addColumn<bool>("missing");
        QTest::newRow("primary by default, wherever it is listed") << "" << "B" << false;
        QTest::newRow("a screen by name") << "C" << "C" << false;
        QTest::newRow("a name that is gone: the primary") << "HDMI-9" << "B" << true;
        QTest::newRow("names are exact") << "c" << "B" << true;
    }
    void target()
    {
        QFETCH(QString, wanted);
        QFETCH(QString, chosen);
        QFETCH(bool, missing);
        const QList<ScreenInfo> screens{{"C", QRect(-1024, 100, 1024, 768), false},
                                        {"B", QRect(0, 0, 1920, 1080), true}};
        bool gone = false;
        const ScreenTarget target = chooseTarget(wanted, screens, &gone);
        QCOMPARE(target.name, chosen);
        QCOMPARE(target.pixels, chosen == "C" ? screens[0].pixels : screens[1].pixels);
        QCOMPARE(target.desktop, QRect(-1024, 0, 2944, 1080));
        QCOMPARE(gone, missing);
        QCOMPARE(chooseTarget("", {}, &gone), ScreenTarget());
    }

    // A device's offset along its own axes: upright over its area, or turned as a panel that
    // the desktop rotates or mirrors (xinput's matrices for RandR's turns).
    void deviceArea_data()
    {
        QTest::addColumn<QString>("turn"); // swap, reverse x, reverse y
        QTest::addColumn<QPoint>("pixel");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<QSize>("extent");
        const QSize upright(1280, 800), turned(800, 1280);
        QTest::newRow("upright") << "---" << QPoint(1290, 110) << QPoint(10, 10) << upright;
        QTest::newRow("clamped left and below") << "---" << QPoint(0, 5000) << QPoint(0, 799) << upright;
        QTest::newRow("clamped right") << "---" << QPoint(9000, 100) << QPoint(1279, 0) << upright;
        QTest::newRow("rotated 90") << "sx-" << QPoint(1290, 110) << QPoint(10, 1269) << turned;
        QTest::newRow("rotated 180") << "-xy" << QPoint(1290, 110) << QPoint(1269, 789) << upright;
        QTest::newRow("rotated 270") << "s-y" << QPoint(1290, 110) << QPoint(789, 10) << turned;
        QTest::newRow("mirrored x") << "-x-" << QPoint(1290, 110) << QPoint(1269, 10) << upright;
    }
    void deviceArea()
    {
        QFETCH(QString, turn);
        QFETCH(QPoint, pixel);
        QFETCH(QPoint, offset);
        QFETCH(QSize, extent);
        const DeviceArea area{QRect(1280, 100, 1280, 800), turn[0] == 's', turn[1] == 'x', turn[2] == 'y'};
        QSize along;
        QCOMPARE(area.deviceOffset(pixel, &along), offset);
        QCOMPARE(along, extent);
    }
};

QTEST_GUILESS_MAIN(TestInjection)
#include "tst_injection.moc"
