#include "ui/lineeditforipaddress.h"

#include <QKeyEvent>
#include <QShowEvent>

namespace {
constexpr QChar kDot = QLatin1Char('.');
}

CLineEditForIPAddress::CLineEditForIPAddress(QWidget* parent) : QLineEdit(parent)
{
}

CLineEditForIPAddress::~CLineEditForIPAddress() = default;

const QString& CLineEditForIPAddress::ipv4Mask()
{
    static const QString mask = QStringLiteral("000.   000.   000.   000; ");
    return mask;
}

int CLineEditForIPAddress::lastOctetPosition() const
{
    const qsizetype dot = inputMask().lastIndexOf(kDot);
    return dot < 0 ? -1 : int(dot) + 4;
}

void CLineEditForIPAddress::inputMaskChanging()
{
    switch (InputType) {
    case TypeIPv4:
        setInputMethodHints(Qt::ImhHiddenText);
        setInputMask(ipv4Mask());
        setAlignment(Qt::AlignHCenter);
        break;
    case TypeText:
        setInputMethodHints(Qt::ImhHiddenText);
        setAlignment(Qt::AlignLeft);
        break;
    case TypeText32:
        setMaxLength(32);
        setInputMethodHints(Qt::ImhHiddenText);
        setAlignment(Qt::AlignLeft);
        break;
    default:
        break;
    }
}

void CLineEditForIPAddress::onLineEdit_Changed(int, int)
{
}

void CLineEditForIPAddress::onLineEdit_SelectedChanged()
{
}

void CLineEditForIPAddress::showEvent(QShowEvent* event)
{
    inputMaskChanging();
    QLineEdit::showEvent(event);
}

void CLineEditForIPAddress::keyPressEvent(QKeyEvent* event)
{
    if (InputType == TypeIPv4 && handleOctetKey(event))
        event->accept();
    else
        QLineEdit::keyPressEvent(event);
}

// Returns true when the key was used for moving between octets (or deliberately dropped).
bool CLineEditForIPAddress::handleOctetKey(QKeyEvent* event)
{
    const QString mask = inputMask();
    const int pos = cursorPosition();
    switch (event->key()) {
    case Qt::Key_Tab: {
        // Behind the next dot; the field itself then moves the cursor over the literal
        // blanks to the octet's first digit. In the last octet Tab leaves the field.
        const qsizetype dot = mask.indexOf(kDot, pos);
        if (dot < 0)
            return false;
        setCursorPosition(int(dot) + 1);
        return true;
    }
    case Qt::Key_Backtab: {
        // To the first digit of the octet that ends at the previous dot.
        if (pos <= 0)
            return false;
        const qsizetype dot = mask.lastIndexOf(kDot, pos - 1);
        if (dot < 0)
            return false;
        setCursorPosition(int(dot) - 3);
        return true;
    }
    case Qt::Key_Period: {
        // A dot in an empty octet would skip that octet and leave it blank.
        const qsizetype octet = mask.left(pos).count(kDot);
        const QStringList parts = text().split(kDot);
        if (octet < parts.size() && parts.at(octet).trimmed().isEmpty())
            return true;
        return false;
    }
    default:
        return false;
    }
}
