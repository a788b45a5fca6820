#include "discovery/lineeditexbase.h"

#include "discovery/dialogsupport.h"

QLineEditExBase::QLineEditExBase(QWidget* parent) : QLineEdit(parent)
{
    runGuarded(
        [&] { connect(this, &QLineEdit::textChanged, this, &QLineEditExBase::TextChanged); });
}

void QLineEditExBase::TextChanged(const QString& text)
{
    runGuarded([&] {
        const qsizetype lineFeed = text.indexOf(QLatin1Char('\n'));
        // Setting the cut text raises the signal once more; it then finds no line feed.
        if (lineFeed >= 0)
            setText(text.left(lineFeed));
    });
}
