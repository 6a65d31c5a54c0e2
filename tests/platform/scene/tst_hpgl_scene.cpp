#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_batch.h"
#include "platform/scene/gpath_item.h"
#include "platform/scene/gpath_process.h"
#include "platform/scene/gscene.h"
#include "platform/hpgl/hpgl.h"
#include "platform/hpgl/hpgl_parser.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

class TstHpglScene : public QObject
{
    Q_OBJECT

private:
    static QList<HpglParser::Polyline> parse(const QByteArray &text, bool *ok = nullptr)
    {
        HpglParser p;
        QList<HpglParser::Polyline> out;
        const bool r = p.parse(text, [&](const HpglParser::Polyline &l) { out.append(l); });
        if (ok)
            *ok = r;
        return out;
    }
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    QTemporaryDir m_dir;

private slots:
    void readerVariants_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QPolygonF>("first");
        const QPolygonF sq{{0, 0}, {0, 400}, {400, 400}, {400, 0}, {0, 0}};
        QTest::newRow("plain") << QByteArray("IN;PU0,0;PD0,400,400,400,400,0,0,0;PU;") << 1 << sq;
        QTest::newRow("spaces") << QByteArray("IN;PU0 0;PD0 400 400 400 400 0 0 0;PU;") << 1 << sq;
        QTest::newRow("glued, no semicolons") << QByteArray("INPU0,0PD0,400,400,400,400,0,0,0PU") << 1 << sq;
        QTest::newRow("crlf inside") << QByteArray("IN;\r\nPU0,0;\r\nPD0,400,\r\n400,400,400,0,0,0;\r\nPU;") << 1 << sq;
        QTest::newRow("lowercase, label") << QByteArray("in;LBhello;world\x03pu0,0;pd0,400,400,400,400,0,0,0;") << 1 << sq;
        QTest::newRow("relative") << QByteArray("IN;PU0,0;PR;PD0,400,400,0,0,-400,-400,0;") << 1 << sq;
        QTest::newRow("two lines, pen up moves") << QByteArray("IN;SP2;PU10,10;PD20,10;PU30,30,40,40;PD50,40;!PG;")
                                                 << 2 << QPolygonF{{10, 10}, {20, 10}};
        QTest::newRow("pa pd") << QByteArray("IN;PA;PD;PA100,0,100,100;PU;") << 1
                               << QPolygonF{{0, 0}, {100, 0}, {100, 100}};
        QTest::newRow("header and settings") << QByteArray("IN;PS4000,2000,80,80,4,200;MD80,80,3840,1840,200;VS30;FS80;LT;DF;"
                                                           "PU0,0;PD0,400,400,400,400,0,0,0;PG;")
                                             << 1 << sq;
        QTest::newRow("lone point dropped") << QByteArray("IN;PU5,5;PD;PU;") << 0 << QPolygonF();
    }
    void readerVariants()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, lines);
        QFETCH(QPolygonF, first);
        bool ok = false;
        const auto out = parse(text, &ok);
        QVERIFY(ok);
        QCOMPARE(out.size(), lines);
        if (lines)
            QCOMPARE(out.first().points, first);
    }

    void readerPenHeaderAndArcs()
    {
        HpglParser p;
        QList<HpglParser::Polyline> out;
        QVERIFY(p.parse("IN;PS4000,2000,80,80,4,200;MD80,80,3840,1840,200;SP3;PU100,0;PD;AA0,0,90,10;PU;CI50;",
                        [&](const HpglParser::Polyline &l) { out.append(l); }));
        QCOMPARE(p.header().ps, (QList<double>{4000, 2000, 80, 80, 4, 200}));
        QCOMPARE(p.header().md.size(), 1);
        QCOMPARE(out.size(), 2);
        QCOMPARE(out[0].pen, 3);
        // A quarter arc of radius 100 in 10-degree chords ends on the y axis.
        QCOMPARE(out[0].points.size(), 10);
        QVERIFY(qAbs(out[0].points.last().x()) < 1e-9);
        QVERIFY(qAbs(out[0].points.last().y() - 100.0) < 1e-9);
        for (const QPointF &pt : out[0].points)
            QVERIFY(qAbs(QLineF(QPointF(), pt).length() - 100.0) < 1e-9);
        // The circle runs round the pen position (the arc's end) and closes.
        QCOMPARE(out[1].points.first(), out[1].points.last());
        QVERIFY(qAbs(QLineF(QPointF(0, 100), out[1].points.first()).length() - 50.0) < 1e-9);
    }

    void readerRejectsGarbage()
    {
        bool ok = true;
        QVERIFY(parse(QByteArray("\x00\x01\x02\x03garbage", 11), &ok).isEmpty());
        QVERIFY(!ok);
        QVERIFY(parse("hello world, 12 34", &ok).isEmpty());
        QVERIFY(!ok);
        // Text that names an instruction now and then ("index", "paths", "pd") is none.
        QVERIFY(parse(R"({"format":"spoolsmith-tva","pens":[{"index":1}],"paths":[{"pd":[0,0,1,1]}]})", &ok).isEmpty());
        QVERIFY(!ok);
        QVERIFY(parse("", &ok).isEmpty());
        QVERIFY(!ok);
        // Hostile numbers stay finite and arcs stay bounded.
        const auto out = parse("IN;PD1e999,99999999999999999999999;CI999999999999,0.0000001;", &ok);
        QVERIFY(ok);
        for (const auto &l : out) {
            QVERIFY(l.points.size() <= HpglParser::kMaxArcPoints + 1);
            for (const QPointF &pt : l.points)
                QVERIFY(std::isfinite(pt.x()) && std::isfinite(pt.y()));
        }
    }

    void readApiChainsLastToFirst()
    {
        static QList<QPolygonF> seen;
        seen.clear();
        const QString path = write("chain.plt", "IN;PU1,2;PD3,4,5,6;PU;");
        QVERIFY(init_HPGL());
        const int r = read_HPGL(path.toStdWString().c_str(), [](const HpglRecord *rec) {
            QPolygonF line;
            for (const HpglNode *n = rec->head; n; n = n->next)
                line.prepend(QPointF(n->x, n->y));
            seen.append(line);
        });
        exit_HPGL();
        QCOMPARE(r, int(HPGL_OK));
        QCOMPARE(seen, (QList<QPolygonF>{QPolygonF{{1, 2}, {3, 4}, {5, 6}}}));
        QCOMPARE(read_HPGL(path.toStdWString().c_str(), nullptr), int(HPGL_ERR_NOT_INITIALISED));
        init_HPGL();
        QCOMPARE(read_HPGL(m_dir.filePath("missing.plt").toStdWString().c_str(), nullptr), int(HPGL_ERR_OPEN));
        exit_HPGL();
    }

    void units()
    {
        QCOMPARE(GPathProcess::mm2Hpgl(1.0), 40.0);
        QCOMPARE(GPathProcess::mm2Point(25.4), 72.0);
        QCOMPARE(GPathProcess::hpgl2Point(QPointF(40, 80)), GPathProcess::mm2Point(QPointF(1, 2)));
        // Cutter X runs along the web, the scene's y.
        QCOMPARE(GPathProcess::hpglToScene(QPointF(40, 0)), QPointF(0, GPathProcess::mm2Point(1.0)));
        QCOMPARE(GPathProcess::sceneToHpgl(GPathProcess::hpglToScene(QPointF(12, 34))), QPointF(12, 34));
    }

    void pageKeepsExactSize()
    {
        GPage page;
        page.setSize(QSizeF(105.0, 148.2));
        const QSizeF mm = page.layout().fullRect(QPageLayout::Millimeter).size();
        QVERIFY(qAbs(mm.width() - 105.0) < 1e-6);
        QVERIFY(qAbs(mm.height() - 148.2) < 1e-6);
        QVERIFY(page.layout().pageSize().id() != QPageSize::A6);
    }

    void openHeaderBuildsPageAndMarks()
    {
        GScene scene;
        // Page 100 (across) x 200 (along) mm, first mark at (3, 5) mm, marks
        // area 90 x 188 mm, four marks of 4 mm.
        const QString path = write("marks.plt", "IN;PS8000,4000,200,120,4,160;MD200,120,7520,3600,160;"
                                                "PU0,0;PD0,400,400,400,400,0,0,0;PG;");
        QVERIFY(scene.openFile(path));
        const QSizeF mm = scene.page()->layout().fullRect(QPageLayout::Millimeter).size();
        QVERIFY(qAbs(mm.width() - 100.0) < 1e-6 && qAbs(mm.height() - 200.0) < 1e-6);
        GMarkItem *mark = scene.page()->markItem();
        QVERIFY(mark);
        QCOMPARE(mark->markType(), 4);
        QCOMPARE(mark->markSize(), 4.0);
        const QMarginsF m = mark->margins();
        QVERIFY(qAbs(m.left() - 3.0) < 1e-9 && qAbs(m.top() - 5.0) < 1e-9);
        QVERIFY(qAbs(m.right() + 7.0) < 1e-9 && qAbs(m.bottom() + 7.0) < 1e-9);
        // The path sits at the first mark: cutter (0..400) -> scene 10 mm square at (3, 5) mm.
        QList<QGraphicsItem *> items;
        scene.exportCutItems(items, false, false, false);
        QCOMPARE(scene.cutPathCount(), 1);
        const QRectF b = GPathProcess::point2Mm(GCutPath::of(items).front().sceneBounds());
        QVERIFY(qAbs(b.left() - 3.0) < 1e-9 && qAbs(b.top() - 5.0) < 1e-9 && qAbs(b.width() - 10.0) < 1e-9);
    }

    void zeroPageHeaderRefused()
    {
        GScene scene;
        QVERIFY(scene.openFile(write("zero.plt", "IN;PS0,0,0,0,4,160;MD0,0,0,0,160;PU0,0;PD400,0;")));
        QVERIFY(!scene.page()->markItem());
        const QSizeF mm = scene.page()->layout().fullRect(QPageLayout::Millimeter).size();
        QVERIFY(mm.width() > 0 && mm.height() > 0);
    }

    void garbageGivesEmptySceneAndError()
    {
        GScene scene;
        QVERIFY(scene.openFile(write("ok.plt", "IN;PU0,0;PD0,400;")));
        QVERIFY(!scene.gItemAll().isEmpty());
        QByteArray junk(4096, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char((i * 131) & 0xff);
        QVERIFY(!scene.openFile(write("junk.plt", junk)));
        QVERIFY(scene.gItemAll().isEmpty());
        QVERIFY(!scene.errorString().isEmpty());
        QVERIFY(!scene.openFile(write("junk.tva", "{not json")));
        QVERIFY(scene.gItemAll().isEmpty());
        QVERIFY(!scene.openFile(m_dir.filePath("nope.plt")));
    }

    void tvaRoundTrip()
    {
        GScene a;
        QVERIFY(a.openFile(write("src.plt", "IN;PS8000,4000,200,120,4,160;MD200,120,7520,3600,160;SP2;"
                                            "PU0,0;PD0,400,400,400;PU;SP1;PU800,800;PD1200,800;")));
        a.sp(1)->setGSpFlag(GSp::KnifeCompensate, true);
        a.sp(1)->setKnifeCompensate(1.5);
        a.enableSort(true);
        QList<QGraphicsItem *> items;
        a.exportCutItems(items, false, false, false);
        items.first()->setTransform(QTransform::fromTranslate(3, 4));
        const QString tva = m_dir.filePath("copy.tva");
        QVERIFY(a.exportFile(tva, items));
        GScene b;
        QVERIFY(b.openFile(tva));
        QCOMPARE(b.page()->layout().fullRect(QPageLayout::Millimeter), a.page()->layout().fullRect(QPageLayout::Millimeter));
        QCOMPARE(b.page()->markItem()->margins(), a.page()->markItem()->margins());
        QVERIFY(b.isSort());
        QVERIFY(b.sp(1)->testGSpFlag(GSp::KnifeCompensate));
        QCOMPARE(b.sp(1)->knifeCompensate(), 1.5);
        QList<QGraphicsItem *> got;
        b.exportCutItems(got, false, false, false);
        QCOMPARE(b.cutPathCount(), 2);
        const std::vector<GCutPath> was = GCutPath::of(items), is = GCutPath::of(got);
        for (int i = 0; i < 2; ++i) {
            QByteArray x, y;
            was[size_t(i)].appendHpgl(x, QTransform(), {}, {}, true);
            is[size_t(i)].appendHpgl(y, QTransform(), {}, {}, true);
            QCOMPARE(y, x);
        }
    }

    // Numbers beyond the HPGL reader's bound refuse the whole template with
    // a message: rounded to the cutter's integers they are undefined.
    void tvaNumbersAreBounded_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("mark");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("accepted");
        const QByteArray page = R"("width":100,"height":200)";
        const QByteArray mark = R"("type":4,"size":4,"margins":[3,5,-7,-7])";
        const QByteArray path = R"("pen":1,"subpaths":[[0,0,28,0,28,28]])";
        QTest::newRow("sane") << page << mark << path << true;
        QTest::newRow("point") << page << mark << QByteArray(R"("subpaths":[[0,0,1e300,0]])") << false;
        QTest::newRow("transform") << page << mark << path + R"(,"transform":[1,0,0,0,1,0,1e300,0,1])" << false;
        QTest::newRow("scaled far out") << page << mark << path + R"(,"transform":[1e7,0,0,0,1e7,0,0,0,1])" << false;
        QTest::newRow("page") << QByteArray(R"("width":1e300,"height":200)") << mark << path << false;
        QTest::newRow("margin") << page << QByteArray(R"("type":4,"size":4,"margins":[3,5,-1e300,-7])") << path << false;
        QTest::newRow("mark size") << page << QByteArray(R"("type":4,"size":1e300,"margins":[3,5,-7,-7])") << path
                                   << false;
    }
    void tvaNumbersAreBounded()
    {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, mark);
        QFETCH(QByteArray, path);
        QFETCH(bool, accepted);
        const QByteArray doc = R"({"format":"spoolsmith-tva","version":1,"page":{)" + page + R"(},"mark":{)" + mark
                               + R"(},"paths":[{)" + path + "}]}";
        GScene scene;
        QCOMPARE(scene.openFile(write("bounded.tva", doc)), accepted);
        QCOMPARE(scene.gItemAll().isEmpty(), !accepted);
        if (!accepted)
            QVERIFY2(scene.errorString().contains("out of range"), qPrintable(scene.errorString()));
    }

    void sortOrders()
    {
        GScene scene;
        // Far square, then a big outline with a small one inside, file order.
        QVERIFY(scene.openFile(write("sort.plt", "IN;SP1;PU4000,4000;PD4000,4400,4400,4400,4000,4000;"
                                                 "SP2;PU100,100;PD100,1100,1100,1100,1100,100,100,100;"
                                                 "SP1;PU500,500;PD500,600,600,600,600,500,500,500;")));
        QList<QGraphicsItem *> items;
        scene.exportCutItems(items, false, false, false);
        const std::vector<GCutPath> paths = GCutPath::of(items);
        auto order = [&] {
            QList<int> idx;
            for (const GCutPath &p : scene.cutOrder(items))
                idx.append(int(std::find(paths.begin(), paths.end(), p) - paths.begin()));
            return idx;
        };
        QCOMPARE(order(), (QList<int>{0, 1, 2}));
        scene.enableSort(true);
        QCOMPARE(order(), (QList<int>{1, 2, 0}));
        scene.setSortInside(true);
        QCOMPARE(order(), (QList<int>{2, 1, 0}));
        scene.setSortSP(true);
        QCOMPARE(order(), (QList<int>{2, 0, 1}));
    }

    void compensation()
    {
        QPainterPath sq;
        sq.addPolygon(QPolygonF{{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}});
        const QPolygonF over = GPathProcess::closeCompensatePath(sq, 3).toSubpathPolygons().first();
        QCOMPARE(over.last(), QPointF(3, 0));
        const QPolygonF knife = GPathProcess::knifeCompensatePath(sq, 1, 0).toSubpathPolygons().first();
        QCOMPARE(knife[1], QPointF(11, 0));
        // Every swivel point stays on the circle round its corner.
        QVERIFY(knife.size() > 5);
        QVERIFY(qAbs(QLineF(QPointF(10, 0), knife[2]).length() - 1.0) < 1e-9);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TstHpglScene t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_hpgl_scene.moc"
