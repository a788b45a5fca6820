// What the person sees, on the offscreen platform: the tray as a view of the controller,
// the dialogs it opens and the checks they make. The controller runs with the stand-ins of
// tests/support, and every search goes to the loopback interface "qr0".
#include "support/fakes.h"
#include "support/packets.h"
#include "ui/addressinput.h"
#include "ui/communicationsettings.h"
#include "ui/icons.h"
#include "ui/inkbridgetray.h"
#include "ui/lineeditexbase.h"
#include "ui/lineeditforipaddress.h"
#include "ui/pjsearchdlg.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {
// While it lives, runs `answer` with the next modal window of class T as soon as it is up.
template <typename T> class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(T*)> answer)
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this, answer] {
            auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
            if (modal && modal->isVisible()) {
                m_poll.stop();
                answer(modal);
            }
        });
        m_poll.start(20);
    }

private:
    QTimer m_poll;
};

// The text of the message box that `act` opens (which it then closes), or nothing.
QString nextMessageBox(const std::function<void()>& act)
{
    QString text;
    ModalAnswer<QMessageBox> close([&](QMessageBox* box) { text = box->text(), box->accept(); });
    act();
    return text;
}

template <typename T> T* child(QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

QImage image(const QIcon& icon, int size)
{
    return icon.pixmap(size).toImage();
}

// The visible items; a marked one starts with "*".
QStringList menuTexts(QMenu& menu)
{
    QStringList texts;
    for (QAction* action : menu.actions()) {
        if (action->isVisible())
            texts << (action->isSeparator() ? QStringLiteral("|")
                                            : (action->isChecked() ? "*" : "") + action->text());
    }
    return texts;
}

QString enabledItems(QMenu& menu)
{
    QString states;
    for (QAction* action : menu.actions()) {
        if (action->isVisible() && !action->isSeparator())
            states += action->isEnabled() ? "1" : "0";
    }
    return states;
}
} // namespace

