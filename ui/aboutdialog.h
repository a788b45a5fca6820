#pragma once

#include <QDialog>

namespace Ui {
class AboutDialog;
}

// The About box: application name, version (the project's), notice line and icon; fixed size.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;
    Q_DISABLE_COPY_MOVE(AboutDialog)

private slots:
    void on_pushButton_OK_clicked();

private:
    Ui::AboutDialog* ui = nullptr;
};
