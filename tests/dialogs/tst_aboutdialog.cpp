#include "ui/aboutdialog.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsView>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// The About box as it shows without any catalogue loaded.
class TestAboutDialog : public QObject {
    Q_OBJECT
private slots:
    void showsVersionAndIcon();
};

void TestAboutDialog::showsVersionAndIcon()
{
    AboutDialog dialog;
    QCOMPARE(dialog.findChild<QLabel*>("label_VersionNomber")->text(), QStringLiteral("1.0.0.3"));
    QCOMPARE(dialog.findChild<QLabel*>("label_CompanyName")->text(), QStringLiteral("Lumoravista"));
    // The embedded icon is linked in and drawn.
    auto* view = dialog.findChild<QGraphicsView*>("appIcon");
    QVERIFY(view && view->scene());
    const QList<QGraphicsItem*> items = view->scene()->items();
    QCOMPARE(items.size(), 1);
    auto* pixmap = qgraphicsitem_cast<QGraphicsPixmapItem*>(items.first());
    QVERIFY(pixmap && !pixmap->pixmap().isNull());

    QTimer::singleShot(0, &dialog,
                       [&] { dialog.findChild<QPushButton*>("pushButton_OK")->click(); });
    dialog.exec();
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
