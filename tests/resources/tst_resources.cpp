#include "ui/icons.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QTest>

// The images live in a static library: these tests load them from an executable that only
// links that library, which is how the program itself gets them.
class TestResources : public QObject {
    Q_OBJECT
private slots:
    void embeddedImages_data();
    void embeddedImages();
    void marksAreDotAndBlank();
    void trayStatesDiffer();
    void iconsPickTheImageDrawnForTheSize_data();
    void iconsPickTheImageDrawnForTheSize();
};

void TestResources::embeddedImages_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");
    QTest::newRow("connected") << ":/ico/MainIcon.png" << 24;
    QTest::newRow("disconnected") << ":/ico/MainIconDisable.png" << 24;
    QTest::newRow("selected mark") << ":/ico/CheckedDot.png" << 16;
    QTest::newRow("blank mark") << ":/ico/BlankChecked.png" << 16;
    QTest::newRow("connected 16") << ":/ico/MainIcon-16.png" << 16;
    QTest::newRow("disconnected 16") << ":/ico/MainIconDisable-16.png" << 16;
    QTest::newRow("connected 2x") << ":/ico/MainIcon@2x.png" << 48;
    QTest::newRow("selected mark 2x") << ":/ico/CheckedDot@2x.png" << 32;
}

void TestResources::embeddedImages()
{
    QFETCH(QString, path);
    QFETCH(int, size);
    const QImage img(path);
    QVERIFY2(!img.isNull(), qPrintable(path));
    QCOMPARE(img.size(), QSize(size, size));
    QVERIFY(img.hasAlphaChannel());
    // Rounded badge or plain dot: the corners are see-through, so the panel shows around it.
    QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(img.pixel(size - 1, 0)), 0);
}

void TestResources::marksAreDotAndBlank()
{
    const QImage dot = QImage(":/ico/CheckedDot.png").convertToFormat(QImage::Format_ARGB32);
    const QImage blank = QImage(":/ico/BlankChecked.png").convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(qAlpha(dot.pixel(8, 8)), 255);
    for (int y = 0; y < blank.height(); ++y)
        for (int x = 0; x < blank.width(); ++x)
            QCOMPARE(qAlpha(blank.pixel(x, y)), 0);
}

void TestResources::trayStatesDiffer()
{
    // A glance at the panel must tell the states apart: count the pixels whose colour differs
    // clearly between the two images.
    const QImage on = QImage(":/ico/MainIcon.png").convertToFormat(QImage::Format_ARGB32);
    const QImage off = QImage(":/ico/MainIconDisable.png").convertToFormat(QImage::Format_ARGB32);
    int differing = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            const QRgb a = on.pixel(x, y), b = off.pixel(x, y);
            const int d =
                qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
            differing += d > 96 ? 1 : 0;
        }
    QVERIFY2(differing > 24 * 24 / 4, qPrintable(QString::number(differing)));
}

void TestResources::iconsPickTheImageDrawnForTheSize_data()
{
    QTest::addColumn<QIcon>("icon");
    QTest::addColumn<int>("size");
    QTest::addColumn<qreal>("dpr");
    QTest::addColumn<QString>("expected");
    const QIcon on = QrIcons::tray(true), off = QrIcons::tray(false);
    const QIcon dot = QrIcons::penModeMark(true), blank = QrIcons::penModeMark(false);
    QTest::newRow("tray 24") << on << 24 << 1.0 << ":/ico/MainIcon.png";
    QTest::newRow("tray 16") << on << 16 << 1.0 << ":/ico/MainIcon-16.png";
    QTest::newRow("tray off 16") << off << 16 << 1.0 << ":/ico/MainIconDisable-16.png";
    QTest::newRow("tray off 24 hidpi") << off << 24 << 2.0 << ":/ico/MainIconDisable@2x.png";
    QTest::newRow("mark 16") << dot << 16 << 1.0 << ":/ico/CheckedDot.png";
    QTest::newRow("mark 16 hidpi") << dot << 16 << 2.0 << ":/ico/CheckedDot@2x.png";
    QTest::newRow("blank 16") << blank << 16 << 1.0 << ":/ico/BlankChecked.png";
}

void TestResources::iconsPickTheImageDrawnForTheSize()
{
    QFETCH(QIcon, icon);
    QFETCH(int, size);
    QFETCH(qreal, dpr);
    QFETCH(QString, expected);
    QImage got = icon.pixmap(QSize(size, size), dpr).toImage();
    QImage want = QImage(expected);
    // Only the pixels count here, not the ratio a file name or a screen attached to them.
    got.setDevicePixelRatio(1);
    want.setDevicePixelRatio(1);
    QCOMPARE(got.convertToFormat(QImage::Format_ARGB32),
             want.convertToFormat(QImage::Format_ARGB32));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
