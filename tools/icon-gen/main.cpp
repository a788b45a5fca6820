// Draws the program's artwork: the tray icons, the two menu marks and the application icon in
// the sizes the desktop and the Windows build want. The PNG files it writes are committed in
// resources/; run it again only when the artwork changes (target regenerate-icons).
//
// Everything is drawn in a 24 by 24 design box and scaled, so each size is rendered from the
// vector shapes rather than resampled from another bitmap.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>

#include <cstdio>

namespace {

enum class Badge { Connected, Disconnected, Application };

struct Palette {
    QColor top, bottom, rim, quill, shaft;
};

Palette paletteFor(Badge badge)
{
    if (badge == Badge::Disconnected)
        return {QColor(0x9a, 0x9d, 0xa3), QColor(0x6b, 0x6e, 0x75), QColor(0x2b, 0x2d, 0x31, 200),
                QColor(0xf2, 0xf3, 0xf5), QColor(0x74, 0x77, 0x7e)};
    return {QColor(0x3d, 0x8b, 0xf0), QColor(0x17, 0x56, 0xb8), QColor(0x0b, 0x2a, 0x5c, 210),
            Qt::white, QColor(0x1f, 0x66, 0xcc)};
}

// The feather's vane: a leaf whose base sits near the nib (lower left) and whose tip reaches
// the upper right corner of the badge.
QPainterPath vane()
{
    QPainterPath p;
    p.moveTo(6.6, 17.6);
    p.cubicTo(5.4, 11.0, 11.0, 4.6, 19.6, 3.6);
    p.cubicTo(19.6, 9.8, 14.6, 16.0, 8.2, 18.6);
    p.closeSubpath();
    return p;
}

// Two small cuts in the vane's upper edge make it read as a feather, not a leaf.
QPainterPath notches()
{
    QPainterPath p;
    p.moveTo(8.4, 9.6);
    p.lineTo(11.2, 10.4);
    p.lineTo(9.6, 8.0);
    p.closeSubpath();
    p.moveTo(12.6, 5.6);
    p.lineTo(14.6, 7.2);
    p.lineTo(14.0, 4.6);
    p.closeSubpath();
    return p;
}

QImage drawBadge(int size, Badge badge)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    const Palette pal = paletteFor(badge);
    // Below 20 px a line of one design unit would be blurred across two pixels; thicker
    // strokes keep the shapes crisp at tray sizes.
    const bool small = size < 20;

    // Rounded badge with a dark rim, so it stands out on a light panel as well as a dark one.
    QLinearGradient fill(0, 1, 0, 23);
    fill.setColorAt(0, pal.top);
    fill.setColorAt(1, pal.bottom);
    // The rim keeps about one device pixel (a little more at tray sizes) at every size.
    const double rimPixels = small ? 1.5 : qMax(1.0, size / 64.0);
    p.setPen(QPen(pal.rim, rimPixels * 24.0 / size));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(1.5, 1.5, 21, 21), 5, 5);

    p.setPen(Qt::NoPen);
    p.setBrush(pal.quill);
    p.drawPath(vane());
    if (!small) {
        p.setBrush(pal.shaft);
        p.drawPath(notches());
    }
    // The shaft runs through the vane and ends in the nib.
    p.setPen(QPen(pal.shaft, small ? 1.3 : 1.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7.4, 17.0), QPointF(17.0, 6.6));
    p.setPen(QPen(pal.quill, small ? 2.2 : 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.2, 20.0), QPointF(7.4, 17.0));

    if (badge == Badge::Connected) {
        // The "live" lamp: a green dot in a white ring at the lower right corner.
        const QPointF c(18.4, 18.4);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(c, small ? 5.2 : 4.6, small ? 5.2 : 4.6);
        p.setBrush(QColor(0x1f, 0xa8, 0x4a));
        p.drawEllipse(c, small ? 3.8 : 3.4, small ? 3.8 : 3.4);
    } else if (badge == Badge::Disconnected) {
        // An empty slot where the lamp would be: a dark ring, so the state is told apart by
        // shape as well as by colour.
        const QPointF c(18.4, 18.4);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(c, small ? 5.2 : 4.6, small ? 5.2 : 4.6);
        p.setPen(QPen(QColor(0x55, 0x58, 0x5e), small ? 1.6 : 1.3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, small ? 2.9 : 2.7, small ? 2.9 : 2.7);
    }
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

// Menu marks: the selected pen mode gets a filled dot, the other one a blank image of the
// same size so both items keep their texts aligned.
QImage drawMark(int size, bool checked)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    if (checked) {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        // Mid blue with a darker rim: visible on light and on dark menus alike.
        p.setPen(QPen(QColor(0x0f, 0x3f, 0x8a), 1.0));
        p.setBrush(QColor(0x2f, 0x80, 0xed));
        p.drawEllipse(QPointF(8, 8), 3.6, 3.6);
    }
    return img.convertToFormat(QImage::Format_ARGB32);
}

