// The plot data built straight into one buffer against the plain builder it
// replaced: the same bytes for thousands of generated outlines (curves, lone
// points, several sub-paths, compensated pens, turned items, projective page
// transforms, coordinates far out and negative). And cut files held in
// batches against one item per outline: the same outlines, cutting order,
// plot data, cut file and label grid.
#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_batch.h"
#include "platform/scene/gpath_item.h"
#include "platform/scene/gpath_process.h"
#include "platform/scene/gscene.h"
#include "platform/scene/gsp.h"
#include "tests/support/full_sweeps.h"
#include "tests/support/reference_plot_data.h"

#include <QPainterPath>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

QPainterPath randomPath(QRandomGenerator &rng, double span)
{
    QPainterPath path;
    const int subpaths = 1 + rng.bounded(3);
    auto at = [&] { return QPointF(rng.bounded(2 * span) - span * 0.2, rng.bounded(span) - span * 0.1); };
    for (int s = 0; s < subpaths; ++s) {
        path.moveTo(at());
        const int segments = rng.bounded(5) == 0 ? 0 : 1 + rng.bounded(40);
        for (int i = 0; i < segments; ++i) {
            switch (rng.bounded(4)) {
            case 0: path.cubicTo(at(), at(), at()); break;
            case 1: path.quadTo(at(), at()); break;
            default: path.lineTo(at()); break;
            }
        }
        if (rng.bounded(2))
            path.closeSubpath();
    }
    return path;
}

QTransform randomPageTransform(QRandomGenerator &rng)
{
    if (rng.bounded(4) == 0)
        return {};
    QTransform t;
    const QPolygonF from{{0, 0}, {0, 255}, {533, 255}, {533, 0}};
    QPolygonF to;
    for (const QPointF &p : from)
        to << p + QPointF(rng.bounded(8.0) - 4.0, rng.bounded(8.0) - 4.0);
    QTransform::quadToQuad(from, to, t);
    return t;
}

