#include "settings/aboutdialog.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsView>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// The About box as it shows without any catalogue loaded: the source texts.
class TestAboutDialog : public QObject {
    Q_OBJECT
private slots:
    void showsSourceTextsWithoutCatalogue_data();
    void showsSourceTextsWithoutCatalogue();
    void windowAndIcon();
    void okAndCloseReject_data();
    void okAndCloseReject();
};

void TestAboutDialog::showsSourceTextsWithoutCatalogue_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text");
    QTest::newRow("title") << "label_AppTitle"
                           << "AppName";
    QTest::newRow("version label") << "label_Version"
                                   << "Version";
    QTest::newRow("version") << "label_VersionNomber"
                             << "1.0.0.3";
    QTest::newRow("notice prefix") << "label_Copyright"
                                   << "Copyright (C)";
    QTest::newRow("maker") << "label_CompanyName"
                           << "Lumoravista";
    QTest::newRow("year") << "label_Year"
                          << "2026";
}

void TestAboutDialog::showsSourceTextsWithoutCatalogue()
{
    QFETCH(QString, label);
    QFETCH(QString, text);
    AboutDialog dialog;
    auto* widget = dialog.findChild<QLabel*>(label);
    QVERIFY(widget);
    QCOMPARE(widget->text(), text);
}

void TestAboutDialog::windowAndIcon()
{
    AboutDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About"));
    QCOMPARE(dialog.minimumSize(), QSize(400, 150));
    QCOMPARE(dialog.maximumSize(), QSize(400, 150));
    QCOMPARE(int(dialog.windowFlags()), 0x0A003003);
    auto* view = dialog.findChild<QGraphicsView*>("appIcon");
    QVERIFY(view && view->scene());
    const QList<QGraphicsItem*> items = view->scene()->items();
    QCOMPARE(items.size(), 1);
    auto* pixmap = qgraphicsitem_cast<QGraphicsPixmapItem*>(items.first());
    QVERIFY(pixmap);
    QVERIFY(!pixmap->pixmap().isNull()); // the embedded icon is linked in
    QCOMPARE(view->frameShape(), QFrame::NoFrame);
}

void TestAboutDialog::okAndCloseReject_data()
{
    QTest::addColumn<bool>("viaOk");
    QTest::newRow("OK") << true;
    QTest::newRow("window close") << false;
}

void TestAboutDialog::okAndCloseReject()
{
    QFETCH(bool, viaOk);
    AboutDialog dialog;
    QTimer::singleShot(0, &dialog, [&] {
        if (viaOk)
            dialog.findChild<QPushButton*>("pushButton_OK")->click();
        else
            dialog.close();
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