QByteArray pngBytes(const QImage& img)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// A Windows icon file whose entries are PNG images (accepted since Windows Vista).
QByteArray icoFile(const QList<QImage>& images)
{
    QByteArray header(6 + 16 * images.size(), '\0');
    QByteArray data;
    qToLittleEndian<quint16>(1, header.data() + 2); // type: icon
    qToLittleEndian<quint16>(quint16(images.size()), header.data() + 4);
    quint32 offset = quint32(header.size());
    for (int i = 0; i < images.size(); ++i) {
        const QByteArray png = pngBytes(images[i]);
        char* e = header.data() + 6 + 16 * i;
        e[0] = char(images[i].width() >= 256 ? 0 : images[i].width()); // 0 means 256
        e[1] = char(images[i].height() >= 256 ? 0 : images[i].height());
        qToLittleEndian<quint16>(1, e + 4);  // colour planes
        qToLittleEndian<quint16>(32, e + 6); // bits per pixel
        qToLittleEndian<quint32>(quint32(png.size()), e + 8);
        qToLittleEndian<quint32>(offset, e + 12);
        offset += quint32(png.size());
        data += png;
    }
    return header + data;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <resources folder>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString ico = out.filePath("ico/");
    const QString app = out.filePath("app/");
    bool ok = QDir().mkpath(ico) && QDir().mkpath(app);

    // The four paths the program uses, at their design sizes, plus a 16 px tray variant and
    // double-size variants that Qt picks on high-density screens.
    const struct {
        const char* name;
        Badge badge;
    } trays[] = {{"MainIcon", Badge::Connected}, {"MainIconDisable", Badge::Disconnected}};
    for (const auto& t : trays) {
        ok &= writeFile(ico + t.name + ".png", pngBytes(drawBadge(24, t.badge)));
        ok &= writeFile(ico + t.name + "@2x.png", pngBytes(drawBadge(48, t.badge)));
        ok &= writeFile(ico + t.name + "-16.png", pngBytes(drawBadge(16, t.badge)));
    }
    ok &= writeFile(ico + "CheckedDot.png", pngBytes(drawMark(16, true)));
    ok &= writeFile(ico + "CheckedDot@2x.png", pngBytes(drawMark(32, true)));
    ok &= writeFile(ico + "BlankChecked.png", pngBytes(drawMark(16, false)));
    ok &= writeFile(ico + "BlankChecked@2x.png", pngBytes(drawMark(32, false)));

    // The application icon for menus, the hicolor theme and the Windows executable.
    QList<QImage> winSizes;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QImage img = drawBadge(size, Badge::Application);
        if (size >= 32)
            ok &= writeFile(app + QString("quillrelay-%1.png").arg(size), pngBytes(img));
        winSizes << img;
    }
    ok &= writeFile(app + "quillrelay.ico", icoFile(winSizes));
    return ok ? 0 : 1;
}
