#pragma once

#include <QLineEdit>

// A line edit that keeps only the first line of whatever text is put into it, so that a
// pasted multi-line text cannot smuggle a line feed into a one-line value.
class QLineEditExBase : public QLineEdit {
    Q_OBJECT
public:
    explicit QLineEditExBase(QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(QLineEditExBase)

private slots:
    void TextChanged(const QString& text);
};
