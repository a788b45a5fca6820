#pragma once

#include <QDialog>

namespace Ui {
class AboutDialog;
}

// The About box: application name, version, notice line and icon; fixed size.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;
    Q_DISABLE_COPY_MOVE(AboutDialog)

    static constexpr const char* VersionText = "1.0.0.3";

private slots:
    void on_pushButton_OK_clicked();

private:
    Ui::AboutDialog* ui = nullptr;
};
