#include "settings/communicationsettings.h"

#include "app/commonlib.h"
#include "discovery/dialogsupport.h"
#include "discovery/pjsearch.h"
#include "settings/settings.h"
#include "ui_communicationsettings.h"

#include <QCloseEvent>
#include <QIcon>
#include <QIntValidator>
#include <QKeyEvent>
#include <QMessageBox>

#include <memory>

namespace {
constexpr quint32 kAppFlag = 0x01000000;
}

CommunicationSettings::CommunicationSettings(QWidget* parent)
    : QDialog(parent), ui(new Ui::CommunicationSettings)
{
    runGuarded([&] {
        ui->setupUi(this);
        CommonLib().SetChildWidgetFont(this, CommonLib::translatedFont("CommunicationSettings"));
        setWindowTitle(tr("Select a connection"));
        setFixedSize(290, 250);
        setWindowIcon(QIcon(QStringLiteral(":/ico/MainIcon.png")));
        ui->radioButton_IPAdress->setChecked(true);
        ui->lineEdit_IPAddress->installEventFilter(this);
        // Queued, so that the search dialog opens from the event loop once this one is up.
        connect(this, &CommunicationSettings::execSearch, this,
                &CommunicationSettings::on_pushButton_AutoSearch_clicked, Qt::QueuedConnection);
        setWindowFlags(DialogWindowFlags);
        m_shownOnce = false;
        autoSearchOnShow = false;
    });
}

CommunicationSettings::~CommunicationSettings()
{
    delete ui;
}

void CommunicationSettings::SetValues(int type, const QString& ipAddress, const QString& hostName,
                                      int port, const QString& adapter)
{
    runGuarded([&] {
        m_type = type;
        m_ipAddress = ipAddress;
        m_hostName = hostName;
        m_port = port;
        m_adapter = adapter;

        ui->lineEdit_IPAddress->InputType = CLineEditForIPAddress::TypeIPv4;
        ui->lineEdit_HostName->InputType = CLineEditForIPAddress::TypeText32;
        ui->lineEdit_Port->setValidator(new QIntValidator(this));

        if (type == 1)
            ui->radioButton_HostName->setChecked(true);
        else
            ui->radioButton_IPAdress->setChecked(true);

        ui->lineEdit_IPAddress->setText(ipAddress);
        ui->lineEdit_HostName->setText(hostName);
        ui->lineEdit_Port->setText(QString::number(port));
        UpdateEnabled();
    });
}

void CommunicationSettings::UpdateEnabled()
{
    ui->lineEdit_IPAddress->setEnabled(ui->radioButton_IPAdress->isChecked());
    ui->lineEdit_HostName->setEnabled(ui->radioButton_HostName->isChecked());
}

void CommunicationSettings::showEvent(QShowEvent* event)
{
    if (!m_shownOnce) {
        m_shownOnce = true;
        if (autoSearchOnShow)
            emit execSearch();
    }
    QDialog::showEvent(event);
}

void CommunicationSettings::closeEvent(QCloseEvent* event)
{
    // Closing the window rejects the dialog; a result set before (Connect) must survive.
    const int kept = result();
    QDialog::closeEvent(event);
    setResult(kept);
}

void CommunicationSettings::on_pushButton_Close_clicked()
{
    setResult(0);
    close();
}

void CommunicationSettings::on_pushButton_Connect_clicked()
{
    runGuarded([&] {
        const int type = ui->radioButton_HostName->isChecked() ? 1 : 0;
        QString ipAddress = ui->lineEdit_IPAddress->text();
        ipAddress.remove(QLatin1Char(' '));
        const QString hostName = ui->lineEdit_HostName->text();
        bool isNumber = false;
        int port = ui->lineEdit_Port->text().toInt(&isNumber, 10);
        if (!isNumber)
            port = -1;

        Settings check;
        check.Type = type;
        check.IpAddress = ipAddress;
        check.HostName = hostName;
        check.Port = port;
        const int verdict = check.Validate();
        if (verdict < 0) {
            QString text;
            if (verdict == Settings::InvalidHostName)
                text = tr("Host name is invalid.");
            else if (verdict == Settings::InvalidIpAddress)
                text = tr("IP address is invalid.");
            else
                text = tr("Port number is invalid.");
            QMessageBox::critical(this, tr("Inkbridge"), text, QMessageBox::Ok);
            return;
        }
        m_type = type;
        m_ipAddress = ipAddress;
        m_hostName = hostName;
        m_port = port;
        setResult(1);
        close();
    });
}

void CommunicationSettings::on_radioButton_HostName_toggled(bool)
{
    UpdateEnabled();
}

void CommunicationSettings::on_radioButton_IPAdress_toggled(bool)
{
    UpdateEnabled();
}

void CommunicationSettings::on_pushButton_AutoSearch_clicked()
{
    runGuarded([&] {
        auto search = std::make_unique<PJSearch>();
        const int result =
            search->SelectIpList(kAppFlag, m_currentAddress, m_searchMode, m_searchRange, this);
        const QList<QHostAddress> selected = search->GetSelectedIpList();
        if (result != 1 || selected.isEmpty())
            return;
        QString address = selected.first().toString();
        address.remove(QLatin1Char(' '));
        ui->radioButton_IPAdress->setChecked(true);
        ui->lineEdit_IPAddress->setText(address);
        ui->lineEdit_Port->setText(QStringLiteral("7142"));
        m_adapter = search->GetAdapterName();
        on_pushButton_Connect_clicked();
    });
}

bool CommunicationSettings::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || watched != ui->lineEdit_IPAddress)
        return false;
    bool filtered = false;
    runGuarded([&] {
        auto* key = static_cast<QKeyEvent*>(event);
        CLineEditForIPAddress* field = ui->lineEdit_IPAddress;
        const int code = key->key();
        if ((code == Qt::Key_Backtab || code == Qt::Key_Up || code == Qt::Key_Right) &&
            ui->radioButton_IPAdress->isChecked()) {
            field->setCursorPosition(field->lastOctetPosition());
            field->setFocus(Qt::OtherFocusReason);
            filtered = true;
            return;
        }
        // Straight to the field: Tab then moves between octets before the focus chain
        // takes it; keys the field leaves unaccepted still travel up to the dialog.
        field->keyPressEvent(key);
        filtered = true;
    });
    return filtered;
}
