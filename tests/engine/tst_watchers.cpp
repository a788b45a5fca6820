// The watches that tell the controller to give the projector its address again. On Linux:
// the address watch against a veth pair in the test's own network namespace, and the
// resume watch against a private bus in the system bus's place with a stand-in logind.
// Under Wine: the resume watch against broadcast power messages; Wine reports no address
// changes, so there the address watch is only made and ended.
#include "engine/link/addresswatch.h"
#include "engine/link/resumewatch.h"

#include <QSignalSpy>
#include <QTest>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include "support/privatebus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QNetworkInterface>
#include <QProcess>
#endif

namespace {
constexpr int WaitMs = 10000; // generous: each wait ends as soon as the signal comes

#ifndef Q_OS_WIN
const QString Login1 = QStringLiteral("org.freedesktop.login1");
const QString Login1Path = QStringLiteral("/org/freedesktop/login1");
const QString Login1Manager = QStringLiteral("org.freedesktop.login1.Manager");

// Runs `ip` with each of `commands` (';' between them); what the first failing one said, or
// nothing.
QString ip(const QString& commands)
{
    for (const QString& arguments : commands.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        QProcess process;
        process.start(QStringLiteral("ip"), arguments.split(QLatin1Char(' ')));
        if (!process.waitForFinished(WaitMs) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return QStringLiteral("ip %1: %2").arg(arguments, QString::fromLocal8Bit(process.readAllStandardError()));
    }
    return QString();
}
#endif
} // namespace

class TestWatchers : public QObject {
    Q_OBJECT
#ifdef Q_OS_WIN
private slots:
    void resumeBroadcast_data()
    {
        QTest::addColumn<int>("event");
        QTest::addColumn<int>("resumed");
        QTest::newRow("woke") << PBT_APMRESUMEAUTOMATIC << 1;
        QTest::newRow("woken by the person (after the first)") << PBT_APMRESUMESUSPEND << 0;
        QTest::newRow("going to sleep") << PBT_APMSUSPEND << 0;
    }
    void resumeBroadcast()
    {
        QFETCH(int, event);
        QFETCH(int, resumed);
        const auto watch = createResumeWatch();
        QSignalSpy spy(watch.get(), &ResumeWatch::resumed);
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(HWND_BROADCAST, WM_POWERBROADCAST, WPARAM(event), 0, SMTO_ABORTIFHUNG,
                            WaitMs, &answer);
        // A sent message is handled before the call returns, by this thread's windows too.
        QCOMPARE(spy.size(), resumed);
    }

    // Wine reports no changes: the watch is made, lives through the event loop and ends.
    void addressWatchComesAndGoes()
    {
        auto watch = createAddressWatch();
        QVERIFY(watch);
        QTest::qWait(100);
        watch.reset();
    }
#else
public slots:
    // The resume test's last signal: it comes through the watch's own connection, after the
    // watch's.
    void fencePassed() { ++m_fences; }

private slots:
    void addressChanges_data()
    {
        QTest::addColumn<QString>("before"); // ip commands, ';' between them
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("expected"); // signals; -1: at least one, as the carrier may follow late
        const QString up = QStringLiteral("link set qrw0 up");
        const QString added = QStringLiteral("addr add 10.99.0.1/24 dev qrw0");
        QTest::newRow("address added") << "" << added << 1;
        // Messages that came while the program was busy elsewhere make a single signal.
        QTest::newRow("address replaced") << added << "addr del 10.99.0.1/24 dev qrw0;addr add 10.99.0.2/24 dev qrw0" << 1;
        QTest::newRow("link down") << up << "link set qrw0 down" << -1;
        QTest::newRow("link up") << "" << up << -1;
        QTest::newRow("carrier up") << up << "link set qrw1 up" << -1;
        QTest::newRow("quiet") << up << "" << 0;
        QTest::newRow("IPv6 address only") << "" << "-6 addr add fd00::1/64 dev qrw0" << 0;
    }
    void addressChanges()
    {
        QFETCH(QString, before);
        QFETCH(QString, change);
        QFETCH(int, expected);
        if (const char* missing = makeInterfaces())
            QSKIP(missing);
        QCOMPARE(ip(before), QString());
        const auto watch = createAddressWatch();
        QSignalSpy changed(watch.get(), &AddressWatch::changed);
        QCOMPARE(ip(change), QString());
        if (expected != 0)
            QTRY_VERIFY_WITH_TIMEOUT(!changed.isEmpty(), WaitMs);
        if (expected >= 0) {
            // The kernel sends its messages before the command ends: any more are waiting by now.
            QTest::qWait(300);
            QCOMPARE(changed.size(), expected);
        }
    }

    void resumeAfterSleep_data()
    {
        QTest::addColumn<bool>("fromLogind");
        QTest::addColumn<int>("resumed");
        QTest::newRow("logind") << true << 1;
        QTest::newRow("another program") << false << 0;
    }
    void resumeAfterSleep()
    {
        QFETCH(bool, fromLogind);
        QFETCH(int, resumed);
        if (m_bus.address().isEmpty())
            QSKIP("SKIPPED: no dbus-daemon (package dbus-daemon): the resume watch is not tested");
        QVERIFY(QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("logind")).registerService(Login1));
        QDBusConnection sender = QDBusConnection::connectToBus(m_bus.address(), fromLogind ? "logind" : "other");
        const auto watch = createResumeWatch();
        QSignalSpy spy(watch.get(), &ResumeWatch::resumed);
        m_fences = 0;
        QDBusConnection system = QDBusConnection::systemBus();
        QVERIFY(m_fenced || system.connect(QString(), Login1Path, Login1Manager, QStringLiteral("PrepareForShutdown"),
                                           this, SLOT(fencePassed())));
        m_fenced = true;
        // A call answered by the bus: the watch's subscription has reached it before.
        QVERIFY(system.interface()->isServiceRegistered(Login1));

        const auto send = [&](const char* name, bool value) {
            return sender.send(QDBusMessage::createSignal(Login1Path, Login1Manager, QLatin1String(name)) << value);
        };
        QVERIFY(send("PrepareForSleep", true) && send("PrepareForSleep", false) && send("PrepareForShutdown", false));
        QTRY_VERIFY_WITH_TIMEOUT(m_fences > 0, WaitMs);
        QCOMPARE(spy.size(), resumed);
    }

private:
    // A fresh veth pair, both ends down and without addresses, in the test's namespace; or
    // why there is none.
    static const char* makeInterfaces()
    {
        for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces()) {
            if (!nic.name().startsWith(QLatin1String("qrw")) && nic.type() != QNetworkInterface::Loopback)
                return "SKIPPED: not in a network namespace of its own (ctest runs it in one, as root)";
        }
        ip(QStringLiteral("link del qrw0"));
        if (!ip(QStringLiteral("link add qrw0 type veth peer name qrw1")).isEmpty())
            return "SKIPPED: cannot make a veth pair (run as root)";
        return nullptr;
    }

    PrivateBus m_bus{"DBUS_SYSTEM_BUS_ADDRESS"};
    bool m_fenced = false; // fencePassed() hears the bus
    int m_fences = 0;
#endif
};

QTEST_GUILESS_MAIN(TestWatchers)
#include "tst_watchers.moc"
