#pragma once

#include <QLineEdit>

class QKeyEvent;
class QShowEvent;

// A line edit with an input type chosen by its owner. Type 1 turns it into an IPv4 address
// field: four three-digit octets in an input mask, centred, with Tab, Backtab and "."
// moving between octets. Type 2 is plain left-aligned text, type 3 text of at most 32
// characters; any other type leaves the line edit as it is.
//
// The settings of the type are applied at every show, so the owner may set the type any
// time before the field first appears.
class CLineEditForIPAddress : public QLineEdit {
    Q_OBJECT
public:
    enum : int { TypePlain = 0, TypeIPv4 = 1, TypeText = 2, TypeText32 = 3 };

    explicit CLineEditForIPAddress(QWidget* parent = nullptr);
    ~CLineEditForIPAddress() override;
    Q_DISABLE_COPY_MOVE(CLineEditForIPAddress)

    qint32 InputType = TypePlain;

    // Public so that a dialog's event filter can hand key presses straight to the octet
    // navigation, past the focus handling that would take Tab and Backtab away first.
    void keyPressEvent(QKeyEvent* event) override;

    // The position where the last octet starts: behind the last "." of the mask and the
    // three blanks that follow it (21 for the address mask), or -1 without a mask.
    int lastOctetPosition() const;

    // The address mask as set; the field reports it back without the "; " blank part.
    static const QString& ipv4Mask();

public slots:
    void inputMaskChanging();
    void onLineEdit_Changed(int oldPos, int newPos);
    void onLineEdit_SelectedChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool handleOctetKey(QKeyEvent* event);
};
