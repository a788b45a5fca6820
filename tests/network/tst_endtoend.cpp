// The three protocols on a real network: the controller and the search against the
// projector simulator next door, in the test's own namespace pair (this computer is
// 10.77.0.1 on "pc0", the projectors 10.77.0.2 and up).
#include "engine/inkbridge.h"
#include "engine/search/pjsearchudp.h"
#include "support/manualclock.h"
#include "support/netnsprojector.h"
#include "support/recordinginjection.h"
#include "ui/addressinput.h"
#include "ui/pjsearchdlg.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <atomic>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
// Another host's pen presses at about 5000 a second: a flood that the pen socket's buffer
// rides out through the pauses of a loaded machine.
class Flood {
public:
    Flood()
    {
        m_thread = std::thread([this] {
            const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(PEN_STATUS_PORT);
            ::inet_pton(AF_INET, "10.77.0.1", &to.sin_addr);
            const QByteArray press = encodePenStatusRecord({9, 1, 640, 400});
            for (int sent = 0; !m_stop; ++sent) {
                ::sendto(fd, press.constData(), size_t(press.size()), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
                if (sent % 100 == 99)
                    ::usleep(20000);
            }
            ::close(fd);
        });
    }
    ~Flood()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;

private slots:
    void initTestCase()
    {
        QR_REQUIRE_NETNS();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_home.path());
    }

    // Pen-on to the projector, its stroke injected, pen-off at Exit; also while another
    // host floods the pen port with presses of its own.
    void commandLinkAndPenDatagrams_data()
    {
        QTest::addColumn<bool>("flood");
        QTest::newRow("quiet network") << false;
        QTest::newRow("pen port flooded by another host") << true;
    }
    void commandLinkAndPenDatagrams()
    {
        QFETCH(bool, flood);
        NetnsProjector projector;
        QVERIFY(projector.start({"--pen-script", "line", "--pen-rate", "200"}));
        ConnectionSettings settings;
        settings.ipAddress = QStringLiteral("10.77.0.2");
        settings.adapter = QStringLiteral("pc0");
        settings.penMode = PenMode::Mouse;
        SettingsStore(QSettings::IniFormat).save(settings);
        auto devices = std::make_shared<RecordingInjectionBackend>();
        Inkbridge::Services services = Inkbridge::platformServices();
        services.injection = devices;
        services.store = SettingsStore(QSettings::IniFormat);
        // A clock that stands still: on a loaded machine a pause between two of the
        // stroke's datagrams must not count as a lost up. The pens aim at the test's screen.
        services.clock = std::make_shared<ManualClock>();
        services.screens = nullptr;
        Inkbridge controller(std::move(services)); // the pens on a thread of their own
        controller.penPath().call([](PenPath& path) { path.dispatch.setTarget(QRect(0, 0, 1280, 800)); });
        // The devices are used on the pen thread: their log is read there too.
        const auto injected = [&] {
            return controller.penPath().call([&](PenPath&) { return devices->log->mouseInputs; });
        };
        std::unique_ptr<Flood> strangers(flood ? new Flood : nullptr);

        controller.run();
        QVERIFY(projector.waitForLines("pen-done "));
        QVERIFY(projector.lines("cmd-rx ").first().endsWith("03 CE 00 00 07 00 01 00 4D 0A 8A 20 DA"));
        // The "line" script: a press (a move and a button), 16 moves, a release.
        const int expected = 2 + 16 + 1;
        QCOMPARE(projector.lines("pen-tx ").size(), 18);
        QTRY_COMPARE_WITH_TIMEOUT(injected().size(), expected, 10000);
        strangers.reset();
        QCOMPARE(injected().last().mi.dwFlags, injection::MouseEventLeftUp);

        QSignalSpy quit(&controller, &Inkbridge::quitRequested);
        controller.exitProgram();
        QVERIFY(projector.waitForLines("cmd-rx ", 2));
        QVERIFY(projector.lines("cmd-rx ").last().endsWith("03 CE 00 00 01 01 D3"));
        QVERIFY(projector.waitForLines("pen-stop "));
        QCOMPARE(injected().size(), expected); // none of the other host's
    }

    // A broadcast search lists every projector that answers (each acknowledged), and a
    // typed address that stays silent is listed as failed.
    void search()
    {
        NetnsProjector projector;
        QVERIFY(projector.start({"--projector", "10.77.0.2,name=Hall", "--projector",
                                 "10.77.0.3,name=Room,hostip=10.77.0.9", "--projector", "10.77.0.4,silent"}));
        PJSearchUdp engine(SEARCH_APP_FLAG);
        QSignalSpy finished(&engine, &PJSearchUdp::finished);
        QCOMPARE(engine.searchBroadcast(QHostAddress("10.77.0.1"), QHostAddress("10.77.0.255")),
                 PJSearchUdp::Start::Started);
        QVERIFY(finished.wait(5000));
        QStringList listed;
        for (const PJListItem& item : engine.items())
            listed << item.Address.toString() + ' ' + item.Name;
        QCOMPARE(listed, QStringList({"10.77.0.2 Hall", "10.77.0.9 Room", "10.77.0.3 Room"}));
        QCOMPARE(projector.lines("search-rx 10.77.0.255 10.77.0.1:5320 cmd=2").size(), 4);
        QCOMPARE(projector.lines("search-accept ").size(), 2 * 4); // every reply is acknowledged

        const QHostAddress typed[2] = {QHostAddress("10.77.0.4"), QHostAddress()};
        PJSearchDlg list(SEARCH_APP_FLAG, QHostAddress(), AddressInput::ModeSingle, typed);
        list.show();
        QTimer::singleShot(100, [] {
            if (auto* input = qobject_cast<AddressInput*>(QApplication::activeModalWidget()))
                input->findChild<QPushButton*>("pushButtonAdd")->click();
        });
        list.findChild<QPushButton*>("pushButtonInputAddress")->click();
        auto* table = list.findChild<QTableWidget*>("tableWidgetPJList");
        QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), 1, 5000);
        QCOMPARE(table->item(0, 1)->text() + ' ' + table->item(0, 2)->text(),
                 QStringLiteral("10.77.0.4 Search Failed"));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
