#pragma once

#include <QFont>
#include <QObject>

class QWidget;

// Applies a dialog's translated font to its widgets.
class CommonLib : public QObject {
    Q_OBJECT
public:
    explicit CommonLib(QObject* parent = nullptr) : QObject(parent) {}

    // Sets `font` on each direct child widget of `parent`; grandchildren inherit it from them.
    void SetChildWidgetFont(QWidget* parent, QFont font);

    // The font that the catalogue gives for a translation context: "FontName" is the family
    // and "FontSize" the point size in decimal (0, the toolkit's default, if not a number).
    static QFont translatedFont(const char* context);
};