// A cut file of `paths` outlines: pens 1-4, repeated and lone points, halves,
// coordinates no float holds, arcs and circles; with a page header or not.
QByteArray randomPlt(QRandomGenerator &rng, int paths, bool header)
{
    QByteArray out = header ? "IN;PS8000,4000,200,120,4,160;MD200,120,7520,3600,160;" : "IN;";
    auto coord = [&] {
        switch (rng.bounded(20)) {
        case 0: return QByteArray::number(rng.bounded(8000) + 0.5);
        case 1: return QByteArray::number(rng.bounded(100000000) + 33554433); // beyond a float's integers
        case 2: return QByteArray::number(-rng.bounded(4000));
        default: return QByteArray::number(rng.bounded(8000));
        }
    };
    for (int p = 0; p < paths; ++p) {
        if (rng.bounded(8) == 0)
            out += "SP" + QByteArray::number(1 + rng.bounded(4)) + ';';
        out += "PU" + coord() + ',' + coord() + ';';
        if (rng.bounded(30) == 0) {
            out += "CI" + QByteArray::number(10 + rng.bounded(200)) + ';';
            continue;
        }
        out += "PD";
        const int n = rng.bounded(10) == 0 ? 1 : 2 + rng.bounded(12);
        QByteArray last;
        for (int i = 0; i < n; ++i) {
            const QByteArray pt = (i > 0 && rng.bounded(6) == 0) ? last : coord() + ',' + coord();
            out += pt + (i + 1 < n ? "," : ";");
            last = pt;
        }
    }
    return out + "PU0,0;PG;";
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestPlotIdentity : public QObject
{
    Q_OBJECT

private slots:
    void sameBytesAsThePlainBuilder()
    {
        QRandomGenerator rng(30);
        qsizetype bytes = 0;
        for (int round = 0; round < 60; ++round) {
            GScene scene;
            for (int pen = 1; pen <= 4; ++pen) {
                GSp *sp = scene.sp(pen);
                sp->setFlags(rng.bounded(4));
                sp->setCloseCompensate(rng.bounded(3.0));
                sp->setKnifeCompensate(rng.bounded(2.0));
                sp->setToolUpAngle(rng.bounded(90.0));
            }
            const double span = QList<double>{10.0, 500.0, 1e6}.at(rng.bounded(3));
            // Curves a million units across flatten into megabytes of plot
            // data, nine tenths of the time at 50 items a round; a few such
            // items a round still hold every kind of outline and turn (the
            // full sweep builds 50).
            const int count = span > 1e5 ? sweepSize(8, 50) : 50;
            QList<GPathItem *> items;
            for (int i = 0; i < count; ++i) {
                auto *item = new GPathItem(randomPath(rng, span), 1 + rng.bounded(4));
                if (rng.bounded(3) == 0) {
                    QTransform turn;
                    turn.translate(rng.bounded(300.0), rng.bounded(300.0)).rotate(rng.bounded(360.0));
                    item->setTransform(turn);
                }
                scene.addCutPath(item);
                items << item;
            }
            const QTransform t = randomPageTransform(rng);
            const QMarginsF margins(rng.bounded(20.0) - 5, rng.bounded(20.0) - 5, -rng.bounded(20.0), -rng.bounded(20.0));
            const QPointF offset(rng.bounded(20.0) - 10, rng.bounded(20.0) - 10);
            QByteArray all;
            for (const GPathItem *item : items) {
                const QByteArray plain = reference::pltString(*item, t, margins, offset);
                QCOMPARE(item->pltString(t, margins, offset), plain);
                item->appendPltString(all, t, margins, offset);
            }
            QCOMPARE(all, reference::plotData(items, t, margins, offset));
            bytes += all.size();
        }
        QVERIFY(bytes > 100000);
    }

    void batchedCutFileAsOneItemPerOutline()
    {
        QTemporaryDir dir;
        QRandomGenerator rng(39);
        struct Row
        {
            int paths;
            bool header;
            bool turned;
        };
        const Row rows[] = {{300, true, false}, {300, false, false}, {9000, true, true}, {500, true, true}};
        for (const Row &row : rows) {
            const QByteArray plt = randomPlt(rng, row.paths, row.header);
            const QString path = dir.filePath("cut.plt");
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(plt) == plt.size());
            f.close();
            GScene batched, plain;
            QVERIFY(batched.openFile(path));
            QVERIFY(plain.openFile(path));
            // The plain scene: its batches replaced by one item per outline.
            for (QGraphicsItem *item : plain.gItemAll())
                if (item->type() == GPathBatch::Type) {
                    plain.removeItem(item);
                    delete item;
                }
            const GMarkItem *mark = plain.page()->markItem();
            const QPointF origin = mark ? GPathProcess::mm2Point(QPointF(mark->margins().left(), mark->margins().top()))
                                        : QPointF();
            for (GPathItem *item : reference::hpglItems(plt, origin))
                plain.addCutPath(item);
            QList<QGraphicsItem *> items, plainItems;
            batched.exportCutItems(items, false, false, false);
            plain.exportCutItems(plainItems, false, false, false);
            QCOMPARE(batched.cutPathCount(), int(plainItems.size()));
            QVERIFY(row.paths < GPathBatch::kPaths || items.size() > 1);
            if (row.turned) {
                QTransform turn;
                turn.translate(120, 80).rotate(180).translate(-30, -40);
                for (QGraphicsItem *item : items + plainItems)
                    item->setTransform(turn, true);
            }
            const std::vector<GCutPath> paths = GCutPath::of(items);
            for (size_t i = 0; i < paths.size(); ++i) {
                const auto *item = static_cast<GPathItem *>(plainItems[qsizetype(i)]);
                QCOMPARE(paths[i].path(), item->path());
                QCOMPARE(paths[i].sceneBounds(), item->sceneBoundingRect());
                QCOMPARE(paths[i].penIndex(), item->penIndex());
            }
            QCOMPARE(batched.rowSegments(), plain.rowSegments());
            QCOMPARE(batched.colSegments(), plain.colSegments());
            QVERIFY(batched.saveCutFile(dir.filePath("a.plt")) && plain.saveCutFile(dir.filePath("b.plt")));
            QCOMPARE(fileBytes(dir.filePath("a.plt")), fileBytes(dir.filePath("b.plt")));
            const QTransform t = randomPageTransform(rng);
            const QMarginsF margins(8.5, 14.2, -19.8, -19.8);
            const QPointF offset(-2.8, -5.6);
            // Cutting orders: file order; nearest first; insides first by pen
            // (on the small files: it is quadratic), each with compensated pens.
            for (int order = 0; order < (row.paths > 1000 ? 1 : 3); ++order) {
                for (GScene *scene : {&batched, &plain}) {
                    scene->enableSort(order > 0);
                    scene->setSortInside(order == 2);
                    scene->setSortSP(order == 2);
                    scene->sp(2)->setFlags(order);
                    scene->sp(2)->setCloseCompensate(2.5);
                    scene->sp(2)->setKnifeCompensate(0.7);
                }
                QByteArray data;
                batched.appendPlotData(data, items, t, margins, offset);
                QCOMPARE(data, reference::plotData(plain.sortCutItems(plainItems), t, margins, offset));
            }
        }
    }
};

QTEST_MAIN(TestPlotIdentity)
#include "tst_plot_identity.moc"
