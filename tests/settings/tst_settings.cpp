#include "engine/settings/connectionsettings.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void emptyStoreLoadsDefaults();
    void saveThenLoadRoundTrips();
    void garbageStoredValuesReadAsZero();
    void validate_data();
    void validate();

private:
    QTemporaryDir m_home;
};

void TestSettings::initTestCase()
{
    QVERIFY(m_home.isValid());
    // The store goes to a private folder, never to the developer's own settings.
    qputenv("XDG_CONFIG_HOME", m_home.path().toUtf8());
}

void TestSettings::init()
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Lumoravista", "Quill Relay");
    store.clear();
    store.sync();
}

void TestSettings::emptyStoreLoadsDefaults()
{
    Settings s;
    s.Type = 9;
    s.IpAddress = "x";
    s.Port = 1;
    QVERIFY(s.Load());
    QCOMPARE(s.Type, 0);
    QCOMPARE(s.IpAddress, QString());
    QCOMPARE(s.HostName, QString());
    QCOMPARE(s.Port, 7142);
    QCOMPARE(s.PenMode, 0);
    QCOMPARE(s.Adapter, QString());
}

void TestSettings::saveThenLoadRoundTrips()
{
    Settings out;
    out.Type = 1;
    out.IpAddress = "10.77.0.2";
    out.HostName = "projector-3f";
    out.Port = 65535;
    out.PenMode = 1;
    out.Adapter = "veth-pc";
    QVERIFY(out.Save());

    Settings in;
    QVERIFY(in.Load());
    QCOMPARE(in.Type, 1);
    QCOMPARE(in.IpAddress, QString("10.77.0.2"));
    QCOMPARE(in.HostName, QString("projector-3f"));
    QCOMPARE(in.Port, 65535);
    QCOMPARE(in.PenMode, 1);
    QCOMPARE(in.Adapter, QString("veth-pc"));

    // The file lies where the README says, group "Settings", integers stored as integers.
    const QString file = m_home.filePath("Lumoravista/Quill Relay.conf");
    QVERIFY2(QFile::exists(file), qPrintable(file));
    QSettings raw(file, QSettings::IniFormat);
    QCOMPARE(raw.childGroups(), QStringList{"Settings"});
    QCOMPARE(raw.value("Settings/Port").toString(), QString("65535"));
}

void TestSettings::garbageStoredValuesReadAsZero()
{
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Lumoravista",
                        "Quill Relay");
        store.setValue("Settings/Type", "abc");
        store.setValue("Settings/Port", "not a port");
        store.setValue("Settings/PenMode", "");
        store.setValue("Settings/Unrelated", 5);
    }
    Settings s;
    QVERIFY(s.Load());
    QCOMPARE(s.Type, 0);
    QCOMPARE(s.Port, 0);
    QCOMPARE(s.PenMode, 0);
}

void TestSettings::validate_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("expected");

    QTest::newRow("ip ok") << 0 << "10.20.0.10" << "" << 7142 << 1;
    QTest::newRow("octet 256") << 0 << "10.20.0.256" << "" << 7142 << -2;
    QTest::newRow("empty part") << 0 << "10.20..10" << "" << 7142 << -2;
    QTest::newRow("empty address") << 0 << "" << "" << 7142 << -2;
    QTest::newRow("three parts accepted") << 0 << "10.1.2" << "" << 7142 << 1;
    QTest::newRow("negative octet") << 0 << "10.-1.2.3" << "" << 7142 << -2;
    QTest::newRow("letters") << 0 << "10.a.2.3" << "" << 7142 << -2;
    QTest::newRow("host name ignored in ip mode") << 0 << "10.0.0.1" << QString(40, 'h') << 7142
                                                  << 1;
    QTest::newRow("type 5 is ip mode") << 5 << "10.0.0.999" << "ok" << 7142 << -2;
    QTest::newRow("empty host") << 1 << "1.2.3.4" << "" << 7142 << -1;
    QTest::newRow("host 32") << 1 << "garbage" << QString(32, 'h') << 7142 << 1;
    QTest::newRow("host 33") << 1 << "" << QString(33, 'h') << 7142 << -1;
    QTest::newRow("port 65535") << 0 << "1.2.3.4" << "" << 65535 << 1;
    QTest::newRow("port 65536") << 0 << "1.2.3.4" << "" << 65536 << -3;
    QTest::newRow("port -1") << 0 << "1.2.3.4" << "" << -1 << -3;
    QTest::newRow("port 0") << 0 << "1.2.3.4" << "" << 0 << 1;
    QTest::newRow("bad port hides bad address") << 0 << "1.2.3.999" << "" << 70000 << -3;
    QTest::newRow("bad port hides bad host") << 1 << "" << "" << 70000 << -3;
}

void TestSettings::validate()
{
    QFETCH(int, type);
    QFETCH(QString, ip);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(int, expected);
    Settings s;
    s.Type = type;
    s.IpAddress = ip;
    s.HostName = host;
    s.Port = port;
    QCOMPARE(s.Validate(), expected);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
