// A settings file that cannot be read, or that holds garbage: loading gives usable values
// (the defaults where nothing usable is stored), nothing crashes, and the controller starts
// as on a first run, asking for the connection settings.
#include "engine/inkbridge.h"
#include "support/recordinginjection.h"
#include "engine/settings/connectionsettings.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestBadSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void damagedFileLoadsUsableValues_data();
    void damagedFileLoadsUsableValues();

private:
    QString filePath() const { return m_config.path() + "/Lumoravista/Quill Relay.conf"; }
    QTemporaryDir m_config;
};

void TestBadSettings::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    QVERIFY(QDir(m_config.path()).mkpath("Lumoravista"));
}

void TestBadSettings::cleanup()
{
    QDir(filePath()).removeRecursively();
    QFile::remove(filePath());
}

void TestBadSettings::damagedFileLoadsUsableValues_data()
{
    QTest::addColumn<QByteArray>("content"); // written as the file
    QTest::addColumn<bool>("directory");     // a folder where the file belongs: unreadable
    QTest::addColumn<int>("port");           // what Load gives

    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary += char((i * 151 + 7) & 0xFF);
    QTest::newRow("binary garbage") << binary << false << 7142;
    QTest::newRow("a folder in its place") << QByteArray() << true << 7142;
    // A value that does not decode reads as missing: the default.
    QTest::newRow("values of the wrong types")
        << QByteArray("[Settings]\nType=abc\nPort=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x1)\n"
                      "PenMode=99\nIpAddress=@ByteArray(\\xff\\xfe)\nAdapter=@Rect(1 2 3 4)\n")
        << false << 7142;
    QTest::newRow("cut off in the middle of a line")
        << QByteArray("[Settings]\nIpAddress=10.77.0.2\nPort=71") << false << 71;
    // The toolkit reads a section header without its bracket as the header.
    QTest::newRow("a group that never closes")
        << QByteArray("[Settings\nPort=8000\n") << false << 8000;
    QTest::newRow("a megabyte of junk lines")
        << QByteArray("x=\\\\\\\"\n[[]]\n=\n").repeated(64 * 1024) << false << 7142;
}

void TestBadSettings::damagedFileLoadsUsableValues()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, directory);
    QFETCH(int, port);

    if (directory) {
        QVERIFY(QDir().mkpath(filePath()));
    } else {
        QFile file(filePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    Settings settings;
    QVERIFY(settings.Load());
    QCOMPARE(settings.Port, port);
    const int valid = settings.Validate();
    QVERIFY(valid == 1 || valid == -1 || valid == -2 || valid == -3);

    // The program starts as on a first run: it cannot connect, says so and asks.
    auto devices = std::make_shared<RecordingInjectionBackend>();
    Inkbridge controller(devices);
    controller.setNoTrayGracePeriod(60 * 60 * 1000);
    QSignalSpy messages(&controller, &Inkbridge::trayMessageShown);
    QSignalSpy asks(&controller, &Inkbridge::execCommSetting);
    QSignalSpy connects(&controller, &Inkbridge::execConnect);
    controller.run();
    QCOMPARE(asks.size(), 1);
    QCOMPARE(connects.size(), 0);
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().at(0).toInt(), int(Inkbridge::MsgConnectFailed));
    QVERIFY(controller.penMode() == PEN_MODE_TOUCH || controller.penMode() == PEN_MODE_MOUSE);

    // And Exit's save neither crashes nor makes things worse.
    Settings save;
    save.Save();
}

QTEST_MAIN(TestBadSettings)
#include "tst_badsettings.moc"
