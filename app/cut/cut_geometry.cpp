#include "app/cut/cut_geometry.h"

#include "app/cut/passing_memory.h"

#include "platform/scene/gmark_item.h"
#include "platform/scene/gpage.h"
#include "platform/scene/gpath_batch.h"
#include "platform/scene/gpath_item.h"
#include "platform/scene/gpath_process.h"

#include <QPainterPath>
#include <QThread>
#include <QThreadPool>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <vector>

namespace CutGeometry {

namespace {

constexpr int kDotsPerMeter = 14175;
// Rows filled at once: only the sides of the outlines crossing a band are
// held, however many the page has.
constexpr int kBandRows = 256;
// Bands are widened while outlines would be visited more than this many
// times over (outlines crossing the whole page gain nothing from bands).
constexpr size_t kMostVisits = 4;
// Bands are filled side by side by up to this many threads.
constexpr int kFillThreads = 4;
// Fewer outlines than this are filled on the calling thread alone.
constexpr size_t kOutlinesAlone = 20000;
// Pages of fewer pixels than this are filled there too.
constexpr size_t kPixelsAlone = 16 * 1024 * 1024;
// A row with at most one crossing per this many pixels is filled span by span.
constexpr size_t kSpanCrossings = 32;
// A layout keeps its sides as whole points in ints, and the template its
// sides as pixels in ints: no page has longer sides (about 140 km).
constexpr double kMostPoints = 2.0e9 / kPixelsPerPoint;

// The cut outlines of the items, numbered through the items in order (a
// batch holds many): an outline is found by its number, so no list of all
// of them is held beside the page. Read only, from any thread.
class Outlines
{
public:
    explicit Outlines(const QList<QGraphicsItem *> &items)
    {
        for (QGraphicsItem *item : items) {
            const int type = item ? item->type() : 0;
            if (type != GPathItem::Type && type != GPathBatch::Type)
                continue;
            m_items.append(item);
            // Taken here: an item works its scene transform out lazily.
            m_toScene.push_back(item->sceneTransform());
            m_first.push_back(m_first.back()
                              + (type == GPathBatch::Type ? uint32_t(static_cast<GPathBatch *>(item)->count()) : 1u));
        }
    }

    uint32_t count() const { return m_first.back(); }

