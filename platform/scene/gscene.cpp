#include "platform/scene/gscene.h"

#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_batch.h"
#include "platform/scene/gpath_item.h"
#include "platform/scene/gpath_process.h"
#include "platform/scene/code_symbol.h"
#include "platform/scene/variable_data.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsView>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

GScene::GScene(QObject *parent)
    : QGraphicsScene(parent)
{
    // A scene that is built once and then viewed: a spatial index would
    // only multiply the memory and the time to add and remove.
    setItemIndexMethod(QGraphicsScene::NoIndex);
    sp(1);
}

GScene::~GScene() = default;

void GScene::fail(const QString &path, const QString &why)
{
    m_error = why;
    qCritical() << "GScene::openFile" << path << why;
}

bool GScene::openFile(const QString &path, bool append)
{
    m_error.clear();
    if (!append)
        gClear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(path, QStringLiteral("cannot open: %1").arg(file.errorString()));
        return false;
    }
    const QByteArray data = file.readAll();
    file.close();
    return openBytes(data, path, append);
}

bool GScene::openBytes(const QByteArray &data, const QString &path, bool append)
{
    m_error.clear();
    if (!append)
        gClear();
    const bool ok = QFileInfo(path).suffix().compare(QLatin1String("tva"), Qt::CaseInsensitive) == 0
                        ? openTva(data, path)
                        : openHpgl(data, path);
    if (!ok) {
        if (!append)
            gClear();
        return false;
    }
    m_fileName = path;
    qInfo() << "GScene::openFile" << path << cutPathCount() << "items";
    return true;
}

bool GScene::saveCutFile(const QString &path) const
{
    QList<QGraphicsItem *> items;
    exportCutItems(items, false, false, false);
    return exportFile(path, items);
}

bool GScene::exportFile(const QString &path, const QList<QGraphicsItem *> &items) const
{
    const bool tva = QFileInfo(path).suffix().compare(QLatin1String("tva"), Qt::CaseInsensitive) == 0;
    const QByteArray bytes = tva ? tvaDocument(items) : hpglDocument(items);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        qCritical() << "GScene::exportFile" << path << file.errorString();
        return false;
    }
    return true;
}

void GScene::gClear()
{
    const QList<QGraphicsItem *> all = gItemAll();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        removeItem(*it);
        delete *it;
    }
    m_page.setMarkItem(nullptr);
    m_fileName.clear();
    m_printTexts.clear();
    m_printCodes.clear();
}

QList<QGraphicsItem *> GScene::gItemAll() const
{
    QList<QGraphicsItem *> out;
    for (QGraphicsItem *item : items(Qt::AscendingOrder))
        if (item->type() == GPathItem::Type || item->type() == GPathBatch::Type || item->type() == GMarkItem::Type)
            out.append(item);
    return out;
}

int GScene::cutPathCount() const
{
    int n = 0;
    for (QGraphicsItem *item : gItemAll())
        n += item->type() == GPathBatch::Type ? static_cast<GPathBatch *>(item)->count()
                                               : int(item->type() == GPathItem::Type);
    return n;
}

QList<QGraphicsItem *> GScene::gSelectedItems() const
{
    QList<QGraphicsItem *> out;
    for (QGraphicsItem *item : gItemAll())
        if (item->isSelected())
            out.append(item);
    return out;
}

void GScene::exportCutItems(QList<QGraphicsItem *> &list, bool selectedOnly, bool withHidden, bool withMarks) const
{
    for (QGraphicsItem *item : gItemAll()) {
        if (item->type() == GMarkItem::Type && !withMarks)
            continue;
        if (selectedOnly && !item->isSelected())
            continue;
        if (!withHidden && !item->isVisible() && item->type() != GMarkItem::Type)
            continue;
        list.append(item);
    }
}

void GScene::setGSceneFlag(int flag, bool on)
{
    m_flags = on ? (m_flags | flag) : (m_flags & ~flag);
    for (QGraphicsItem *item : gItemAll()) {
        if (item->type() == GMarkItem::Type)
            item->setVisible(testGSceneFlag(ShowMarks));
        else {
            item->setFlag(QGraphicsItem::ItemIsSelectable, !testGSceneFlag(ReadOnly));
            item->setFlag(QGraphicsItem::ItemIsMovable, !testGSceneFlag(ReadOnly));
        }
    }
}

void GScene::setShowMargin(bool on)
{
    m_showMargin = on;
    update();
}

GSp *GScene::sp(int index)
{
    if (index < 1)
        return nullptr;
    auto it = m_pens.find(index);
    if (it == m_pens.end())
        it = m_pens.insert(index, GSp(index));
    return &it.value();
}

const GSp *GScene::sp(int index) const
{
    auto it = m_pens.constFind(index);
    return it == m_pens.constEnd() ? nullptr : &it.value();
}

void GScene::enableSort(bool on) { m_sort = on; }
void GScene::setSortSP(bool on) { m_sortSP = on; }
void GScene::setSortInside(bool on) { m_sortInside = on; }

void GScene::setEditGuard(std::function<bool()> canEdit)
{
    m_canEdit = std::move(canEdit);
}

bool GScene::canEdit() const
{
    return !m_canEdit || m_canEdit();
}

void GScene::setVariableFile(const QString &path)
{
    m_variableFile = path;
    m_data.reset();
    if (path.isEmpty())
        return;
    auto data = std::make_shared<VariableData>();
    if (!data->load(path)) {
        qCritical() << "GScene::setVariableFile" << data->error();
        return;
    }
    qInfo() << "GScene::setVariableFile" << path << data->rowCount() << "rows";
    m_data = std::move(data);
}

