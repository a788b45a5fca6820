// The address reading every layer shares (and the Windows package's check of the admin's
// preset with it), and the wait that every nested loop uses.
#include "core/eventwait.h"
#include "core/ipv4.h"
#include "core/settingstext.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <ctime>

class TestCore : public QObject {
    Q_OBJECT
    static const char* presetRefusal(QStringView property, QStringView value)
    {
        return settingstext::presetRefusal({property.utf16(), size_t(property.size())},
                                           {value.utf16(), size_t(value.size())});
    }
private slots:
    void addresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value"); // -1: refused
        QTest::newRow("plain") << "10.77.0.1" << qint64(0x0A4D0001);
        QTest::newRow("extremes") << "255.255.255.255" << qint64(0xFFFFFFFF);
        QTest::newRow("zero") << "0.0.0.0" << qint64(0);
        QTest::newRow("three digits") << "010.001.000.009" << qint64(0x0A010009);
        for (const char* bad : {"10.1.2", "10.1.2.3.4", "256.1.1.1", "1..2.3", " 1.2.3.4",
                                "1.2.3.4 ", "1.2.3.1000", "1.2.3.-4", "0x1.2.3.4", "", "1.2.3.",
                                "a.b.c.d", "1,2,3,4"})
            QTest::newRow(bad) << bad << qint64(-1);
    }
    void addresses()
    {
        QFETCH(QString, text);
        QFETCH(qint64, value);
        const std::optional<quint32> parsed = ipv4::parse(text);
        QCOMPARE(parsed ? qint64(*parsed) : -1, value);
        // The bytes of a search reply are read the same way.
        const std::optional<quint32> fromBytes = ipv4::parse(QByteArrayView(text.toLatin1()));
        QCOMPARE(fromBytes ? qint64(*fromBytes) : -1, value);
        // The package takes the same addresses for the preset; an empty one is not given.
        QCOMPARE(!presetRefusal(u"PROJECTORIP", text), value >= 0 || text.isEmpty());
    }

    void ports_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value"); // 0: refused
        QTest::newRow("lowest") << "1" << 1;
        QTest::newRow("command port") << "7142" << 7142;
        QTest::newRow("highest") << "65535" << 65535;
        for (const char* bad : {"0", "65536", "99999", "123456", "+80", " 80", "80 ", "-1", "", "0x50"})
            QTest::newRow(bad) << bad << 0;
    }
    void ports()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(int(ipv4::parsePort(text).value_or(0)), value);
        QCOMPARE(!presetRefusal(u"PORT", text), value != 0 || text.isEmpty());
    }

    // The other values of the preset: the two documented modes, host names as long as the
    // settings take them, and no text that Windows Installer would turn into a number.
    void presetValues_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("written");
        for (const char* property : {"PENMODE", "CONNECTBY"}) {
            QTest::addRow("%s 1", property) << property << "1" << true;
            QTest::addRow("%s 2", property) << property << "2" << false;
            QTest::addRow("%s 01", property) << property << "01" << false;
        }
        QTest::newRow("32 characters") << "HOSTNAME" << QString(32, 'h') << true;
        QTest::newRow("33 characters") << "HOSTNAME" << QString(33, 'h') << false;
        QTest::newRow("host name with #") << "HOSTNAME" << "#pj" << false;
        QTest::newRow("interface") << "ADAPTER" << "ethernet_32769" << true;
    }
    void presetValues()
    {
        QFETCH(QString, property);
        QFETCH(QString, value);
        QFETCH(bool, written);
        QCOMPARE(!presetRefusal(property, value), written);
    }

    // A wait wakes for the signal it watches, long before its slice runs out, and an idle
    // wait sleeps in the event dispatcher instead of spinning.
    void waitWakesOnSignalAndIdlesWithoutCpu()
    {
        QTimer signal;
        signal.setSingleShot(true);
        signal.start(50);
        QElapsedTimer clock;
        clock.start();
        EventWait wait(10000, 5000);
        wait.wakeOn(&signal, &QTimer::timeout);
        QVERIFY(wait.waitUntil([&] { return !signal.isActive(); }));
        QVERIFY2(clock.elapsed() < 4000, "the wait slept through the signal");

#ifdef Q_OS_WIN
        QSKIP("std::clock() counts wall time on Windows; the idle wait's CPU is measured on Linux");
#endif
        const std::clock_t cpuBefore = std::clock();
        clock.restart();
        EventWait idle(400, 100);
        QVERIFY(!idle.waitUntil([] { return false; }) && clock.elapsed() >= 399);
        const double cpuMs = double(std::clock() - cpuBefore) * 1000 / CLOCKS_PER_SEC;
        QVERIFY2(cpuMs < 100, qPrintable(QStringLiteral("an idle wait used %1 ms of CPU").arg(cpuMs)));
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
