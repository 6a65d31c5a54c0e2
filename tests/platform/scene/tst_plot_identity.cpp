// The plot data built straight into one buffer against the plain builder it
// replaced: the same bytes for thousands of generated outlines (curves, lone
// points, several sub-paths, compensated pens, turned items, projective page
// transforms, coordinates far out and negative).
#include "platform/scene/gpath_item.h"
#include "platform/scene/gscene.h"
#include "platform/scene/gsp.h"
#include "tests/support/reference_plot_data.h"

#include <QPainterPath>
#include <QRandomGenerator>
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
            QList<GPathItem *> items;
            for (int i = 0; i < 50; ++i) {
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
};

QTEST_MAIN(TestPlotIdentity)
#include "tst_plot_identity.moc"
