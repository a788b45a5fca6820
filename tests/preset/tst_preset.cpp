#include "engine/settings/connectionsettings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// A user who has no settings of their own starts with what the admin put into the
// system-wide file; their own values, once they have some, win key by key.
namespace {

struct Record {
    int type;
    QString ip, host;
    int port, penMode;
    QString adapter;
};

} // namespace

Q_DECLARE_METATYPE(Record)

class TestPreset : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void load_data();
    void load();
    void shippedExampleIsAUsablePreset();
    void savingLeavesThePresetAlone();

private:
    void writeConf(const QString& path, const QByteArray& text);
    QString systemFile() const { return m_system.filePath("Lumoravista/Quill Relay.conf"); }
    QString userFile() const { return m_user.filePath("Lumoravista/Quill Relay.conf"); }

    QTemporaryDir m_system;
    QTemporaryDir m_user;
    int m_writes = 0;
};

void TestPreset::initTestCase()
{
    QVERIFY(m_system.isValid() && m_user.isValid());
    // Qt reads these once, at the first QSettings: set them before anything else runs.
    qputenv("XDG_CONFIG_DIRS", m_system.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", m_user.path().toUtf8());
    QVERIFY(QDir().mkpath(m_system.filePath("Lumoravista")));
    QVERIFY(QDir().mkpath(m_user.filePath("Lumoravista")));
    QCOMPARE(
        QSettings(QSettings::NativeFormat, QSettings::SystemScope, "Lumoravista", "Quill Relay")
            .fileName(),
        systemFile());
}

void TestPreset::init()
{
    QFile::remove(systemFile());
    QFile::remove(userFile());
}

void TestPreset::writeConf(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(text), text.size());
    // Qt keeps parsed files cached until their size or time changes; give every write its own
    // time so that two files of equal size written in one millisecond are still told apart.
    QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(++m_writes),
                          QFileDevice::FileModificationTime));
}

void TestPreset::load_data()
{
    QTest::addColumn<QByteArray>("preset");
    QTest::addColumn<QByteArray>("own"); // the user's file; empty = none
    QTest::addColumn<Record>("expected");

    const QByteArray full = "[Settings]\nType=0\nIpAddress=10.77.0.2\nHostName=\nPort=7142\n"
                            "PenMode=1\nAdapter=enp3s0\n";
    QTest::newRow("no own settings: the preset")
        << full << QByteArray() << Record{0, "10.77.0.2", "", 7142, 1, "enp3s0"};
    QTest::newRow("own file without the group: the preset")
        << full << QByteArray("[Other]\nx=1\n") << Record{0, "10.77.0.2", "", 7142, 1, "enp3s0"};
    QTest::newRow("own values win key by key")
        << full << QByteArray("[Settings]\nIpAddress=10.77.5.5\nPenMode=0\n")
        << Record{0, "10.77.5.5", "", 7142, 0, "enp3s0"};
    QTest::newRow("keys the preset leaves out take the defaults")
        << QByteArray("[Settings]\nIpAddress=10.77.0.9\n") << QByteArray()
        << Record{0, "10.77.0.9", "", 7142, 0, ""};
    QTest::newRow("preset by host name and another port")
        << QByteArray("[Settings]\nType=1\nHostName=projector-h12\nPort=7143\n") << QByteArray()
        << Record{1, "", "projector-h12", 7143, 0, ""};
    QTest::newRow("no preset, no own settings: the defaults")
        << QByteArray() << QByteArray() << Record{0, "", "", 7142, 0, ""};
}

void TestPreset::load()
{
    QFETCH(QByteArray, preset);
    QFETCH(QByteArray, own);
    QFETCH(Record, expected);
    if (!preset.isEmpty())
        writeConf(systemFile(), preset);
    if (!own.isEmpty())
        writeConf(userFile(), own);

    Settings s;
    QVERIFY(s.Load());
    QCOMPARE(s.Type, expected.type);
    QCOMPARE(s.IpAddress, expected.ip);
    QCOMPARE(s.HostName, expected.host);
    QCOMPARE(s.Port, expected.port);
    QCOMPARE(s.PenMode, expected.penMode);
    QCOMPARE(s.Adapter, expected.adapter);
}

void TestPreset::shippedExampleIsAUsablePreset()
{
    // The example that the package installs for admins, copied into place as documented:
    // a user without settings gets a record the program connects with at start.
    QFile example(PRESET_EXAMPLE);
    QVERIFY2(example.open(QIODevice::ReadOnly), PRESET_EXAMPLE);
    writeConf(systemFile(), example.readAll());

    Settings s;
    QVERIFY(s.Load());
    QCOMPARE(s.Validate(), int(Settings::Valid));
    QCOMPARE(s.Type, CONNECT_BY_IP_ADDRESS);
    QCOMPARE(s.IpAddress, QString("10.77.0.2"));
    QCOMPARE(s.Port, DEFAULT_COMMAND_PORT);
    QCOMPARE(s.PenMode, PEN_MODE_TOUCH);
    QCOMPARE(s.Adapter, QString("enp3s0"));
}

void TestPreset::savingLeavesThePresetAlone()
{
    const QByteArray preset = "[Settings]\nIpAddress=10.77.0.2\nPort=7142\n";
    writeConf(systemFile(), preset);
    Settings s;
    QVERIFY(s.Load());
    s.IpAddress = "10.77.3.3";
    QVERIFY(s.Save());

    QFile sys(systemFile());
    QVERIFY(sys.open(QIODevice::ReadOnly));
    QCOMPARE(sys.readAll(), preset);
    QVERIFY(QFile::exists(userFile()));
    Settings again;
    QVERIFY(again.Load());
    QCOMPARE(again.IpAddress, QString("10.77.3.3"));
}

QTEST_GUILESS_MAIN(TestPreset)
#include "tst_preset.moc"
