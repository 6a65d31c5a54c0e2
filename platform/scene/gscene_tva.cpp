// The .tva cut format: our own JSON container of the page, its marks, the
// pens, the sort switches and the paths (scene points, item transforms kept).
#include "platform/scene/gscene.h"

#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_batch.h"
#include "platform/scene/gpath_item.h"
#include "platform/scene/gpath_process.h"
#include "platform/hpgl/hpgl_parser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

constexpr auto kFormat = "spoolsmith-tva";
constexpr int kVersion = 1;

QJsonArray numbers(std::initializer_list<double> values)
{
    QJsonArray a;
    for (double v : values)
        a.append(v);
    return a;
}

bool finite(const QJsonValue &v)
{
    return v.isDouble() && std::isfinite(v.toDouble());
}

// The HPGL reader's bound on coordinates, in millimetres and in scene
// points: beyond it the cutter's integers cannot hold a value.
constexpr double kMaxMm = HpglParser::kMaxCoordinate / GPathProcess::kHpglPerMm;
constexpr double kMaxPoints = kMaxMm * GPathProcess::kPointPerMm;

bool within(double v, double bound)
{
    return std::isfinite(v) && std::abs(v) <= bound;
}

// The first value of a template out of the bound, named for the log ("" if none).
QString outOfRange(const QJsonObject &root)
{
    const QJsonObject page = root.value("page").toObject();
    for (const char *key : {"width", "height"})
        if (!within(page.value(key).toDouble(), kMaxMm))
            return QStringLiteral("page %1 %2").arg(key).arg(page.value(key).toDouble());
    const QJsonObject mark = root.value("mark").toObject();
    if (mark.contains("size") && !within(mark.value("size").toDouble(), kMaxMm))
        return QStringLiteral("mark size %1").arg(mark.value("size").toDouble());
    for (const QJsonValue &v : mark.value("margins").toArray())
        if (!within(v.toDouble(), kMaxMm))
            return QStringLiteral("mark margin %1").arg(v.toDouble());
    for (const QJsonValue &v : root.value("pens").toArray()) {
        const QJsonObject o = v.toObject();
        for (const char *key : {"closeCompensate", "knifeCompensate", "toolUpAngle"})
            if (o.contains(key) && !within(o.value(key).toDouble(), kMaxPoints))
                return QStringLiteral("pen %1 %2").arg(key).arg(o.value(key).toDouble());
    }
    for (const QJsonValue &v : root.value("paths").toArray()) {
        const QJsonObject o = v.toObject();
        for (const QJsonValue &s : o.value("subpaths").toArray())
            for (const QJsonValue &c : s.toArray())
                if (finite(c) && !within(c.toDouble(), kMaxPoints))
                    return QStringLiteral("point %1").arg(c.toDouble());
        for (const QJsonValue &t : o.value("transform").toArray())
            if (!within(t.toDouble(), kMaxPoints))
                return QStringLiteral("transform %1").arg(t.toDouble());
    }
    return QString();
}

} // namespace