class TestUi : public QObject {
    Q_OBJECT
private slots:
    // Waiting for a projector that did not answer, the tool tip says so and every item can
    // be chosen; once connected the tool tip has nothing to say, and the icon is coloured.
    void trayFollowsTheController()
    {
        ControllerRig rig;
        rig.store(ControllerRig::usableTarget());
        rig.script->results = {CommandResult::ConnectFailed};
        rig.retryDelaysMs = {60000};
        Inkbridge& controller = rig.make();
        InkbridgeTray tray(controller);
        QCOMPARE(menuTexts(tray.menu()),
                 QStringList({"OperateTouch", "OperateMouse", "|", "Connect", "Disconnect", "|",
                              "Communication Settings...", "About Inkbridge...", "|", "Exit"}));
        controller.run();
        QTRY_COMPARE(controller.state(), Inkbridge::State::Waiting);
        QCOMPARE(tray.icon().toolTip(), QStringLiteral("Waiting for the projector at 127.0.0.1."));
        QCOMPARE(image(tray.icon().icon(), 24), image(QrIcons::tray(false), 24));
        emit tray.menu().aboutToShow();
        QCOMPARE(enabledItems(tray.menu()), QStringLiteral("1111111"));
        controller.connectProjector();
        QTRY_COMPARE(image(tray.icon().icon(), 24), image(QrIcons::tray(true), 24));
        QCOMPARE(tray.icon().toolTip(), QString());
        // The hand-drawn small and double-density images reach the tray too.
        const QList<QSize> sizes = tray.icon().icon().availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(48, 48)));
        const QList<QAction*> items = tray.menu().actions();
        QCOMPARE(image(items[0]->icon(), 16), image(QrIcons::penModeMark(true), 16));
        controller.setPenMode(PenMode::Mouse);
        emit tray.menu().aboutToShow();
        QCOMPARE(image(items[0]->icon(), 16), image(QrIcons::penModeMark(false), 16));
        QCOMPARE(image(items[1]->icon(), 16), image(QrIcons::penModeMark(true), 16));

        rig.script->durationMs = 300;
        controller.disconnectProjector(); // while a command runs only Exit can be chosen
        QCOMPARE(enabledItems(tray.menu()), QStringLiteral("0000001"));
        QTRY_COMPARE(controller.state(), Inkbridge::State::Idle);
        QCOMPARE(image(tray.icon().icon(), 24), image(QrIcons::tray(false), 24));
        QVERIFY(controller.beginDialog()); // while a dialog is open nothing can
        QCOMPARE(enabledItems(tray.menu()), QStringLiteral("0000000"));
        controller.endDialog();
        rig.devices->log->touchAvailable = false;
        emit tray.menu().aboutToShow();
        QCOMPARE(enabledItems(tray.menu()), QStringLiteral("0111111"));
    }

    // With more than one screen the menu offers them, the chosen one marked; a choice holds
    // at once, and a screen that is gone leaves the pens and the mark on the primary one.
    void trayOffersTheScreens()
    {
        ControllerRig rig;
        rig.screens << ScreenInfo{"HDMI-2", QRect(1280, 0, 1920, 1080), false};
        Inkbridge& controller = rig.make();
        InkbridgeTray tray(controller, [&] { return rig.screens; });
        QCOMPARE(menuTexts(tray.menu()).mid(0, 4), QStringList({"OperateTouch", "OperateMouse", "Screen", "|"}));
        QCOMPARE(menuTexts(tray.screenMenu()),
                 QStringList({"*Primary screen", "A (1280 × 800)", "HDMI-2 (1920 × 1080)"}));
        tray.screenMenu().actions()[2]->trigger();
        QCOMPARE(controller.targetScreen()->target().name, QStringLiteral("HDMI-2"));
        rig.screens.removeLast();
        controller.targetScreen()->refresh();
        emit tray.menu().aboutToShow(); // the controller keeps the name (tst_controller)
        QCOMPARE(menuTexts(tray.menu()).mid(0, 3), QStringList({"OperateTouch", "OperateMouse", "|"}));
        rig.screens << ScreenInfo{"DP-1", QRect(1280, 0, 1920, 1080), false};
        emit tray.menu().aboutToShow();
        QCOMPARE(menuTexts(tray.screenMenu()),
                 QStringList({"*Primary screen", "A (1280 × 800)", "DP-1 (1920 × 1080)"}));
    }

    // First start without settings: the settings dialog opens and searches by itself; a
    // search again (Update) keeps the rows found; the projector picked in the list is
    // connected to through the interface it was found on.
    void firstStartPicksAProjectorFromTheSearch()
    {
        ControllerRig rig;
        Inkbridge& controller = rig.make();
        InkbridgeTray tray(controller);
        bool updated = false;
        ModalAnswer<PJSearchDlg> pick([&updated](PJSearchDlg* list) {
            PJSearchUdp& engine = list->engine();
            engine.handleDatagram(QByteArray(SearchReplyBytes().seq(engine.SeqNo()).name("Hall")),
                                  QHostAddress("127.0.0.5"));
            auto* table = child<QTableWidget>(list, "tableWidgetPJList");
            auto* update = child<QPushButton>(list, "pushButtonUpdate");
            QVERIFY(QTest::qWaitFor([&] { return update->isEnabled(); }, 5000));
            update->click(); // a search runs: Update waits for its end, the rows stay
            updated = !update->isEnabled() && table->rowCount() == 1;
            QVERIFY(QTest::qWaitFor([&] { return update->isEnabled(); }, 5000));
            table->selectRow(0);
            emit table->itemClicked(table->item(0, 0));
            child<QPushButton>(list, "pushButtonConnect")->click();
        });
        controller.run();
        QTRY_COMPARE(rig.script->commands.size(), 1);
        QVERIFY(updated);
        QCOMPARE(rig.script->commands[0].host, QStringLiteral("127.0.0.5"));
        QCOMPARE(controller.settings().adapter, QStringLiteral("qr0"));
    }

    // The communication settings and the address input check what they are given; what
    // they refuse, a message box says.
    void dialogsCheckWhatTheyAccept_data()
    {
        QTest::addColumn<QString>("dialog"); // "settings" or "host name" (how it is chosen), "single" or "range"
        QTest::addColumn<QStringList>("texts"); // address (or first address), host name or last address, port
        QTest::addColumn<QString>("problem");   // empty: accepted
        const QString badIp = "IP address is invalid.", badPort = "Port number is invalid.";
        QTest::newRow("address") << "settings" << QStringList{"10.77.0.9", "", "7142"} << "";
        QTest::newRow("host name") << "host name" << QStringList{"", QString(32, 'h'), "1"} << "";
        QTest::newRow("address too big") << "settings" << QStringList{"10.77.0.256", "", "7142"} << badIp;
        QTest::newRow("address incomplete") << "settings" << QStringList{"10.77.0", "", "7142"} << badIp;
        QTest::newRow("host name empty")
            << "host name" << QStringList{"10.77.0.9", "", "7142"} << "Host name is invalid.";
        QTest::newRow("port 0") << "settings" << QStringList{"10.77.0.9", "", "0"} << badPort;
        QTest::newRow("port 65536 hides a bad address") << "settings" << QStringList{"1.2.3.999", "", "65536"} << badPort;
        const QString badAddress = "An invalid address is being used.";
        QTest::newRow("single") << "single" << QStringList{"10.77.0.5"} << "";
        QTest::newRow("range in one /24") << "range" << QStringList{"10.77.0.10", "10.77.0.20"} << "";
        QTest::newRow("range across /24") << "range" << QStringList{"10.77.0.10", "10.77.1.2"} << badAddress;
        QTest::newRow("range backwards") << "range" << QStringList{"10.77.0.20", "10.77.0.10"} << badAddress;
        for (const char* bad : {"0.1.2.3", "127.0.0.1", "255.255.255.255", "10.77.0"})
            QTest::newRow(bad) << "single" << QStringList{bad} << badAddress;
    }
    void dialogsCheckWhatTheyAccept()
    {
        QFETCH(QString, dialog);
        QFETCH(QStringList, texts);
        QFETCH(QString, problem);
        const QHostAddress none[2];
        CommunicationSettings settings;
        AddressInput input(dialog == "range" ? AddressInput::ModeRange : AddressInput::ModeSingle, none);
        const bool bySettings = dialog == "settings" || dialog == "host name";
        QDialog& shown = bySettings ? static_cast<QDialog&>(settings) : input;
        QStringList fields{"txtLANIPv4Start", "txtLANIPv4End"};
        if (bySettings) {
            settings.SetValues(ControllerRig::usableTarget());
            fields = QStringList{"lineEdit_IPAddress", "lineEdit_HostName", "lineEdit_Port"};
            child<QRadioButton>(&settings, dialog == "host name" ? "radioButton_HostName" : "radioButton_IPAdress")->setChecked(true);
        }
        shown.show();
        for (qsizetype i = 0; i < texts.size(); ++i)
            child<QLineEdit>(&shown, qPrintable(fields[i]))->setText(texts[i]);
        const char* button = bySettings ? "pushButton_Connect" : "pushButtonAdd";
        QCOMPARE(nextMessageBox([&] { child<QPushButton>(&shown, button)->click(); }), problem);
        QCOMPARE(shown.result() == QDialog::Accepted, problem.isEmpty());
        if (bySettings && problem.isEmpty()) {
            QCOMPARE(settings.values().type, dialog == "host name" ? ConnectBy::HostName : ConnectBy::IpAddress);
            QCOMPARE(settings.values().port, texts[2].toInt());
            QCOMPARE(settings.values().adapter, QStringLiteral("qr0"));
        }
    }

    // In an address field Tab and "." move between the octets; a "." in an empty octet is
    // dropped rather than skipping it.
    void addressFieldKeys()
    {
        CLineEditForIPAddress field;
        field.InputType = CLineEditForIPAddress::TypeIPv4;
        field.show();
        QTest::keyClicks(&field, "10");
        QTest::keyClick(&field, Qt::Key_Tab);
        QTest::keyClicks(&field, "77.");
        QTest::keyClick(&field, Qt::Key_Period);
        QTest::keyClicks(&field, "0.5");
        QCOMPARE(AddressInput::addressFromField(field.text()), QHostAddress("10.77.0.5"));
        QLineEditExBase port;
        port.setText(QStringLiteral("7142\nrm -rf"));
        QCOMPARE(port.text(), QStringLiteral("7142")); // a pasted line feed ends the value
    }

    // Auto Search from the tray's Communication Settings marks the projector in use, and
    // only while it is in use.
    void projectorListMarksTheProjectorInUse_data()
    {
        QTest::addColumn<bool>("disconnect");
        QTest::addColumn<QString>("statuses"); // of 127.0.0.5, then of 127.0.0.1
        QTest::newRow("connected") << false << "|Connected";
        QTest::newRow("disconnected") << true << "|";
    }
    void projectorListMarksTheProjectorInUse()
    {
        QFETCH(bool, disconnect);
        QFETCH(QString, statuses);
        ControllerRig rig;
        rig.store(ControllerRig::usableTarget()); // the projector at 127.0.0.1 acknowledges
        Inkbridge& controller = rig.make();
        InkbridgeTray tray(controller);
        controller.run();
        QTRY_VERIFY(controller.isConnected() && !controller.isBusy());
        if (disconnect) {
            controller.disconnectProjector();
            QTRY_COMPARE(controller.state(), Inkbridge::State::Idle);
        }
        QStringList seen;
        ModalAnswer<CommunicationSettings> settings([](CommunicationSettings* dialog) {
            child<QPushButton>(dialog, "pushButton_AutoSearch")->click();
            child<QPushButton>(dialog, "pushButton_Close")->click();
        });
        ModalAnswer<PJSearchDlg> list([&seen](PJSearchDlg* list) {
            PJSearchUdp& engine = list->engine();
            for (const char* sender : {"127.0.0.5", "127.0.0.1"})
                engine.handleDatagram(QByteArray(SearchReplyBytes().seq(engine.SeqNo()).name("PJ")),
                                      QHostAddress(sender));
            auto* table = child<QTableWidget>(list, "tableWidgetPJList");
            for (int row = 0; row < table->rowCount(); ++row)
                seen << table->item(row, 2)->text();
            child<QPushButton>(list, "pushButtonClose")->click();
        });
        for (QAction* item : tray.menu().actions())
            if (item->text() == QLatin1String("Communication Settings..."))
                item->trigger(); // returns once the dialog is closed
        QCOMPARE(seen.join('|'), statuses);
    }
};

QTEST_MAIN(TestUi)
#include "tst_ui.moc"
