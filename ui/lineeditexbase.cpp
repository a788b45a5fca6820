#include "ui/lineeditexbase.h"

QLineEditExBase::QLineEditExBase(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, &QLineEditExBase::TextChanged);
}

void QLineEditExBase::TextChanged(const QString& text)
{
    const qsizetype lineFeed = text.indexOf(QLatin1Char('\n'));
    // Setting the cut text raises the signal once more; it then finds no line feed.
    if (lineFeed >= 0)
        setText(text.left(lineFeed));
}
