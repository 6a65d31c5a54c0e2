#include "app/plt_quick_view.h"

#include "platform/scene/gpath_process.h"
#include "platform/prompt/prompt.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>

namespace {
// One list for every preview item, the last file any of them took: set and
// read on the GUI thread only.
QList<QPolygonF> g_polylines;

QStringList fieldsOf(const QRegularExpressionMatch &m)
{
    return m.captured(0).split(QLatin1Char(','));
}
} // namespace

PltQuickView::PltQuickView(QQuickItem *parent)
    : QQuickPaintedItem(parent)
    , m_reader(std::make_unique<PltFileReader>([this](PltFileReader::Result &result) { take(result); }))
{
}

PltQuickView::~PltQuickView() = default;

QList<QPolygonF> PltQuickView::polylines()
{
    return g_polylines;
}

void PltQuickView::setFile(const QString &file)
{
    m_file = file;
    emit fileChanged();
    const QString suffix = QFileInfo(file).suffix();
    if (suffix != QLatin1String("plt") && suffix != QLatin1String("hpgl"))
        return;
    m_reader->read(file);
}

void PltQuickView::take(PltFileReader::Result &result)
{
    if (result.opened)
        parseHeader(result.path, result.head);
    else
        Prompt::instance()->warning(QStringLiteral("Graphics"), QStringLiteral("Open File Error"));
    g_polylines = std::move(result.polylines);
    update();
    emit fileRead();
}

void PltQuickView::parseHeader(const QString &path, const QByteArray &bytes)
{
    const QString head = QString::fromLatin1(bytes);

    static const QRegularExpression psRe(QStringLiteral("(?<=PS).*?(?=(;))"));
    static const QRegularExpression mdRe(QStringLiteral("(?<=MD).*?(?=(;))"));
    const QRegularExpressionMatch ps = psRe.match(head);
    const QStringList psf = ps.hasMatch() ? fieldsOf(ps) : QStringList();
    if (psf.size() < 5) {
        m_pageRect = QRectF(QPointF(0, 0), GPathProcess::mm2Point(QSizeF(210.0, 297.0)));
        return;
    }
    const QRegularExpressionMatch md = mdRe.match(head);
    const QStringList mdf = md.hasMatch() ? fieldsOf(md) : QStringList();
    if (mdf.size() < 5)
        return;

    const QPointF size = GPathProcess::hpgl2Point(QPointF(psf[1].toDouble(), psf[0].toDouble()));
    if (!(size.x() > 0.0) || !(size.y() > 0.0)) {
        // A page of no size would make every later scale a division by zero.
        qCritical() << "PltQuickView::parseHeader" << path << "page header with zero size refused:" << psf;
        return;
    }
    m_pageRect = QRectF(0, 0, size.x(), size.y());
    m_origin = GPathProcess::hpgl2Point(QPointF(psf[3].toDouble(), psf[2].toDouble()));
    m_markSize = psf.size() == 6 ? GPathProcess::hpgl2Point(psf[5].toDouble()) : 5.0;
    m_markType = psf[4].toInt();
    const QPointF area = GPathProcess::hpgl2Point(QPointF(mdf[3].toDouble(), mdf[2].toDouble()));
    m_farCorner = QPointF(m_origin.x() - (m_pageRect.width() - area.x()),
                          m_origin.y() - (m_pageRect.height() - area.y()));
}

void PltQuickView::paint(QPainter *painter)
{
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(QPen(Qt::blue, 0));
    painter->fillRect(QRectF(0, 0, width(), height()), Qt::white);
    if (!(m_pageRect.width() > 0.0) || !(m_pageRect.height() > 0.0))
        return;
    const double s = std::min((height() - 4.0) / m_pageRect.width(), (width() - 4.0) / m_pageRect.height());
    if (!(s > 0.0))
        return;
    const double dw = m_pageRect.height() * s;
    const double dh = m_pageRect.width() * s;
    const QRectF d((width() - dw) / 2.0, (height() - dh) / 2.0, dw, dh);
    painter->fillRect(d, QColor(0xFFEBEBEB));

    QPolygonF from;
    from << m_pageRect.topLeft() << m_pageRect.topRight() << m_pageRect.bottomRight() << m_pageRect.bottomLeft();
    QPolygonF to;
    to << d.bottomLeft() << d.topLeft() << d.topRight() << d.bottomRight();
    QTransform t;
    if (!QTransform::quadToQuad(from, to, t))
        return;
    painter->setTransform(t);
    for (const QPolygonF &line : std::as_const(g_polylines))
        painter->drawPolyline(line.translated(m_origin));
    if (!g_polylines.isEmpty()) {
        if (m_markType == 3)
            drawCrossHair(painter, m_pageRect);
        else
            drawMarks(painter, m_pageRect);
    }
    painter->resetTransform();
}

void PltQuickView::drawMarks(QPainter *painter, const QRectF &rect) const
{
    const QRectF m = rect.adjusted(m_origin.x(), m_origin.y(), m_farCorner.x(), m_farCorner.y());
    const double d = m_markSize;
    const double u = GPathProcess::mm2Point(1.0);
    QPainterPath path;
    const QRectF first = GPathProcess::createRectF(m.topLeft(), d, d);
    path.addEllipse(first);
    path.addRect(QRectF(first.center().x() - u / 2.0, first.top() - u, u, u / 2.0));
    path.addRect(QRectF(first.center().x() - u / 2.0, first.bottom() + u / 2.0, u, u / 2.0));
    path.addEllipse(GPathProcess::createRectF(m.topRight(), d, d));
    if (m_markType == 4 || m_markType == 5) {
        path.addEllipse(GPathProcess::createRectF(m.bottomLeft(), d, d));
        path.addEllipse(GPathProcess::createRectF(m.bottomRight(), d, d));
    }
    painter->fillPath(path, Qt::black);
}

void PltQuickView::drawCrossHair(QPainter *painter, const QRectF &rect) const
{
    const QPointF c = rect.topLeft() + m_origin;
    const double r = m_markSize * 1.5;
    painter->setPen(QPen(Qt::black, 0));
    painter->setBrush(Qt::NoBrush);
    painter->drawEllipse(GPathProcess::createRectF(c, r * 2.0, r * 2.0));
    painter->drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
    painter->drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
}
