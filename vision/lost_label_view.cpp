#include "vision/lost_label_view.h"

#include "core/property_store.h"
#include "vision/view_source.h"

#include <QCoreApplication>
#include <QFont>
#include <QPainter>
#include <QPen>
#include <QPolygonF>

#include <cmath>
#include <mutex>

namespace {

ViewSource<LostLabelView::Reader> &source()
{
    static ViewSource<LostLabelView::Reader> s;
    return s;
}

// Through the points, closed by repeating the first.
QPolygonF closedLine(const std::vector<std::pair<int32_t, int32_t>> &points, double scale)
{
    QPolygonF line;
    for (const auto &p : points)
        line << QPointF(p.first / scale, p.second / scale);
    if (!line.isEmpty())
        line << line.first();
    return line;
}

void drawCodes(QPainter *painter, const std::vector<CodeResult> &codes, const QColor &colour, double scale)
{
    painter->setPen(QPen(colour));
    for (const CodeResult &c : codes) {
        painter->drawText(QPointF(c.x / scale, c.y / scale), QString::fromStdString(c.code));
        painter->drawPolyline(closedLine(c.points, scale));
    }
}

} // namespace

void LostLabelView::setSource(QObject *notifier, Reader reader)
{
    source().set(notifier, std::move(reader));
}

LostLabelView::LostLabelView(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
    QObject *notifier = source().notifier();
    // The view is the receiver context: a signal from a label-check thread
    // repaints on the GUI thread.
    if (notifier)
        connect(notifier, SIGNAL(lostViewUpdate(QRect)), this, SLOT(onLostViewUpdate(QRect)));
}

LostLabelView::~LostLabelView() = default;

void LostLabelView::onLostViewUpdate(const QRect &rect)
{
    update(rect);
}

void LostLabelView::setImageW(double w)
{
    spoolsmith::storeAndNotify(m_imageW, w, [this] { emit imageWChanged(); });
}

void LostLabelView::setImageH(double h)
{
    spoolsmith::storeAndNotify(m_imageH, h, [this] { emit imageHChanged(); });
}

void LostLabelView::paint(QPainter *painter)
{
    const auto reader = source().reader();
    if (!reader)
        return;
    paintSnapshot(painter, reader());
}

void LostLabelView::paintSnapshot(QPainter *painter, const Snapshot &s)
{
    if (height() <= 0.0)
        return;
    m_scale = m_imageH / height();
    if (m_scale <= 0.0)
        return; // no picture size yet
    const double scale = m_scale;
    painter->setRenderHint(QPainter::Antialiasing, true);
    QFont font = painter->font();
    font.setPointSize(10);
    painter->setFont(font);

    for (const DetectedLabel &l : s.result.labels) {
        if (l.kind == DetectedLabel::Lost) {
            painter->fillRect(QRectF(l.x / scale, l.y / scale, l.w / scale, l.h / scale), QColor(255, 0, 0, 150));
        } else if (l.kind == DetectedLabel::Checked) {
            drawCodes(painter, l.barcodes, QColor(128, 0, 128), scale);
            drawCodes(painter, l.qrCodes, QColor(255, 165, 0), scale);
            painter->setPen(QPen(Qt::green));
            for (const TextResult &t : l.texts) {
                painter->drawPolyline(closedLine(t.points, scale));
                if (t.points.size() > 3)
                    painter->drawText(QPointF(t.points.front().first / scale, t.points.front().second / scale),
                                      QString::fromStdString(t.text));
            }
        }
    }

    const ReadData &r = s.result;
    if (r.first_edge > 0 && r.last_edge > 0) {
        painter->setPen(QPen(Qt::blue, 1));
        const double x0 = r.first_edge / scale;
        const double x1 = r.last_edge / scale;
        painter->drawLine(QLineF(x0, 0, x0, height()));
        painter->drawLine(QLineF(x1, 0, x1, height()));
        if (r.segmentX >= 1) {
            painter->setPen(QPen(Qt::red, 2));
            const double y = r.segmentX / scale;
            painter->drawLine(QLineF(x0, y, x1, y));
        }
    } else if (s.segmentX > 0) {
        painter->setPen(QPen(Qt::red, 4));
        painter->drawText(QPointF(std::trunc(height() * 0.5), std::trunc(width() * 0.5)),
                          QCoreApplication::translate("LostLabelView", "未检出"));
    }
}
