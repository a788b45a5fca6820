#pragma once

#include <QDialog>
#include <QHostAddress>

namespace Ui {
class AddressInput;
}

// The "Address Input" dialog: one IPv4 address to search (mode 0) or a range within one
// /24 network (mode 1). It validates the input on Add and hands back mode and addresses.
class AddressInput : public QDialog {
    Q_OBJECT
public:
    enum : int { ModeSingle = 0, ModeRange = 1 };

    // `range` holds the start and the end address; null addresses give empty fields.
    AddressInput(int mode, const QHostAddress range[2], QWidget* parent = nullptr);
    ~AddressInput() override;
    Q_DISABLE_COPY_MOVE(AddressInput)

    // Writes the mode and the start address; the end address only in mode 1, so that a
    // single-address input keeps the caller's earlier end. Returns 0.
    int GetAddress(int& mode, QHostAddress range[2]) const;

    // The address a masked field holds: blanks removed, then dotted decimal; a null
    // address when that does not parse.
    static QHostAddress addressFromField(const QString& text);

    // The start address last seen complete, in any instance; the end field follows the
    // start field only when the start turns into a different complete address.
    static QHostAddress PreviousStartIp;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void on_pushButtonAdd_clicked();
    void on_txtLANIPv4Start_textChanged(const QString& text);
    void on_radioButtonInputIpRange_toggled(bool checked);

private:
    static bool isBadAddress(const QHostAddress& address);
    void showInvalidAddress();

    bool Initializing = true;
    Ui::AddressInput* ui = nullptr;
};