void GScene::setVariableData(const QString &path, std::shared_ptr<const VariableData> data)
{
    m_variableFile = path;
    m_data = std::move(data);
}

int GScene::variableRowCount() const
{
    return m_data ? m_data->rowCount() : -1;
}

void GScene::setCodeIndex(int index)
{
    m_codeIndex = index;
}

bool GScene::savePrintFile(const QString &path)
{
    if (m_data && !m_data->hasRow(m_codeIndex)) {
        qCritical() << "GScene::savePrintFile" << "no data row" << m_codeIndex << "in" << m_variableFile;
        return false;
    }
    QPdfWriter writer(path);
    writer.setPageLayout(m_page.layout());
    constexpr int dpi = 300;
    writer.setResolution(dpi);
    QPainter painter;
    if (!painter.begin(&writer)) {
        qCritical() << "GScene::savePrintFile" << path << "cannot write";
        return false;
    }
    // The labels' outlines are the cutter's, not ink on the page.
    QList<QGraphicsItem *> hidden;
    for (QGraphicsItem *item : gItemAll())
        if ((item->type() == GPathItem::Type || item->type() == GPathBatch::Type) && item->isVisible()) {
            item->setVisible(false);
            hidden.append(item);
        }
    const QRectF page = m_page.fullRectPoints();
    render(&painter, QRectF(QPointF(0, 0), QSizeF(writer.width(), writer.height())), page);
    for (QGraphicsItem *item : hidden)
        item->setVisible(true);

    const double pxPerMm = dpi / 25.4;
    painter.setPen(Qt::black);
    for (const GPrintText &t : m_printTexts) {
        QFont font = painter.font();
        font.setPixelSize(std::max(1, int(t.sizePt * dpi / 72.0 + 0.5)));
        painter.setFont(font);
        const QString text = m_data ? m_data->substitute(t.text, m_codeIndex) : t.text;
        const QPointF at = t.posMm * pxPerMm;
        painter.drawText(QRectF(at, QSizeF(writer.width() - at.x(), writer.height() - at.y())),
                         Qt::AlignLeft | Qt::AlignTop, text);
    }
    for (const GPrintCode &c : m_printCodes) {
        const QString data = m_data ? m_data->substitute(c.text, m_codeIndex) : c.text;
        const QImage symbol = codeSymbol(c.kind, data);
        if (symbol.isNull()) {
            qCritical() << "GScene::savePrintFile" << "cannot encode" << c.kind << data;
            continue;
        }
        const QRectF at(c.rectMm.topLeft() * pxPerMm, c.rectMm.size() * pxPerMm);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(at, symbol);
    }
    return painter.end();
}

GMarkItem *GScene::takeMarkItem()
{
    GMarkItem *mark = m_page.markItem();
    if (mark) {
        removeItem(mark);
        m_page.setMarkItem(nullptr);
    }
    return mark;
}

void GScene::setPageGeometry(const QSizeF &pageMm, GMarkItem *mark)
{
    if (GMarkItem *old = m_page.markItem()) {
        removeItem(old);
        delete old;
    }
    m_page.setSize(pageMm);
    m_page.setMarkItem(mark);
    if (mark) {
        mark->setVisible(testGSceneFlag(ShowMarks));
        mark->setZValue(-1);
        addItem(mark);
    }
    setSceneRect(m_page.fullRectPoints().adjusted(-20, -20, 20, 20));
}

void GScene::addCutItem(QGraphicsItem *item)
{
    if (item->type() == GPathItem::Type) {
        addPath(static_cast<GPathItem *>(item));
        return;
    }
    item->setFlag(QGraphicsItem::ItemIsSelectable, !testGSceneFlag(ReadOnly));
    item->setFlag(QGraphicsItem::ItemIsMovable, !testGSceneFlag(ReadOnly));
    addItem(item);
}

void GScene::addPath(GPathItem *item)
{
    item->setFlag(QGraphicsItem::ItemIsSelectable, !testGSceneFlag(ReadOnly));
    item->setFlag(QGraphicsItem::ItemIsMovable, !testGSceneFlag(ReadOnly));
    const GSp *pen = sp(std::max(1, item->penIndex()));
    item->setPen(QPen(pen ? pen->color() : QColor(Qt::black), 0));
    addItem(item);
}

namespace {
QList<QPair<double, double>> mergedRuns(QList<QPair<double, double>> runs)
{
    std::sort(runs.begin(), runs.end());
    QList<QPair<double, double>> out;
    for (const auto &r : runs) {
        if (!out.isEmpty() && r.first <= out.last().second)
            out.last().second = std::max(out.last().second, r.second);
        else
            out.append(r);
    }
    return out;
}
} // namespace

QList<QPair<double, double>> GScene::coveredRuns(const QList<QGraphicsItem *> &items, bool alongHeight)
{
    QList<QPair<double, double>> runs;
    for (const GCutPath &path : GCutPath::of(items)) {
        const QRectF r = GPathProcess::point2Mm(path.sceneBounds());
        runs.append(alongHeight ? qMakePair(r.top(), r.bottom()) : qMakePair(r.left(), r.right()));
    }
    return mergedRuns(runs);
}

QList<QPair<double, double>> GScene::rowSegments() const
{
    QList<QGraphicsItem *> items;
    exportCutItems(items, false, false, false);
    return coveredRuns(items, true);
}

QList<QPair<double, double>> GScene::colSegments() const
{
    QList<QGraphicsItem *> items;
    exportCutItems(items, false, false, false);
    return coveredRuns(items, false);
}
