#include "engine/injection/touchinjection.h"
#include "injectiontest.h"
#include "support/logcapture.h"

#include <QTest>

using namespace injection;

namespace {

struct Rig {
    std::shared_ptr<RecordingInjectionBackend> backend =
        std::make_shared<RecordingInjectionBackend>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    TouchInjection touch{backend->createTouchDevice({}), clock};

    // Besides the pen steps: "reject N" rejects the frame N frames from now with error 0x57,
    // "refuse"/"accept" make the device refuse or accept the next session starts.
    bool run(const QString& script)
    {
        return runPenScript(touch, *clock, script, [this](const QStringList& f) {
            if (f[0] == QLatin1String("reject"))
                backend->rejectTouchFrame(f.value(1).toInt(), 0x57);
            else
                backend->setTouchInitializeResult(f[0] == QLatin1String("accept"));
        });
    }
};

const QString LostUp = QStringLiteral(" -->Lost Up event!!");
const QString Rejected = QStringLiteral(" -->InjectTouchInput:count=2, result=NG(00000057)");
QString contactLine(int idx, int pid, int x, int y, const char* flags)
{
    return QStringLiteral(" -->contact[idx=%1, pid=%2, x=%3, y=%4, flags=%5]")
        .arg(idx)
        .arg(pid)
        .arg(x)
        .arg(y)
        .arg(QLatin1String(flags));
}

} // namespace

class TestTouchInjection : public QObject {
    Q_OBJECT
private slots:
    void penScenario_data();
    void penScenario();
    void unusableDeviceTakesNothing_data();
    void unusableDeviceTakesNothing();
};

void TestTouchInjection::penScenario_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("act");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("frames"); // sent by `act`
    QTest::addColumn<QStringList>("lines");  // logged by `act`
    QTest::addColumn<int>("contacts");       // left afterwards
    QTest::addColumn<int>("sessions");       // started by `act` (each with a 20 ms pause)
    const QString down1 = QStringLiteral("down 1 500 300");
    const QStringList hoverDown1{"1 hover 500,300", "1 down 500,300"};

    QTest::newRow("first down: session, hover then down")
        << "" << down1 << true << hoverDown1 << QStringList() << 1 << 1;
    QTest::newRow("move keeps the contact area where the pen went down")
        << down1 << "move 1 510 305" << true << QStringList{"1 drag 510,305 area@500,300"}
        << QStringList() << 1 << 0;
    QTest::newRow("up lifts then leaves")
        << down1 + "; move 1 510 305"
        << "up 1" << true
        << QStringList{"1 lift 510,305 area@500,300", "1 leave 510,305 area@500,300"}
        << QStringList() << 0 << 0;
    QTest::newRow("down after the last up starts a new session")
        << down1 + "; up 1" << down1 << true << hoverDown1 << QStringList() << 1 << 1;
    QTest::newRow("second pen joins, records in id order")
        << "down 3 300 30"
        << "down 1 100 10" << true
        << QStringList{"1 hover 100,10, 3 drag 300,30", "1 down 100,10, 3 drag 300,30"}
        << QStringList() << 2 << 0;
    QTest::newRow("one of two pens up")
        << "down 3 300 30; down 1 100 10"
        << "up 3" << true
        << QStringList{"1 drag 100,10, 3 lift 300,30", "1 drag 100,10, 3 leave 300,30"}
        << QStringList() << 1 << 0;
    QTest::newRow("down of a pen already down replaces its contact")
        << down1 << "down 1 600 400" << true << QStringList{"1 hover 600,400", "1 down 600,400"}
        << QStringList() << 1 << 0;
    QTest::newRow("move of an unknown pen is a lost down")
        << ""
        << "move 7 50 60" << true << QStringList{"7 hover 50,60", "7 down 50,60"}
        << QStringList{" -->Lost Down event!!"} << 1 << 1;
    QTest::newRow("up of an unknown pen does nothing")
        << down1 << "up 2" << false << QStringList() << QStringList() << 1 << 0;
    QTest::newRow("89 ms silent: still down")
        << down1 + "; wait 89"
        << "lost" << true << QStringList() << QStringList() << 1 << 0;
    QTest::newRow("90 ms silent: lost up")
        << down1 + "; wait 90"
        << "lost" << true << QStringList{"1 lift 500,300", "1 leave 500,300"} << QStringList{LostUp}
        << 0 << 0;
    // Pen 1's up is lost while pen 2 keeps writing: pen 1 must not stay pressed, or the
    // system sees two fingers and pen 2 starts to scroll.
    QTest::newRow("silent pen lost while another keeps moving")
        << "down 1 100 100; down 2 200 200; wait 30; move 2 200 200; wait 30; move 2 201 200;"
           "wait 30; move 2 202 200"
        << "lost" << true
        << QStringList{"1 lift 100,100, 2 drag 202,200 area@200,200",
                       "1 leave 100,100, 2 drag 202,200 area@200,200"}
        << QStringList{LostUp} << 1 << 0;

    // Rejected frames, pen 5 standing by: the pen concerned loses its contact, the
    // rejection is logged with every contact of the frame.
    const QString both = QStringLiteral("down 5 50 50; down 1 10 10");
    QTest::newRow("rejected hover frame of a first down")
        << ""
        << "reject 0; " + down1 << false << QStringList()
        << QStringList{contactLine(0, 1, 500, 300, "00020002"),
                       " -->InjectTouchInput:count=1, result=NG(00000057)"}
        << 0 << 1;
    QTest::newRow("rejected touch-down frame")
        << "down 5 50 50"
        << "reject 1; down 1 10 10" << false << QStringList{"1 hover 10,10, 5 drag 50,50"}
        << QStringList{contactLine(0, 1, 10, 10, "00010006"), contactLine(1, 5, 50, 50, "00020006"),
                       Rejected}
        << 1 << 0;
    QTest::newRow("rejected move: the pen counts as up")
        << both << "reject 0; move 1 11 11" << false << QStringList()
        << QStringList{contactLine(0, 1, 11, 11, "00020006"), contactLine(1, 5, 50, 50, "00020006"),
                       Rejected}
        << 1 << 0;
    QTest::newRow("rejected lift frame: no leave frame")
        << both << "reject 0; up 1" << false << QStringList()
        << QStringList{contactLine(0, 1, 10, 10, "00040002"), contactLine(1, 5, 50, 50, "00020006"),
                       Rejected}
        << 1 << 0;
    QTest::newRow("rejected leave frame")
        << both << "reject 1; up 1" << false << QStringList{"1 lift 10,10, 5 drag 50,50"}
        << QStringList{contactLine(0, 1, 10, 10, "00020000"), contactLine(1, 5, 50, 50, "00020006"),
                       Rejected}
        << 1 << 0;
    QTest::newRow("rejected lost-up lift frame: the lost contact goes all the same")
        << both + "; wait 90; move 5 51 50"
        << "reject 0; lost" << true << QStringList()
        << QStringList{LostUp, contactLine(0, 1, 10, 10, "00040002"),
                       contactLine(1, 5, 51, 50, "00020006"), Rejected}
        << 1 << 0;
    QTest::newRow("refused session start creates no contact")
        << ""
        << "refuse; " + down1 << false << QStringList() << QStringList() << 0 << 1;
    QTest::newRow("down after a refused session start tries again")
        << "refuse; " + down1 + "; accept" << down1 << true << hoverDown1 << QStringList() << 1
        << 1;
}

