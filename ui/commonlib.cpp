#include "ui/commonlib.h"

#include "core/logging.h"

#include <QCoreApplication>
#include <QWidget>

void CommonLib::SetChildWidgetFont(QWidget* parent, QFont font)
{
    qCDebug(lcUi, "font name:%s, size:%d", font.family().toLocal8Bit().constData(),
            font.pointSize());
    if (!parent)
        return;
    for (QObject* child : parent->children()) {
        if (auto* widget = qobject_cast<QWidget*>(child))
            widget->setFont(font);
    }
}

QFont CommonLib::translatedFont(const char* context)
{
    const QString family = QCoreApplication::translate(context, "FontName");
    const int pointSize = QCoreApplication::translate(context, "FontSize").toInt(nullptr, 10);
    return QFont(family, pointSize);
}
