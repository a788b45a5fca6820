#include "ui/aboutdialog.h"

#include "ui/commonlib.h"
#include "ui/dialogsupport.h"
#include "ui_aboutdialog.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QIcon>
#include <QPixmap>

namespace {
const char* const kIcon = ":/ico/MainIcon.png";
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent), ui(new Ui::AboutDialog)
{
    ui->setupUi(this);
    CommonLib().SetChildWidgetFont(this, CommonLib::translatedFont("AboutDialog"));
    setWindowTitle(tr("About"));
    setWindowIcon(QIcon(QString::fromLatin1(kIcon)));
    setFixedSize(400, 150);

    // The scene belongs to the view, so it goes with the dialog.
    auto* scene = new QGraphicsScene(ui->appIcon);
    scene->addPixmap(QPixmap(QString::fromLatin1(kIcon)));
    ui->appIcon->setScene(scene);
    ui->appIcon->setStyleSheet(QStringLiteral("background: transparent"));
    ui->appIcon->setFrameShape(QFrame::NoFrame);
    ui->appIcon->setFrameShadow(QFrame::Plain);

    ui->label_AppTitle->setText(tr("AppName"));
    ui->label_Version->setText(tr("Version"));
    ui->label_VersionNomber->setText(QStringLiteral(QR_VERSION));
    ui->label_Copyright->setText(tr("Copyright (C)"));
    ui->label_CompanyName->setText(tr("Lumoravista"));
    ui->label_Year->setText(tr("2026"));
    // The dialog gives itself the frame that its opener asks for as well: a title bar
    // with a close button and no context help.
    setWindowFlags(DialogWindowFlags);
}

AboutDialog::~AboutDialog()
{
    delete ui;
}

void AboutDialog::on_pushButton_OK_clicked()
{
    close();
}
