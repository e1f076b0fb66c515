// One-off generator of the about box's four pictures (530 x 258 pixels).
// The left part carries our own artwork (a shield with a clock face, for the
// international pair with a globe grid behind it); from x = 300 on the picture
// is a light plain area on which the box draws its texts.
//
// Build and run from the repository root:
//   g++ -std=c++20 -fPIC resources/gui/tools/MakeInfoPictures.cpp -o /tmp/mkinfo \
//       $(pkg-config --cflags --libs Qt6Gui) && /tmp/mkinfo resources/gui/images
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>

#include <cmath>
#include <cstdio>

namespace {
constexpr int kWidth = 530;
constexpr int kHeight = 258;
constexpr int kPlainFrom = 300;
const QColor kPlain(0xF4, 0xF3, 0xEC);
const QColor kDeep(0x12, 0x2B, 0x52);
const QColor kMid(0x2C, 0x5C, 0x9A);
const QColor kAccent(0xE0, 0xA8, 0x2E);

QPainterPath ShieldPath(QPointF c, double w, double h) {
    QPainterPath p;
    p.moveTo(c.x() - w / 2, c.y() - h / 2);
    p.lineTo(c.x() + w / 2, c.y() - h / 2);
    p.lineTo(c.x() + w / 2, c.y());
    p.cubicTo(c.x() + w / 2, c.y() + h * 0.3, c.x() + w * 0.2, c.y() + h * 0.42, c.x(),
              c.y() + h / 2);
    p.cubicTo(c.x() - w * 0.2, c.y() + h * 0.42, c.x() - w / 2, c.y() + h * 0.3, c.x() - w / 2,
              c.y());
    p.closeSubpath();
    return p;
}

void DrawGlobe(QPainter& p, QPointF c, double r) {
    p.setPen(QPen(QColor(0x9F, 0xC3, 0xE8, 150), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r, r);
    for (double f : {0.35, 0.7})
        p.drawEllipse(c, r * f, r);
    for (double f : {-0.6, -0.25, 0.25, 0.6}) {
        double y = c.y() + f * r;
        double half = std::sqrt(1 - f * f) * r;
        p.drawLine(QPointF(c.x() - half, y), QPointF(c.x() + half, y));
    }
    p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
}

void DrawClock(QPainter& p, QPointF c, double r) {
    p.setPen(QPen(kDeep, 3));
    p.setBrush(kPlain);
    p.drawEllipse(c, r, r);
    for (int i = 0; i < 12; ++i) {
        double a = i * M_PI / 6;
        double inner = i % 3 == 0 ? r * 0.72 : r * 0.82;
        p.setPen(QPen(kDeep, i % 3 == 0 ? 3 : 1.5));
        p.drawLine(QPointF(c.x() + std::sin(a) * inner, c.y() - std::cos(a) * inner),
                   QPointF(c.x() + std::sin(a) * r * 0.92, c.y() - std::cos(a) * r * 0.92));
    }
    p.setPen(QPen(kDeep, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, QPointF(c.x() + r * 0.38, c.y() - r * 0.22)); // hour hand
    p.setPen(QPen(kMid, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, QPointF(c.x() - r * 0.1, c.y() - r * 0.68)); // minute hand
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawEllipse(c, 4, 4);
}

QImage Draw(bool international) {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    img.fill(kPlain);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient bg(0, 0, kPlainFrom, kHeight);
    bg.setColorAt(0, kMid);
    bg.setColorAt(1, kDeep);
    p.fillRect(QRect(0, 0, kPlainFrom, kHeight), bg);

    // Sweeping arcs behind the emblem: the passing of time.
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 5; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 30 + 12 * i), 2));
        double r = 150 - i * 22;
        p.drawArc(QRectF(150 - r, 129 - r, 2 * r, 2 * r), 30 * 16, 120 * 16);
        p.drawArc(QRectF(150 - r, 129 - r, 2 * r, 2 * r), 210 * 16, 120 * 16);
    }
    if (international)
        DrawGlobe(p, QPointF(150, 129), 112);

    QPointF centre(150, 125);
    QPainterPath shield = ShieldPath(centre, 150, 190);
    QRadialGradient sg(centre - QPointF(30, 40), 170);
    sg.setColorAt(0, QColor(0x4A, 0x86, 0xC8));
    sg.setColorAt(1, kDeep);
    p.setPen(QPen(kAccent, 5));
    p.setBrush(sg);
    p.drawPath(shield);
    DrawClock(p, centre - QPointF(0, 10), 52);

    // A thin accent line marks the edge of the plain text area.
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawRect(QRect(kPlainFrom - 4, 0, 3, kHeight));
    p.end();
    return img;
}

// The 16-colour form: a fixed palette that holds the plain area's colour
// exactly, so the text area stays plain after dithering.
QImage SixteenColours(const QImage& img) {
    QList<QRgb> palette = {kPlain.rgb(),
                           kDeep.rgb(),
                           kMid.rgb(),
                           kAccent.rgb(),
                           qRgb(0, 0, 0),
                           qRgb(255, 255, 255),
                           qRgb(0x4A, 0x86, 0xC8),
                           qRgb(0x1E, 0x40, 0x74),
                           qRgb(0x9F, 0xC3, 0xE8),
                           qRgb(0x6A, 0x8F, 0xB8),
                           qRgb(0x3A, 0x70, 0xB0),
                           qRgb(0x80, 0x80, 0x80),
                           qRgb(0xC0, 0xC0, 0xC0),
                           qRgb(0xB0, 0x80, 0x30),
                           qRgb(0x0A, 0x1A, 0x34),
                           qRgb(0xD8, 0xE4, 0xF0)};
    return img.convertToFormat(QImage::Format_Indexed8, palette, Qt::DiffuseDither);
}

bool Save(const QImage& img, const QString& dir, const char* name) {
    QString path = dir + "/" + name + ".png";
    bool ok = img.save(path, "PNG", 9);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}
} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QImage german = Draw(false);
    QImage international = Draw(true);
    bool ok = Save(german, dir, "HI_INFO") && Save(SixteenColours(german), dir, "LO_INFO") &&
              Save(international, dir, "HI_INFO_INTERNATIONAL") &&
              Save(SixteenColours(international), dir, "LO_INFO_INTERNATIONAL");
    return ok ? 0 : 1;
}