    // Outline i closed as the template closes it (through its first point's
    // x and its last point's y), in pixels whose centres lie at whole
    // numbers (the scene's pixel i spans [i, i + 1)); a path of curves or
    // several pieces gives a polygon a piece.
    void pixels(uint32_t i, QPolygonF &scratch, QList<QPolygonF> &out) const
    {
        out.clear();
        const size_t k = size_t(std::upper_bound(m_first.begin(), m_first.end(), i) - m_first.begin()) - 1;
        const QGraphicsItem *item = m_items.at(qsizetype(k));
        const QTransform toPixels = m_toScene[k] * QTransform::fromScale(kPixelsPerPoint, kPixelsPerPoint)
                                    * QTransform::fromTranslate(-0.5, -0.5);
        if (item->type() == GPathBatch::Type) {
            static_cast<const GPathBatch *>(item)->polygon(int(i - m_first[k]), scratch);
            if (scratch.size() < 2)
                return;
            scratch.append(QPointF(scratch.first().x(), scratch.last().y()));
            out.append(toPixels.map(scratch));
        } else {
            QPainterPath p = static_cast<const GPathItem *>(item)->path();
            if (p.elementCount() < 2)
                return;
            p.lineTo(p.elementAt(0).x, p.elementAt(p.elementCount() - 1).y);
            p.closeSubpath();
            out = p.toSubpathPolygons(toPixels);
        }
    }

private:
    QList<QGraphicsItem *> m_items;
    std::vector<QTransform> m_toScene;
    std::vector<uint32_t> m_first{0};
};

// The outlines of each band of rows: band b's are inBand[start[b] ..
// start[b + 1]), by a counting sort of the rows each outline spans.
struct Bands
{
    int rows = kBandRows;
    std::vector<uint32_t> start;
    std::vector<uint32_t> inBand;
};

Bands bandsOf(const Outlines &outlines, const QSize &size)
{
    // The rows each outline spans; -1: none on the page.
    std::vector<std::pair<int, int>> rows(outlines.count(), {-1, -1});
    QPolygonF scratch;
    QList<QPolygonF> outline;
    for (uint32_t i = 0; i < outlines.count(); ++i) {
        outlines.pixels(i, scratch, outline);
        QRectF bounds;
        for (const QPolygonF &piece : outline)
            bounds = bounds.isNull() ? piece.boundingRect() : bounds.united(piece.boundingRect());
        // Written so that a corner that is not a number leaves the outline out.
        if (outline.isEmpty() || !(bounds.bottom() >= 0.0 && bounds.top() <= size.height() && bounds.right() >= 0.0
                                   && bounds.left() <= size.width()))
            continue;
        // Taken to the page before they become whole numbers: corners may lie
        // beyond any int.
        rows[i] = {int(std::max(0.0, std::floor(bounds.top()))),
                   int(std::min(double(size.height() - 1), std::ceil(bounds.bottom())))};
    }
    Bands bands;
    const auto visits = [&rows](int bandRows) {
        size_t n = 0;
        for (const auto &r : rows)
            n += r.first < 0 ? 0 : size_t(r.second / bandRows - r.first / bandRows + 1);
        return n;
    };
    while (bands.rows < size.height() && visits(bands.rows) > kMostVisits * rows.size())
        bands.rows *= 2;
    const int count = (size.height() + bands.rows - 1) / bands.rows;
    bands.start.assign(size_t(count) + 1, 0);
    for (const auto &r : rows) {
        for (int b = r.first / bands.rows; r.first >= 0 && b <= r.second / bands.rows; ++b)
            ++bands.start[size_t(b) + 1];
    }
    for (int b = 0; b < count; ++b)
        bands.start[size_t(b) + 1] += bands.start[size_t(b)];
    bands.inBand.resize(bands.start.back());
    std::vector<uint32_t> next(bands.start.begin(), bands.start.end() - 1);
    for (uint32_t i = 0; i < rows.size(); ++i) {
        for (int b = rows[i].first / bands.rows; rows[i].first >= 0 && b <= rows[i].second / bands.rows; ++b)
            bands.inBand[next[size_t(b)]++] = i;
    }
    return bands;
}

// One side of an outline: x at its top row's centre, its step a row, and the
// rows whose centres it crosses.
struct Edge
{
    int firstRow;
    int lastRow;
    double x;
    double step;
};

// Band b filled with the odd-even rule over all its outlines together, as
// Qt's rasteriser fills a path without antialiasing: a pixel is black when
// its centre lies inside.
void fillBand(cv::Mat &templ, const Outlines &outlines, const Bands &bands, int b)
{
    const int top = b * bands.rows, end = std::min(templ.rows, top + bands.rows);
    QPolygonF scratch;
    QList<QPolygonF> outline;
    std::vector<Edge> edges;
    for (uint32_t k = bands.start[size_t(b)]; k < bands.start[size_t(b) + 1]; ++k) {
        outlines.pixels(bands.inBand[k], scratch, outline);
        for (const QPolygonF &piece : outline) {
            for (qsizetype i = 0; i < piece.size(); ++i) {
                QPointF from = piece.at(i), to = piece.at((i + 1) % piece.size());
                if (from.y() == to.y())
                    continue;
                if (from.y() > to.y())
                    std::swap(from, to);
                // Rows y with from.y <= y < to.y, within the band: the side is
                // cut to the band where it crosses it, never bent, however
                // far off the page its corners lie (the sides of a corner
                // that is not a number are left out).
                const double firstRow = std::max(double(top), std::ceil(from.y()));
                const double lastRow = std::min(double(end), std::ceil(to.y())) - 1.0;
                const double step = (to.x() - from.x()) / (to.y() - from.y());
                const double x = from.x() + (firstRow - from.y()) * step;
                if (!(firstRow <= lastRow) || !std::isfinite(x) || !std::isfinite(step))
                    continue;
                edges.push_back({int(firstRow), int(lastRow), x, step});
            }
        }
    }
    std::sort(edges.begin(), edges.end(), [](const Edge &l, const Edge &r) { return l.firstRow < r.firstRow; });
    // A pixel is inside when an odd number of the row's crossings lie at or
    // left of its centre: each crossing flips the pixels from the first one
    // right of it on, so a row of many crossings is never sorted (outlines
    // that cross each other everywhere would make that the whole cost).
    std::vector<Edge> active;
    std::vector<uchar> flips(size_t(templ.cols) + 1, 0);
    std::vector<int> crossings;
    size_t next = 0;
    for (int y = top; y < end; ++y) {
        active.erase(std::remove_if(active.begin(), active.end(), [y](const Edge &e) { return e.lastRow < y; }),
                     active.end());
        for (; next < edges.size() && edges[next].firstRow == y; ++next)
            active.push_back(edges[next]);
        if (active.empty())
            continue;
        uchar *row = templ.ptr<uchar>(y);
        // A row of a few crossings on a wide page: its spans are filled
        // whole, the same pixels without a visit to each of them.
        if (active.size() * kSpanCrossings <= size_t(templ.cols)) {
            crossings.clear();
            for (Edge &e : active) {
                crossings.push_back(int(std::clamp(std::ceil(e.x), 0.0, double(templ.cols))));
                e.x += e.step;
            }
            std::sort(crossings.begin(), crossings.end());
            crossings.push_back(templ.cols); // an odd count is inside to the end
            for (size_t i = 0; i + 1 < crossings.size(); i += 2)
                std::fill(row + crossings[i], row + crossings[i + 1], uchar(0));
            continue;
        }
        for (Edge &e : active) {
            flips[size_t(std::clamp(std::ceil(e.x), 0.0, double(templ.cols)))] ^= 1;
            e.x += e.step;
        }
        uchar inside = 0;
        for (int x = 0; x < templ.cols; ++x) {
            inside ^= flips[size_t(x)];
            flips[size_t(x)] = 0;
            if (inside)
                row[x] = 0;
        }
        flips[size_t(templ.cols)] = 0;
    }
}

} // namespace

QSize templateSize(const QSizeF &pageMm)
{
    const QSizeF points = GPathProcess::mm2Point(pageMm);
    if (!(points.width() <= kMostPoints && points.height() <= kMostPoints))
        return QSize();
    return (GPage::makeLayout(pageMm).fullRect(QPageLayout::Point).size() * kPixelsPerPoint).toSize();
}

cv::Mat renderTemplate(const QSizeF &pageMm, const QList<QGraphicsItem *> &items)
{
    const QSize size = templateSize(pageMm);
    if (size.isEmpty())
        return cv::Mat();
    cv::Mat templ;
    try {
        templ.create(size.height(), size.width(), CV_8UC1);
    } catch (const cv::Exception &) {
        return cv::Mat();
    }
    const Outlines outlines(items);
    const Bands bands = bandsOf(outlines, size);
    const int count = int(bands.start.size()) - 1;
    // Bands share no row: each thread takes every n-th one, whitens it and
    // fills it (a large page's first touch of its memory is most of its
    // cost). A small page is filled here; the pool is this call's, joined
    // before it returns.
    const bool alone = bands.inBand.size() < kOutlinesAlone && templ.total() < kPixelsAlone;
    const int threads =
        alone ? 1 : std::clamp(std::min(QThread::idealThreadCount(), kFillThreads), 1, std::max(1, count));
    if (threads == 1) {
        templ.setTo(255);
        for (int b = 0; b < count; ++b)
            fillBand(templ, outlines, bands, b);
        return templ;
    }
    QThreadPool pool;
    pool.setMaxThreadCount(threads);
    for (int t = 0; t < threads; ++t)
        pool.start([&, t] {
            for (int b = t; b < count; b += threads) {
                templ.rowRange(b * bands.rows, std::min(templ.rows, (b + 1) * bands.rows)).setTo(255);
                fillBand(templ, outlines, bands, b);
            }
            // The sides of a page's outlines, held by this thread's heap.
            giveBackPassingMemory();
        });
    pool.waitForDone();
    return templ;
}

QImage pictureOf(const cv::Mat &templ)
{
    if (templ.empty() || templ.type() != CV_8UC1)
        return QImage();
    // The picture keeps the template's bytes alive for as long as it lives.
    auto *held = new cv::Mat(templ);
    QImage picture(held->data, held->cols, held->rows, int(held->step), QImage::Format_Grayscale8,
                   [](void *mat) { delete static_cast<cv::Mat *>(mat); }, held);
    picture.setDotsPerMeterX(kDotsPerMeter);
    picture.setDotsPerMeterY(kDotsPerMeter);
    return picture;
}

QImage renderMask(const QSizeF &pageMm, const QList<QGraphicsItem *> &items)
{
    QImage img = pictureOf(renderTemplate(pageMm, items)).convertToFormat(QImage::Format_RGB888);
    img.setDotsPerMeterX(kDotsPerMeter);
    img.setDotsPerMeterY(kDotsPerMeter);
    return img;
}

void turnAboutMarks(const GMarkItem &mark, const QList<QGraphicsItem *> &items)
{
    const QMarginsF m = GPathProcess::mm2Point(mark.margins());
    const QPointF c = mark.srcRect().center() - QPointF(m.left(), m.top());
    QTransform t;
    t.translate(c.x(), c.y());
    t.rotateRadians(3.141592653589793, Qt::ZAxis);
    t.translate(-c.x(), -c.y());
    t.translate(-(m.left() + m.right()), -(m.top() + m.bottom()));
    for (QGraphicsItem *item : items)
        item->setTransform(t, true);
}

} // namespace CutGeometry
