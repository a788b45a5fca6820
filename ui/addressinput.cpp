#include "ui/addressinput.h"

#include "core/ipv4.h"
#include "core/logging.h"
#include "ui/commonlib.h"
#include "ui/dialogsupport.h"
#include "ui_addressinput.h"

#include <QKeyEvent>
#include <QMessageBox>

QHostAddress AddressInput::PreviousStartIp;

namespace {
bool isOctetJumpKey(int key)
{
    return key == Qt::Key_Backtab || key == Qt::Key_Up || key == Qt::Key_Right;
}

void focusLastOctet(CLineEditForIPAddress* field)
{
    field->setCursorPosition(field->lastOctetPosition());
    field->setFocus(Qt::OtherFocusReason);
}
} // namespace

AddressInput::AddressInput(int mode, const QHostAddress range[2], QWidget* parent)
    : QDialog(parent), ui(new Ui::AddressInput)
{
    Initializing = true;
    ui->setupUi(this);
    CommonLib().SetChildWidgetFont(this, CommonLib::translatedFont("AddressInput"));
    setWindowTitle(tr("Address Input"));

    if (mode == ModeSingle)
        ui->radioButtonInputIpSpecify->setChecked(true);
    else if (mode == ModeRange)
        ui->radioButtonInputIpRange->setChecked(true);

    ui->txtLANIPv4Start->InputType = CLineEditForIPAddress::TypeIPv4;
    ui->txtLANIPv4End->InputType = CLineEditForIPAddress::TypeIPv4;
    ui->txtLANIPv4Start->setText(range[0].isNull() ? QString() : range[0].toString());
    ui->txtLANIPv4End->setText(range[1].isNull() ? QString() : range[1].toString());

    if (mode == ModeRange)
        ui->radioButtonInputIpRange->setFocus();

    ui->txtLANIPv4Start->installEventFilter(this);
    ui->txtLANIPv4End->installEventFilter(this);
    ui->pushButtonAdd->installEventFilter(this);
    setWindowFlags(DialogWindowFlags);
    Initializing = false;
}

AddressInput::~AddressInput()
{
    delete ui;
}

QHostAddress AddressInput::addressFromField(const QString& text)
{
    const std::optional<quint32> value = ipv4::parse(QString(text).remove(QLatin1Char(' ')));
    return value ? QHostAddress(*value) : QHostAddress();
}

int AddressInput::GetAddress(int& mode, QHostAddress range[2]) const
{
    mode = ui->radioButtonInputIpSpecify->isChecked() ? ModeSingle : ModeRange;
    range[0] = addressFromField(ui->txtLANIPv4Start->text());
    if (mode == ModeRange)
        range[1] = addressFromField(ui->txtLANIPv4End->text());
    return 0;
}

bool AddressInput::isBadAddress(const QHostAddress& address)
{
    if (address.isNull())
        return true;
    const quint32 value = address.toIPv4Address();
    return value <= 0x00FFFFFFu || (value >= 0x7F000000u && value <= 0x7FFFFFFFu) ||
           value == 0xFFFFFFFFu;
}

void AddressInput::showInvalidAddress()
{
    QMessageBox::warning(this, tr("Inkbridge"), tr("An invalid address is being used."),
                         QMessageBox::Ok, QMessageBox::Ok);
}

void AddressInput::on_pushButtonAdd_clicked()
{
    const QHostAddress start = addressFromField(ui->txtLANIPv4Start->text());
    if (isBadAddress(start)) {
        showInvalidAddress();
        return;
    }
    const bool range = !ui->radioButtonInputIpSpecify->isChecked();
    const QHostAddress end = range ? addressFromField(ui->txtLANIPv4End->text()) : start;
    if (isBadAddress(end)) {
        showInvalidAddress();
        return;
    }
    const quint32 s = start.toIPv4Address();
    const quint32 e = end.toIPv4Address();
    // One /24 network, in ascending order: the search sends one request per address.
    if ((s & 0xFFFFFF00u) != (e & 0xFFFFFF00u) || s > e) {
        showInvalidAddress();
        return;
    }
    accept();
}

void AddressInput::on_txtLANIPv4Start_textChanged(const QString& text)
{
    qCDebug(lcUi, "on_txtLANIPv4Start_textChanged= %s", text.toLocal8Bit().constData());
    const bool endEnabled = ui->txtLANIPv4End->isEnabled();
    const QHostAddress start = addressFromField(ui->txtLANIPv4Start->text());
    // Only a complete address is copied: an unfinished start must not wipe the end the
    // user has typed.
    if (endEnabled && !start.isNull() && start != PreviousStartIp)
        ui->txtLANIPv4End->setText(ui->txtLANIPv4Start->text());
    PreviousStartIp = endEnabled ? start : QHostAddress();
}

void AddressInput::on_radioButtonInputIpRange_toggled(bool checked)
{
    if (!ui->txtLANIPv4End->isEnabled() && !Initializing) {
        const QHostAddress end = addressFromField(ui->txtLANIPv4End->text());
        if (end.isNull() || end.toIPv4Address() == 0)
            ui->txtLANIPv4End->setText(ui->txtLANIPv4Start->text());
    }
    ui->txtLANIPv4End->setEnabled(checked);
}

bool AddressInput::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == ui->pushButtonAdd) {
        if (!isOctetJumpKey(key->key()))
            return false;
        focusLastOctet(ui->radioButtonInputIpRange->isChecked() ? ui->txtLANIPv4End
                                                                : ui->txtLANIPv4Start);
        return true;
    }
    if (watched == ui->txtLANIPv4Start) {
        // Straight to the field, so that Tab and Backtab move between octets before the
        // focus chain takes them; keys the field leaves unaccepted still go up.
        ui->txtLANIPv4Start->keyPressEvent(key);
        return true;
    }
    if (watched != ui->txtLANIPv4End)
        return false;
    if (ui->txtLANIPv4End->cursorPosition() == 0 && isOctetJumpKey(key->key()))
        focusLastOctet(ui->txtLANIPv4Start);
    else
        ui->txtLANIPv4End->keyPressEvent(key);
    return true;
}
