#include "ui/commonlib.h"
#include "app/startservice.h"
#include "app/startup.h"
#include "support/logcapture.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <csignal>

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void catalogueChoice_data();
    void catalogueChoice();
    void shippedCataloguesGiveFonts();
    void childWidgetFont();
    void firstInstanceBecomesServer();
    void secondProcessExitsAndLeavesFirstAlone();
    void staleSocketOfCrashedInstance();
    void programRestartsAfterKill();

private:
    QProcess* startProgram();
    QTemporaryDir m_runtime;
    QTemporaryDir m_config;
};

void TestStartup::initTestCase()
{
    QVERIFY(m_runtime.isValid() && m_config.isValid());
    // A private rendezvous and settings home, shared with the programs started below.
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
}

void TestStartup::catalogueChoice_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("baseName");
    QTest::addColumn<QString>("folder");
    QTest::newRow("ja_JP") << "ja_JP"
                           << "QuillRelay.ja-JP"
                           << "ja-JP";
    QTest::newRow("ja alone") << "ja"
                              << "QuillRelay.ja-JP"
                              << "ja-JP";
    QTest::newRow("en_US") << "en_US"
                           << "QuillRelay.en-US"
                           << "en-US";
    QTest::newRow("de_DE") << "de_DE"
                           << "QuillRelay.en-US"
                           << "en-US";
    QTest::newRow("zh_CN") << "zh_CN"
                           << "QuillRelay.en-US"
                           << "en-US";
    QTest::newRow("C") << "C"
                       << "QuillRelay.en-US"
                       << "en-US";
}

void TestStartup::catalogueChoice()
{
    QFETCH(QString, locale);
    QFETCH(QString, baseName);
    QFETCH(QString, folder);
    const CatalogueLocation where = catalogueForLocale(locale, "/opt/qr");
    QCOMPARE(where.baseName, baseName);
    QCOMPARE(where.directory, QString("/opt/qr") + QDir::separator() + folder);
}

void TestStartup::shippedCataloguesGiveFonts()
{
    for (const char* locale : {"ja_JP", "en_US"}) {
        const CatalogueLocation where = catalogueForLocale(locale, QUILLRELAY_BIN_DIR);
        QTranslator translator;
        QVERIFY2(translator.load(where.baseName, where.directory), qPrintable(where.directory));
        QCoreApplication::installTranslator(&translator);
        const QFont font = CommonLib::translatedFont("QObject");
        QVERIFY(!font.family().isEmpty() && font.family() != "FontName");
        QCOMPARE(font.pointSize(), 9);
        QCoreApplication::removeTranslator(&translator);
    }
    // Without a catalogue the keys come back verbatim: the toolkit's default size applies.
    QCOMPARE(QCoreApplication::translate("QObject", "FontSize").toInt(), 0);
}

void TestStartup::childWidgetFont()
{
    QWidget parent;
    auto* first = new QLabel(&parent);
    auto* second = new QLabel(&parent);
    auto* grandchild = new QLabel(second);
    auto* plain = new QObject(&parent);
    Q_UNUSED(plain)
    QFont font("Serif", 17);

    LogCapture log;
    CommonLib().SetChildWidgetFont(&parent, font);
    QCOMPARE(log.lines("quillrelay.ui").size(), 1);
    QVERIFY(log.lines("quillrelay.ui").first().startsWith("font name:"));
    QVERIFY(log.lines("quillrelay.ui").first().endsWith(", size:17"));
    QCOMPARE(first->font().pointSize(), 17);
    QCOMPARE(second->font().pointSize(), 17);
    QVERIFY(!parent.testAttribute(Qt::WA_SetFont));
    QVERIFY(!grandchild->testAttribute(Qt::WA_SetFont));
    QCOMPARE(grandchild->font().pointSize(), 17); // inherited from its parent widget
}

QProcess* TestStartup::startProgram()
{
    auto* program = new QProcess(this);
    program->setProgram(QUILLRELAY_EXE);
    program->start();
    return program;
}

void TestStartup::firstInstanceBecomesServer()
{
    LogCapture log;
    {
        CStartService guard;
        QVERIFY(guard.CheckStart());
        QVERIFY(log.contains("[CStartService::ConnectError] QuillRelay not exist"));
        QVERIFY(QFile::exists(CStartService::serverName()));
        QVERIFY(CStartService::serverName().startsWith(m_runtime.path()));
    }
    // A normal end removes the name, so the next start succeeds at once.
    QVERIFY(!QFile::exists(CStartService::serverName()));
    CStartService next;
    QVERIFY(next.CheckStart());
}

void TestStartup::secondProcessExitsAndLeavesFirstAlone()
{
    CStartService first;
    QVERIFY(first.CheckStart());
    QSignalSpy knocks(&first, &CStartService::MultipleStarted);

    QProcess* second = startProgram();
    QVERIFY(second->waitForFinished(15000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    const QString output = QString::fromUtf8(second->readAllStandardError());
    QVERIFY2(output.contains("[CStartService::ConnectSuccess] QuillRelay already exist"),
             qPrintable(output));
    QVERIFY2(output.contains("!!! QuillRelay is already exists !!!"), qPrintable(output));

    // The first instance noticed the knock and still answers.
    QTRY_VERIFY(knocks.count() >= 1);
    QLocalSocket probe;
    probe.connectToServer(CStartService::serverName());
    QVERIFY(probe.waitForConnected(2000));
}

void TestStartup::staleSocketOfCrashedInstance()
{
    QProcess* crashed = startProgram();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(CStartService::serverName()), 15000);
    ::kill(pid_t(crashed->processId()), SIGKILL);
    QVERIFY(crashed->waitForFinished(5000));
    QVERIFY(QFile::exists(CStartService::serverName())); // the socket file is left behind

    LogCapture log;
    CStartService guard;
    QVERIFY(guard.CheckStart());
    QCOMPARE(log.lines().filter(QRegularExpression("^!!! Listen error\\[.*\\] !!!$")).size(), 1);
}

void TestStartup::programRestartsAfterKill()
{
    QProcess* crashed = startProgram();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(CStartService::serverName()), 15000);
    ::kill(pid_t(crashed->processId()), SIGKILL);
    QVERIFY(crashed->waitForFinished(5000));

    QProcess* next = startProgram();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(CStartService::serverName()), 15000);
    // It stays up: its event loop runs until it is told to end.
    QVERIFY(!next->waitForFinished(1500));
    QLocalSocket probe;
    probe.connectToServer(CStartService::serverName());
    QVERIFY(probe.waitForConnected(2000));
    next->terminate();
    QVERIFY(next->waitForFinished(10000));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
