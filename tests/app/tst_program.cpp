// The installed program as a user starts it: one instance per user, the questions a script
// asks, and a first login with nothing but the admin's preset. It runs as "nobody" (who may
// not create input devices on the machine that runs the test) from a copy that "nobody" can
// reach, inside the test's namespace pair.
#include "support/netnsprojector.h"

#include <QDir>
#include <QTemporaryDir>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

class TestProgram : public QObject {
    Q_OBJECT
    const passwd* m_nobody = nullptr;
    struct { // a user's folders, and the program copied where its user may run it
        QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/qr-program-XXXXXX")};
        QString runtime = dir.filePath(QStringLiteral("runtime"));
    } m_home;

    void own(const QString& path) // as the user's own, private
    {
        QVERIFY(::chown(qPrintable(path), m_nobody->pw_uid, m_nobody->pw_gid) == 0);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    std::unique_ptr<QProcess> start(const QStringList& args, const QString& runtime = {})
    {
        auto program = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.isEmpty() ? m_home.runtime : runtime);
        env.insert("XDG_CONFIG_HOME", m_home.dir.filePath("config"));
        env.insert("XDG_CONFIG_DIRS", m_home.dir.filePath("xdg"));
        env.insert("HOME", m_home.dir.path());
        env.insert("QT_LOGGING_RULES", "quillrelay.app.debug=true");
        program->setProcessEnvironment(env);
        program->setProcessChannelMode(QProcess::MergedChannels);
        program->setChildProcessModifier([uid = m_nobody->pw_uid, gid = m_nobody->pw_gid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(126); // never run the program as root
        });
        program->start(m_home.dir.filePath("QuillRelay"), args);
        return program;
    }
    // Waits until the program's output holds `text`, while the program runs.
    static bool waitForOutput(QProcess& program, const QByteArray& text, QByteArray* all)
    {
        EventWait wait(20000, 200);
        wait.wakeOn(&program, &QProcess::readyRead);
        wait.wakeOn(&program, &QProcess::finished);
        return wait.waitUntil([&] {
            *all += program.readAll();
            return all->contains(text) || program.state() == QProcess::NotRunning;
        }) && all->contains(text);
    }

private slots:
    void initTestCase()
    {
        QR_REQUIRE_NETNS();
        m_nobody = getpwnam("nobody");
        QVERIFY(m_nobody && m_home.dir.isValid());
        // A checkout below a folder that others cannot enter is common; the copy is not.
        const QDir bin(qEnvironmentVariable("QR_BIN_DIR"));
        QVERIFY(QFile::copy(bin.filePath("QuillRelay"), m_home.dir.filePath("QuillRelay")));
        QFile::setPermissions(m_home.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                     QFile::ReadOther | QFile::ExeOther);
        QVERIFY(QDir().mkpath(m_home.runtime) && QDir().mkpath(m_home.dir.filePath("config")) &&
                QDir().mkpath(m_home.dir.filePath("xdg/Lumoravista")));
        own(m_home.runtime);
        own(m_home.dir.filePath("config"));
    }

    // Only one instance runs: a second start ends at once, while --version is answered;
    // a crashed instance does not keep the next one out. Where the runtime folder cannot
    // hold the rendezvous (here: its path is too long for a socket), the first instance
    // still runs, says so once, and still keeps a second one out.
    void oneInstancePerUser_data()
    {
        QTest::addColumn<QString>("runtime");
        QTest::addColumn<int>("warnings");
        QTest::newRow("usual runtime folder") << QString() << 0;
        QTest::newRow("runtime folder without room for a socket") << QString(110, 'r') << 1;
    }
    void oneInstancePerUser()
    {
        QFETCH(QString, runtime);
        QFETCH(int, warnings);
        const QString folder = runtime.isEmpty() ? m_home.runtime : m_home.dir.filePath(runtime);
        QDir().mkpath(folder);
        own(folder);
        QByteArray firstOutput;
        auto first = start({}, folder);
        QVERIFY2(waitForOutput(*first, "Type:", &firstOutput), firstOutput.constData()); // running
        QVERIFY2(firstOutput.count("cannot be used, using a name without a folder") == warnings,
                 firstOutput.constData());

        QByteArray output;
        auto second = start({}, folder);
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(second->readAll().contains("!!! QuillRelay is already exists !!!"));
        auto version = start({"--version"}, folder);
        QVERIFY(version->waitForFinished(10000));
        QCOMPARE(version->readAll().trimmed(), QByteArray("Quill Relay " QR_VERSION));
        QCOMPARE(first->state(), QProcess::Running);

        ::kill(pid_t(first->processId()), SIGKILL);
        QVERIFY(first->waitForFinished(10000));
        auto ending = start({"--exit"}, folder); // nothing to end, and no waiting for it
        QVERIFY(ending->waitForFinished(10000));
        QCOMPARE(ending->readAll() + QByteArray::number(ending->exitCode()), "Quill Relay is not running.\n0");
        auto next = start({}, folder);
        QVERIFY(waitForOutput(*next, "Type:", &output));
        next->terminate();
        QVERIFY(next->waitForFinished(20000));
    }

    // A user's first login with only the admin's preset (here on another command port):
    // connected at once. An installer's --exit ends it as Exit does: by the time --exit
    // returns, the pen function is off and the user's own settings are written.
    void firstLoginUsesThePreset()
    {
        NetnsProjector projector;
        QVERIFY(projector.start({"--pen-script", "none", "--command-port", "7143"}));
        QFile preset(m_home.dir.filePath("xdg/Lumoravista/Quill Relay.conf"));
        QVERIFY(preset.open(QIODevice::WriteOnly) &&
                preset.write("[Settings]\nIpAddress=10.77.0.2\nPort=7143\nPenMode=1\nAdapter=pc0\n") > 0);
        preset.close();
        // The earlier runs ended as sessions end, writing the user's own settings: gone.
        QFile::remove(m_home.dir.filePath("config/Lumoravista/Quill Relay.conf"));
        auto program = start({});
        QVERIFY2(projector.waitForLines("pen-start ", 1, 20000), program->readAll().constData());
        QCOMPARE(projector.lines("pen-start ").first(), QStringLiteral("pen-start 10.77.0.1:8330 script=none"));
        QVERIFY(projector.waitForLines("cmd-close ")); // the pen-on exchange is over
        auto ending = start({"--exit"});
        QVERIFY(ending->waitForFinished(30000));
        QCOMPARE(ending->readAll() + QByteArray::number(ending->exitCode()), "Quill Relay has ended.\n0");
        QVERIFY(projector.waitForLines("pen-stop ", 1, 10000));
        QTRY_COMPARE_WITH_TIMEOUT(program->state(), QProcess::NotRunning, 15000);
        QVERIFY(QFile::exists(m_home.dir.filePath("config/Lumoravista/Quill Relay.conf")));
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
