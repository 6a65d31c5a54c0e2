// Draws the pictures of the help tab that the program reads from
// "Spoolsmith/res": the product logo and the machines of versions 1 and 2.
//   make_pictures <output folder>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {
const QColor kBlue(0x04, 0x73, 0xD5);
const QColor kSteel(0x5a, 0x63, 0x6e);

bool drawLogo(const QString &path)
{
    QImage image(640, 120, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(kBlue);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(10, 10, 100, 100));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(42, 42, 36, 36));
    QFont font;
    font.setPixelSize(72);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kBlue);
    p.drawText(QRectF(130, 0, 510, 120), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Spoolsmith"));
    return image.save(path);
}

// A print-and-cut line seen from the side: unwinder, film, cutter head,
// stripping and rewinder; version 1 adds the trim unit.
bool drawMachine(const QString &path, bool trimUnit)
{
    QImage image(1200, 600, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kSteel, 6));
    p.setBrush(QColor(0xe4, 0xe8, 0xee));
    p.drawRoundedRect(QRectF(80, 220, 1040, 260), 24, 24);
    p.setBrush(QColor(0xc8, 0xd0, 0xda));
    for (qreal x : {140.0, 1060.0})
        p.drawRect(QRectF(x - 20, 480, 40, 80));
    const QList<QPointF> rolls{{180, 180}, {420, 170}, {1000, 180}};
    p.setBrush(QColor(0xf4, 0xf4, 0xf4));
    for (const QPointF &c : rolls)
        p.drawEllipse(c, 80, 80);
    p.setBrush(kSteel);
    for (const QPointF &c : rolls)
        p.drawEllipse(c, 18, 18);
    QPainterPath web;
    web.moveTo(180, 260);
    web.lineTo(1000, 260);
    p.setPen(QPen(kBlue, 5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(web);
    p.setPen(QPen(kSteel, 6));
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(600, 120, 160, 110), 12, 12);
    if (trimUnit) {
        p.setBrush(QColor(0xc8, 0xd0, 0xda));
        p.drawRoundedRect(QRectF(800, 300, 120, 120), 12, 12);
    }
    return image.save(path);
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    const bool ok = drawLogo(out.filePath(QStringLiteral("logo.png")))
                    && drawMachine(out.filePath(QStringLiteral("bqj.png")), true)
                    && drawMachine(out.filePath(QStringLiteral("bqj2.png")), false);
    return ok ? 0 : 1;
}
