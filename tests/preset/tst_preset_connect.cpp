#include "support/netnsprojector.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

// The whole program, started the way the autostart entry starts it for a user who has never
// run it: no settings of their own, only the admin's preset. It must connect to the preset
// projector at once. Runs in a namespace pair against the projector simulator.
//
// The program runs as "nobody", who has no access to /dev/uinput: whatever it does, it
// cannot create input devices on the machine that runs the test.
class TestPresetConnect : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void connectsToThePresetProjector_data();
    void connectsToThePresetProjector();

private:
    bool writeFile(const QString& path, const QByteArray& text);
    uid_t m_uid = 0;
    gid_t m_gid = 0;
};

void TestPresetConnect::initTestCase()
{
    QR_REQUIRE_NETNS();
    const passwd* pw = getpwnam("nobody");
    QVERIFY2(pw, "no user 'nobody'");
    m_uid = pw->pw_uid;
    m_gid = pw->pw_gid;
}

bool TestPresetConnect::writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

void TestPresetConnect::connectsToThePresetProjector_data()
{
    QTest::addColumn<QByteArray>("preset");
    QTest::addColumn<QByteArray>("own"); // the user's own file; empty = none
    QTest::addColumn<QStringList>("simulator");

    const QByteArray adapter = "Adapter=pc0\n"; // the computer's end of the veth pair
    QTest::newRow("preset only")
        << QByteArray("[Settings]\nType=0\nIpAddress=10.77.0.2\nPort=7142\nPenMode=1\n") + adapter
        << QByteArray() << QStringList{"--pen-script", "none"};
    QTest::newRow("preset with another command port")
        << QByteArray("[Settings]\nIpAddress=10.77.0.2\nPort=7143\nPenMode=1\n") + adapter
        << QByteArray() << QStringList{"--pen-script", "none", "--command-port", "7143"};
    // The preset's port has no listener; the user's own port does.
    QTest::newRow("own value wins over the preset")
        << QByteArray("[Settings]\nIpAddress=10.77.0.2\nPort=7150\nPenMode=1\n") + adapter
        << QByteArray("[Settings]\nPort=7142\n") << QStringList{"--pen-script", "none"};
}

void TestPresetConnect::connectsToThePresetProjector()
{
    QFETCH(QByteArray, preset);
    QFETCH(QByteArray, own);
    QFETCH(QStringList, simulator);

    NetnsProjector projector;
    QVERIFY2(projector.start(simulator), qPrintable(projector.errorString()));

    // The folders belong to the user the program runs as, as a home does.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString system = dir.filePath("xdg");
    const QString config = dir.filePath("config");
    const QString runtime = dir.filePath("runtime");
    QVERIFY(writeFile(system + "/Lumoravista/Quill Relay.conf", preset));
    QVERIFY(QDir().mkpath(config + "/Lumoravista") && QDir().mkpath(runtime));
    if (!own.isEmpty())
        QVERIFY(writeFile(config + "/Lumoravista/Quill Relay.conf", own));
    for (const QString& path : {dir.path(), config, config + "/Lumoravista",
                                config + "/Lumoravista/Quill Relay.conf", runtime}) {
        if (QFile::exists(path))
            QCOMPARE(::chown(path.toLocal8Bit().constData(), m_uid, m_gid), 0);
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(system, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                      QFile::ReadOther | QFile::ExeOther);

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_DIRS", system);
    env.insert("XDG_CONFIG_HOME", config);
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("HOME", dir.path());
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.setChildProcessModifier([uid = m_uid, gid = m_gid] {
        // In the child, before exec: drop root for good.
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(126);
    });
    program.start(QUILLRELAY_PATH, {});
    QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));

    const bool connected = projector.waitForLines("pen-start ", 1, 20000);
    if (!connected)
        qWarning("program output:\n%s", program.readAll().constData());
    QVERIFY2(connected, "the program did not switch the preset projector's pen function on");
    // It announced the computer's address on the preset adapter, and the pen-status port.
    QCOMPARE(projector.lines("pen-start ").first(),
             QString("pen-start %1:8330 script=none").arg(NetnsProjector::computerAddress()));

    // Ending the session switches the pen function off again, once the pen-on exchange is
    // over (the program closes the link after the reply); ending during the exchange would
    // abort the command instead, as Exit does.
    QVERIFY(projector.waitForLines("cmd-close ", 1, 10000));
    program.terminate();
    QVERIFY(projector.waitForLines("pen-stop ", 1, 15000));
    QVERIFY(program.waitForFinished(15000));
}

QTEST_GUILESS_MAIN(TestPresetConnect)
#include "tst_preset_connect.moc"
