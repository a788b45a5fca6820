#include "ui/communicationsettings.h"

#include "ui/commonlib.h"
#include "ui/dialogsupport.h"
#include "ui/pjsearch.h"
#include "ui_communicationsettings.h"

#include <QCloseEvent>
#include <QIcon>
#include <QIntValidator>
#include <QKeyEvent>
#include <QMessageBox>

namespace {
constexpr quint32 kAppFlag = 0x01000000;
}

CommunicationSettings::CommunicationSettings(QWidget* parent)
    : QDialog(parent), ui(new Ui::CommunicationSettings)
{
    ui->setupUi(this);
    CommonLib().SetChildWidgetFont(this, CommonLib::translatedFont("CommunicationSettings"));
    setWindowTitle(tr("Select a connection"));
    setFixedSize(290, 250);
    setWindowIcon(QIcon(QStringLiteral(":/ico/MainIcon.png")));
    ui->radioButton_IPAdress->setChecked(true);
    ui->lineEdit_IPAddress->installEventFilter(this);
    ui->lineEdit_IPAddress->InputType = CLineEditForIPAddress::TypeIPv4;
    ui->lineEdit_HostName->InputType = CLineEditForIPAddress::TypeText32;
    ui->lineEdit_Port->setValidator(new QIntValidator(this));
    // Queued, so that the search dialog opens from the event loop once this one is up.
    connect(this, &CommunicationSettings::execSearch, this,
            &CommunicationSettings::on_pushButton_AutoSearch_clicked, Qt::QueuedConnection);
    setWindowFlags(DialogWindowFlags);
}

CommunicationSettings::~CommunicationSettings()
{
    delete ui;
}

void CommunicationSettings::SetValues(const ConnectionSettings& values)
{
    m_values = values;
    if (values.type == ConnectBy::HostName)
        ui->radioButton_HostName->setChecked(true);
    else
        ui->radioButton_IPAdress->setChecked(true);
    ui->lineEdit_IPAddress->setText(values.ipAddress);
    ui->lineEdit_HostName->setText(values.hostName);
    ui->lineEdit_Port->setText(QString::number(values.port));
    UpdateEnabled();
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
    ConnectionSettings check = m_values;
    check.type = ui->radioButton_HostName->isChecked() ? ConnectBy::HostName : ConnectBy::IpAddress;
    check.ipAddress = ui->lineEdit_IPAddress->text().remove(QLatin1Char(' '));
    check.hostName = ui->lineEdit_HostName->text();
    bool isNumber = false;
    check.port = ui->lineEdit_Port->text().toInt(&isNumber, 10);
    if (!isNumber)
        check.port = -1;

    QString problem;
    switch (check.validate()) {
    case ConnectionSettings::Validity::Valid:
        m_values = check;
        setResult(1);
        close();
        return;
    case ConnectionSettings::Validity::InvalidHostName:
        problem = tr("Host name is invalid.");
        break;
    case ConnectionSettings::Validity::InvalidIpAddress:
        problem = tr("IP address is invalid.");
        break;
    case ConnectionSettings::Validity::InvalidPort:
        problem = tr("Port number is invalid.");
        break;
    }
    QMessageBox::critical(this, tr("Inkbridge"), problem, QMessageBox::Ok);
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
    PJSearch search;
    const int result =
        search.SelectIpList(kAppFlag, m_connectedProjector, m_searchMode, m_searchRange, this);
    const QList<QHostAddress> selected = search.GetSelectedIpList();
    if (result != 1 || selected.isEmpty())
        return;
    ui->radioButton_IPAdress->setChecked(true);
    ui->lineEdit_IPAddress->setText(selected.first().toString());
    ui->lineEdit_Port->setText(QString::number(DEFAULT_COMMAND_PORT));
    m_values.adapter = search.GetAdapterName();
    on_pushButton_Connect_clicked();
}

bool CommunicationSettings::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || watched != ui->lineEdit_IPAddress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    CLineEditForIPAddress* field = ui->lineEdit_IPAddress;
    const int code = key->key();
    if ((code == Qt::Key_Backtab || code == Qt::Key_Up || code == Qt::Key_Right) &&
        ui->radioButton_IPAdress->isChecked()) {
        field->setCursorPosition(field->lastOctetPosition());
        field->setFocus(Qt::OtherFocusReason);
        return true;
    }
    // Straight to the field: Tab then moves between octets before the focus chain takes
    // it; keys the field leaves unaccepted still travel up to the dialog.
    field->keyPressEvent(key);
    return true;
}
