#include "vision/film_view.h"

#include "vision/view_source.h"

#include <QFont>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QTransform>

#include <cmath>
#include <mutex>

namespace {

ViewSource<FilmView::SlotReader> &source()
{
    static ViewSource<FilmView::SlotReader> s;
    return s;
}

} // namespace

void FilmView::setSource(QObject *notifier, SlotReader reader)
{
    source().set(notifier, std::move(reader));
}

FilmView::FilmView(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
    attachSource();
}

FilmView::~FilmView() = default;

void FilmView::attachSource()
{
    QObject *notifier = source().notifier();
    // The view is the receiver context, so a signal from the task thread
    // repaints on the GUI thread.
    if (notifier)
        connect(notifier, SIGNAL(filmViewUpdate(QRect)), this, SLOT(onFilmViewUpdate(QRect)));
}

void FilmView::onFilmViewUpdate(const QRect &rect)
{
    update(rect);
}

void FilmView::setOutputValue(int &field, int v, void (FilmView::*signal)())
{
    if (field == v)
        return;
    field = v;
    emit(this->*signal)();
    if (v >= 1)
        update();
}

void FilmView::setVideoOutputX(int v) { setOutputValue(m_videoOutputX, v, &FilmView::videoOutputXChanged); }
void FilmView::setVideoOutputY(int v) { setOutputValue(m_videoOutputY, v, &FilmView::videoOutputYChanged); }
void FilmView::setVideoOutputWidth(int v) { setOutputValue(m_videoOutputWidth, v, &FilmView::videoOutputWidthChanged); }
void FilmView::setVideoOutputHeight(int v) { setOutputValue(m_videoOutputHeight, v, &FilmView::videoOutputHeightChanged); }

void FilmView::setShowHistory(bool v)
{
    if (m_showHistory != v) {
        m_showHistory = v;
        emit showHistoryChanged();
    }
    update();
}

void FilmView::drawMark(QPainter *painter, const QRectF &rect)
{
    painter->save();
    painter->setPen(QPen(Qt::red, 2.0));
    painter->setBrush(Qt::NoBrush);
    const QRect r(int(std::round(rect.x())), int(std::round(rect.y())), int(std::ceil(rect.width())),
                  int(std::ceil(rect.height())));
    painter->drawEllipse(r);
    painter->restore();
}

void FilmView::drawCode(QPainter *painter, const FilmSlot &slot,
                        const std::function<QPointF(const QPointF &)> &map)
{
    if (slot.text.isEmpty() || slot.points.isEmpty())
        return;
    QPolygonF polygon;
    for (const QPointF &p : slot.points)
        polygon << map(p);
    polygon << polygon.first();
    painter->save();
    painter->setPen(QPen(Qt::blue, 2, Qt::SolidLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawPolyline(polygon);
    if (polygon.size() >= 4) {
        QFont font = painter->font();
        font.setBold(true);
        font.setPointSize(12);
        painter->setFont(font);
        painter->drawText(polygon.at(3), slot.text);
    }
    painter->restore();
}

void FilmView::paint(QPainter *painter)
{
    const auto reader = source().reader();
    if (!reader || m_videoOutputWidth == 0 || m_videoOutputHeight == 0)
        return;
    painter->setRenderHint(QPainter::Antialiasing, true);
    const QList<FilmSlot> list = reader();
    if (list.isEmpty())
        return;

    const FilmSlot &current = list.first();
    if (current.score > 0 && current.image.width() > 0) {
        const double s = double(m_videoOutputWidth) / current.image.width();
        const double D = current.score * s;
        const int left = int(m_videoOutputY + (current.image.height() - current.markPos.y()) * s - D / 2);
        const int top = int(m_videoOutputX + (current.markPos.x() + 1.0) * s - D / 2);
        drawMark(painter, QRectF(left, top, int(D), int(D)));
        const int h = current.image.height();
        drawCode(painter, current, [&](const QPointF &p) {
            return QPointF(m_videoOutputY + (h - p.y()) * s, m_videoOutputX + p.x() * s);
        });
    }

    if (!m_showHistory || m_videoOutputY <= 0)
        return;
    for (int i = 1; i < std::min<int>(list.size(), kFilmSlotCount); ++i) {
        const FilmSlot &slot = list.at(i);
        if (slot.score < 0 || slot.image.width() <= 0)
            continue;
        const double k = 100.0 / slot.image.width();
        const QImage thumb = slot.image.scaled(int(slot.image.width() * k), int(slot.image.height() * k),
                                               Qt::IgnoreAspectRatio, Qt::FastTransformation)
                                 .transformed(QTransform().rotate(90), Qt::FastTransformation);
        const int x = (i == 3 || i == 4) ? int(width()) - thumb.width() : 0;
        const int y = (i == 1 || i == 4) ? int(height()) - thumb.height() - 90 : 40;
        painter->drawImage(QPoint(x, y), thumb);
        if (slot.score == 0) {
            painter->save();
            QFont font = painter->font();
            font.setBold(true);
            font.setPointSize(12);
            painter->setFont(font);
            painter->setPen(Qt::red);
            painter->drawText(QPoint(x, int(thumb.height() * 0.5 + y)), tr("未检出"));
            painter->restore();
            continue;
        }
        const double D = slot.score * k;
        const int h = slot.image.height();
        drawMark(painter, QRectF(int(x + (h - slot.markPos.y()) * k - D * 0.5),
                                 int(y + slot.markPos.x() * k - D * 0.5), int(D), int(D)));
        drawCode(painter, slot, [&](const QPointF &p) { return QPointF(x + (h - p.y()) * k, y + p.x() * k); });
    }
}