void TestTouchInjection::penScenario()
{
    QFETCH(QString, setup);
    QFETCH(QString, act);
    QFETCH(bool, result);
    QFETCH(QStringList, frames);
    QFETCH(QStringList, lines);
    QFETCH(int, contacts);
    QFETCH(int, sessions);
    Rig rig;
    QVERIFY(rig.touch.Initialize());
    rig.run(setup);
    rig.backend->clearRecords();
    const qsizetype pausesBefore = rig.clock->pauses().size();
    LogCapture log;

    QCOMPARE(rig.run(act), result);
    QCOMPARE(describe(rig.backend->touchFrames()), frames);
    QCOMPARE(log.lines("quillrelay.inject"), lines);
    QCOMPARE(rig.touch.activeContactCount(), contacts);
    QCOMPARE(rig.backend->touchInitializeCalls().size(), sessions);
    for (const auto& call : rig.backend->touchInitializeCalls()) {
        QCOMPARE(call.maxCount, 256u);
        QCOMPARE(call.feedbackMode, 1u);
    }
    // The pause comes with every session start, whatever its result.
    QCOMPARE(rig.clock->pauses().mid(pausesBefore), QList<int>(sessions, 20));
}

void TestTouchInjection::unusableDeviceTakesNothing_data()
{
    QTest::addColumn<bool>("openFails");
    QTest::addColumn<QString>("cause");
    QTest::newRow("Initialize never called") << false << QString();
    QTest::newRow("entry points missing: silent") << true << QString();
    QTest::newRow("device cannot be made: one line")
        << true << QStringLiteral("Touch input unavailable: /dev/uinput is missing");
}

void TestTouchInjection::unusableDeviceTakesNothing()
{
    QFETCH(bool, openFails);
    QFETCH(QString, cause);
    Rig rig;
    LogCapture log;
    if (openFails) {
        rig.backend->setTouchOpenResult(false, cause);
        QVERIFY(!rig.touch.Initialize());
    }
    QVERIFY(!rig.touch.PenDown(1, 500, 300));
    QVERIFY(!rig.touch.PenMove(1, 500, 300));
    QVERIFY(!rig.touch.PenUp(1));
    rig.run("wait 1000; lost");
    QVERIFY(rig.backend->touchInitializeCalls().isEmpty());
    QVERIFY(rig.backend->touchFrames().isEmpty());
    QCOMPARE(log.lines("quillrelay.inject"), cause.isEmpty() ? QStringList() : QStringList{cause});
}

QTEST_GUILESS_MAIN(TestTouchInjection)
#include "tst_touchinjection.moc"
