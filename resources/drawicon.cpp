// Draws the application icon (a camera lens with an upward arrow) into a PNG file at build time,
// so the repository carries no binary artwork. One drawing serves every size: the icon theme's
// small sizes are painted at their own size rather than scaled down from a large picture, which
// would blur them.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    char *end = nullptr;
    const long asked = argc == 3 ? std::strtol(argv[2], &end, 10) : 512;
    if ((argc != 2 && argc != 3) || (argc == 3 && (*end != '\0' || asked < 16 || asked > 1024))) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [SIZE, 16 to 1024 pixels; 512 when left out]\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    // The drawing below is laid out on a 512-unit square.
    constexpr int size = 512;
    const int pixels = static_cast<int>(asked);
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(double(pixels) / size, double(pixels) / size);

    // Rounded tile.
    const QRectF tile(24, 24, size - 48, size - 48);
    QLinearGradient tileFill(tile.topLeft(), tile.bottomLeft());
    tileFill.setColorAt(0, QColor(0x2b, 0x7c, 0xd3));
    tileFill.setColorAt(1, QColor(0x14, 0x2f, 0x6b));
    p.setPen(Qt::NoPen);
    p.setBrush(tileFill);
    p.drawRoundedRect(tile, 96, 96);

    // Lens: a dark barrel, a bright ring and a glassy centre.
    const QPointF centre(size / 2.0, size / 2.0);
    p.setBrush(QColor(0x10, 0x16, 0x24));
    p.drawEllipse(centre, 170, 170);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xcf, 0xe3, 0xff), 14));
    p.drawEllipse(centre, 150, 150);
    QRadialGradient glass(centre - QPointF(40, 40), 150);
    glass.setColorAt(0, QColor(0x6f, 0xc3, 0xff));
    glass.setColorAt(1, QColor(0x0b, 0x3a, 0x7a));
    p.setPen(Qt::NoPen);
    p.setBrush(glass);
    p.drawEllipse(centre, 124, 124);

    // Upward arrow: the firmware going onto the camera.
    QPainterPath arrow;
    arrow.moveTo(centre.x(), centre.y() - 92);
    arrow.lineTo(centre.x() + 70, centre.y() - 12);
    arrow.lineTo(centre.x() + 28, centre.y() - 12);
    arrow.lineTo(centre.x() + 28, centre.y() + 86);
    arrow.lineTo(centre.x() - 28, centre.y() + 86);
    arrow.lineTo(centre.x() - 28, centre.y() - 12);
    arrow.lineTo(centre.x() - 70, centre.y() - 12);
    arrow.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(arrow);

    // Highlight on the glass.
    p.setBrush(QColor(255, 255, 255, 70));
    p.drawEllipse(QPointF(centre.x() - 62, centre.y() - 66), 26, 18);
    p.end();

    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