QByteArray GScene::tvaDocument(const QList<QGraphicsItem *> &items) const
{
    QJsonObject root;
    root["format"] = kFormat;
    root["version"] = kVersion;
    const QSizeF page = m_page.layout().fullRect(QPageLayout::Millimeter).size();
    root["page"] = QJsonObject{{"width", page.width()}, {"height", page.height()}};
    if (const GMarkItem *mark = m_page.markItem()) {
        const QMarginsF m = mark->margins();
        root["mark"] = QJsonObject{{"type", mark->markType()},
                                   {"size", mark->markSize()},
                                   {"margins", numbers({m.left(), m.top(), m.right(), m.bottom()})}};
    }
    QJsonArray pens;
    for (auto it = m_pens.cbegin(); it != m_pens.cend(); ++it) {
        const GSp &p = it.value();
        pens.append(QJsonObject{{"index", p.index()},
                                {"name", p.name()},
                                {"color", p.color().name()},
                                {"flags", p.flags()},
                                {"closeCompensate", p.closeCompensate()},
                                {"knifeCompensate", p.knifeCompensate()},
                                {"repeat", p.repeat()},
                                {"toolUpAngle", p.toolUpAngle()}});
    }
    root["pens"] = pens;
    root["sort"] = QJsonObject{{"enabled", m_sort}, {"pen", m_sortSP}, {"inside", m_sortInside}};
    QJsonArray paths;
    for (const GCutPath &path : GCutPath::of(items)) {
        QJsonArray subpaths;
        for (const QPolygonF &poly : path.path().toSubpathPolygons()) {
            QJsonArray coords;
            for (const QPointF &p : poly) {
                coords.append(p.x());
                coords.append(p.y());
            }
            subpaths.append(coords);
        }
        const QTransform t = path.item->transform();
        paths.append(QJsonObject{{"pen", path.penIndex()},
                                 {"transform", numbers({t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(),
                                                        t.m31(), t.m32(), t.m33()})},
                                 {"subpaths", subpaths}});
    }
    root["paths"] = paths;
    QJsonArray texts;
    for (const GPrintText &t : m_printTexts)
        texts.append(QJsonObject{{"x", t.posMm.x()}, {"y", t.posMm.y()}, {"size", t.sizePt}, {"text", t.text}});
    if (!texts.isEmpty())
        root["texts"] = texts;
    QJsonArray codes;
    for (const GPrintCode &c : m_printCodes)
        codes.append(QJsonObject{{"x", c.rectMm.x()}, {"y", c.rectMm.y()}, {"width", c.rectMm.width()},
                                 {"height", c.rectMm.height()}, {"kind", c.kind}, {"text", c.text}});
    if (!codes.isEmpty())
        root["codes"] = codes;
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

bool GScene::openTva(const QByteArray &data, const QString &path)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    const QJsonObject root = doc.object();
    if (doc.isNull() || root.value("format").toString() != QLatin1String(kFormat)) {
        fail(path, QStringLiteral("not a .tva cut file (%1)")
                       .arg(doc.isNull() ? error.errorString() : QStringLiteral("unknown format")));
        return false;
    }
    if (root.value("version").toInt() > kVersion) {
        fail(path, QStringLiteral("a .tva file of a newer version (%1)").arg(root.value("version").toInt()));
        return false;
    }
    // A damaged or crafted template must not send absurd coordinates to the
    // cutter: refused whole, as no part of it can be trusted.
    const QString range = outOfRange(root);
    if (!range.isEmpty()) {
        fail(path, QStringLiteral("a number out of range (%1)").arg(range));
        return false;
    }
    const QJsonObject page = root.value("page").toObject();
    const QSizeF pageMm(page.value("width").toDouble(), page.value("height").toDouble());
    if (!(pageMm.width() > 0.0) || !(pageMm.height() > 0.0)) {
        fail(path, QStringLiteral("page with zero size"));
        return false;
    }
    GMarkItem *mark = nullptr;
    if (root.contains("mark")) {
        const QJsonObject m = root.value("mark").toObject();
        const QJsonArray mg = m.value("margins").toArray();
        if (mg.size() == 4)
            mark = new GMarkItem(pageMm, QMarginsF(mg[0].toDouble(), mg[1].toDouble(), mg[2].toDouble(), mg[3].toDouble()),
                                 m.value("type").toInt(), m.value("size").toDouble(5.0));
    }
    if (!testGSceneFlag(KeepPens)) {
        for (const QJsonValue &v : root.value("pens").toArray()) {
            const QJsonObject o = v.toObject();
            GSp *p = sp(o.value("index").toInt());
            if (!p)
                continue;
            p->setName(o.value("name").toString(p->name()));
            p->setColor(QColor(o.value("color").toString(p->color().name())));
            p->setFlags(o.value("flags").toInt(p->flags()));
            p->setCloseCompensate(o.value("closeCompensate").toDouble(p->closeCompensate()));
            p->setKnifeCompensate(o.value("knifeCompensate").toDouble(p->knifeCompensate()));
            p->setRepeat(o.value("repeat").toInt(p->repeat()));
            p->setToolUpAngle(o.value("toolUpAngle").toDouble(p->toolUpAngle()));
        }
        const QJsonObject sort = root.value("sort").toObject();
        m_sort = sort.value("enabled").toBool(m_sort);
        m_sortSP = sort.value("pen").toBool(m_sortSP);
        m_sortInside = sort.value("inside").toBool(m_sortInside);
    }
    setPageGeometry(pageMm, mark);
    for (const QJsonValue &v : root.value("paths").toArray()) {
        const QJsonObject o = v.toObject();
        QPainterPath pp;
        for (const QJsonValue &s : o.value("subpaths").toArray()) {
            const QJsonArray c = s.toArray();
            QPolygonF poly;
            for (qsizetype i = 0; i + 1 < c.size(); i += 2)
                if (finite(c[i]) && finite(c[i + 1]))
                    poly.append(QPointF(c[i].toDouble(), c[i + 1].toDouble()));
            if (poly.size() >= 2)
                pp.addPolygon(poly);
        }
        if (pp.isEmpty())
            continue;
        auto *item = new GPathItem(pp, std::max(1, o.value("pen").toInt(1)));
        const QJsonArray t = o.value("transform").toArray();
        if (t.size() == 9)
            item->setTransform(QTransform(t[0].toDouble(), t[1].toDouble(), t[2].toDouble(), t[3].toDouble(),
                                          t[4].toDouble(), t[5].toDouble(), t[6].toDouble(), t[7].toDouble(),
                                          t[8].toDouble()));
        // Bounded points through a bounded transform may still land far out.
        const QRectF placed = item->mapRectToScene(item->boundingRect());
        if (!within(placed.left(), kMaxPoints) || !within(placed.right(), kMaxPoints)
            || !within(placed.top(), kMaxPoints) || !within(placed.bottom(), kMaxPoints)) {
            delete item;
            fail(path, QStringLiteral("a number out of range (path placed at %1, %2)").arg(placed.left()).arg(placed.top()));
            return false;
        }
        addPath(item);
    }
    for (const QJsonValue &v : root.value("texts").toArray()) {
        const QJsonObject o = v.toObject();
        const double size = o.value("size").toDouble(10.0);
        if (!finite(o.value("x")) || !finite(o.value("y")) || !(size > 0.0 && size < 1000.0))
            continue;
        m_printTexts.append(GPrintText{QPointF(o.value("x").toDouble(), o.value("y").toDouble()), size,
                                       o.value("text").toString()});
    }
    for (const QJsonValue &v : root.value("codes").toArray()) {
        const QJsonObject o = v.toObject();
        const QRectF r(o.value("x").toDouble(), o.value("y").toDouble(), o.value("width").toDouble(),
                       o.value("height").toDouble());
        if (!finite(o.value("x")) || !finite(o.value("y")) || !(r.width() > 0.0 && r.width() < 10000.0)
            || !(r.height() > 0.0 && r.height() < 10000.0))
            continue;
        m_printCodes.append(GPrintCode{r, o.value("kind").toString(), o.value("text").toString()});
    }
    return true;
}
