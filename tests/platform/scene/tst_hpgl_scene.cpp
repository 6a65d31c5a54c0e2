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

    // One small file for each construct: the outlines it draws (their
    // number and extent, plotter units) and the page it opens on (mm; none:
    // not checked).
    void constructs_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("outlines");
        QTest::addColumn<QRectF>("bounds");
        QTest::addColumn<QSizeF>("page");
        const QByteArray sq = "SP1;PU0,0;PD4000,0,4000,4000,0,4000,0,0;PU;";
        const QRectF sqBounds(0, 0, 4000, 4000);
        const QSizeF sqPage(101, 101); // the drawing's extent, whole millimetres past it
        QTest::newRow("comment") << "CO\"made by hand\";IN;" + sq << 1 << sqBounds << sqPage;
        QTest::newRow("PJL wrapper") << "\x1b%-12345X@PJL JOB NAME=\"sq\"\r\n@PJL SET RESOLUTION=600\r\n@PJL ENTER "
                                        "LANGUAGE=HPGL2\r\n\x1b" "E\x1b%0BIN;" + sq + "\x1b%0A\x1b" "E\x1b%-12345X@PJL EOJ\r\n\x1b%-12345X"
                                     << 1 << sqBounds << sqPage;
        QTest::newRow("BP") << "BP1,\"a drawing named after its shape\",5,1;IN;" + sq << 1 << sqBounds << sqPage;
        QTest::newRow("DT labels") << "IN;DT*,1;LBPD1,2 with \x03 mark, then more plain text over here*;" + sq << 1 << sqBounds << sqPage;
        QTest::newRow("NUL padding") << "IN;" + sq + QByteArray(600, '\0') << 1 << sqBounds << sqPage;
        QTest::newRow("PE 8-bit") << QByteArray("IN;SP1;PE<=\xbf\xbf\x3f|\xc0\xbf\xbf\x3f|\xc0@|\xc0\xbf\xbf@|\xc0;PU;") << 1
                                  << sqBounds << sqPage;
        QTest::newRow("PE 7-bit, 2 fraction bits") << QByteArray("IN;SP1;PE7>c<=__\x3fG~__\x3fG~@G~__@G~;PU;") << 1
                                                   << sqBounds << sqPage;
        QTest::newRow("EA") << QByteArray("IN;SP1;PU0,0;EA4000,4000;PU5000,0;EA9000,4000;PU;") << 2
                            << QRectF(0, 0, 9000, 4000) << QSizeF(101, 226);
        QTest::newRow("ER") << QByteArray("IN;PU1000,1000;ER2000,-1000;") << 1 << QRectF(1000, 0, 2000, 1000) << QSizeF();
        QTest::newRow("RA, then EA") << QByteArray("IN;PU0,0;RA4000,4000;EA4000,4000;") << 1 << sqBounds << sqPage;
        QTest::newRow("RR") << QByteArray("IN;PU0,0;RR4000,4000;") << 1 << sqBounds << sqPage;
        QTest::newRow("EW") << QByteArray("IN;PU0,0;EW4000,0,90;") << 1 << sqBounds << sqPage;
        QTest::newRow("WG") << QByteArray("IN;PU4000,4000;WG-4000,0,90;") << 1 << sqBounds << sqPage;
        QTest::newRow("CI") << QByteArray("IN;PU4000,4000;CI2000;") << 1 << QRectF(2000, 2000, 4000, 4000) << QSizeF(150, 150);
        QTest::newRow("AA") << QByteArray("IN;PU4000,0;PD;AA0,0,90;PU;") << 1 << sqBounds << sqPage;
        QTest::newRow("AT") << QByteArray("IN;PU0,0;PD;AT2000,2000,4000,0;PU;") << 1 << QRectF(0, 0, 4000, 2000) << QSizeF();
        QTest::newRow("BZ") << QByteArray("IN;PU0,0;PD;BZ0,4000,4000,4000,4000,0;PU;") << 1 << QRectF(0, 0, 4000, 3000)
                            << QSizeF();
        QTest::newRow("polygon, filled and edged") << QByteArray("IN;PU0,0;PM0;PD4000,0,4000,4000,0,4000;PM2;FP;EP;") << 1
                                                   << sqBounds << sqPage;
        QTest::newRow("polygon of two") << QByteArray("IN;PU0,0;PM0;PD4000,0,4000,4000,0,4000;PM1;PU1000,1000;"
                                                      "PD3000,1000,3000,3000,1000,3000;PM2;EP;")
                                        << 2 << sqBounds << sqPage;
        QTest::newRow("SC, no IP") << "IN;SC0,297,0,210;" + QByteArray(sq).replace("4000", "100") << 1 << sqBounds
                                   << sqPage;
        QTest::newRow("SC with IP") << QByteArray("IN;IP0,0,400,400;SC0,200000,0,200000;") + QByteArray(sq).replace("4000", "200000")
                                    << 1 << QRectF(0, 0, 400, 400) << QSizeF(11, 11);
        QTest::newRow("SC isotropic") << "IN;IP0,0,8000,4000;SC0,100,0,100,1;" + QByteArray(sq).replace("4000", "100")
                                      << 1 << QRectF(2000, 0, 4000, 4000) << QSizeF(101, 150);
        QTest::newRow("SC point factor") << "IN;SC0,40,0,40,2;" + QByteArray(sq).replace("4000", "100") << 1 << sqBounds
                                         << sqPage;
        QTest::newRow("relative under SC") << QByteArray("IN;SC0,297,0,210;PU10,10;PR;PD100,0,0,100,-100,0,0,-100;") << 1
                                           << QRectF(400, 400, 4000, 4000) << QSizeF(110, 110);
        QTest::newRow("RO90") << QByteArray("IN;PS8000,4000;RO90;PU0,0;PD1000,0,1000,2000;PU;") << 1
                              << QRectF(6000, 0, 2000, 1000) << QSizeF(100, 200);
        QTest::newRow("IW") << "IN;IW0,0,2000,4000;" + sq << 2 << QRectF(0, 0, 2000, 4000) << QSizeF();
        QTest::newRow("XT") << QByteArray("IN;IP0,0,4000,4000;PU1000,1000;XT;") << 1 << QRectF(1000, 980, 0, 40) << QSizeF();
        QTest::newRow("lower case") << "in;" + sq.toLower() << 1 << sqBounds << sqPage;
        QTest::newRow("no separators") << QByteArray("INSP1PU0,0PD4000,0,4000,4000,0,4000,0,0PU") << 1 << sqBounds << sqPage;
        QTest::newRow("CR/LF") << QByteArray("IN;\r\nSP1;\r\nPU0,0;\r\nPD4000,0,\r\n4000,4000,0,4000,0,0;\r\n") << 1
                               << sqBounds << sqPage;
    }
    void constructs()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, outlines);
        QFETCH(QRectF, bounds);
        QFETCH(QSizeF, page);
        bool ok = false;
        const auto out = parse(text, &ok);
        QVERIFY(ok);
        QCOMPARE(out.size(), outlines);
        QRectF all;
        for (const auto &l : out)
            all = all.isNull() ? l.points.boundingRect() : all.united(l.points.boundingRect());
        const auto near = [](const QRectF &a, const QRectF &b) {
            return qAbs(a.left() - b.left()) < 1e-6 && qAbs(a.top() - b.top()) < 1e-6 && qAbs(a.right() - b.right()) < 1e-6
                   && qAbs(a.bottom() - b.bottom()) < 1e-6;
        };
        QVERIFY2(near(all, bounds), qPrintable(QStringLiteral("%1 %2 %3 %4").arg(all.x()).arg(all.y()).arg(all.width()).arg(all.height())));
        GScene::HpglContent content;
        QString error;
        QVERIFY(GScene::parseHpgl(text, "c.plt", &content, &error));
        if (page.isValid())
            QCOMPARE(content.pageMm, page);
        delete content.mark;
        qDeleteAll(content.items);
    }

    // What is no cut file is refused with its reason; what draws where the
    // reader cannot place it is refused with the instruction named.
    void refusals_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("uncut");
        QTest::newRow("SVG") << QByteArray("<?xml version=\"1.0\"?>\n<svg width=\"100mm\"><path d=\"M0 0L10 10\"/></svg>")
                             << "SVG" << QString();
        QTest::newRow("DXF") << QByteArray("  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1009\n  0\nENDSEC\n") << "DXF"
                             << QString();
        QTest::newRow("PDF") << QByteArray("%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\n") << "PDF" << QString();
        QTest::newRow("PostScript") << QByteArray("%!PS-Adobe-3.0\nnewpath 0 0 moveto 10 10 lineto stroke\n")
                                    << "PostScript" << QString();
        QTest::newRow("gzip") << QByteArray("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03IN;PD", 15) << "gzip" << QString();
        QTest::newRow("PNG") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << "PNG" << QString();
        QTest::newRow("UTF-16") << QByteArray("I\0N\0;\0P\0D\0001\0,\0002\0;\0", 18) << "UTF-16" << QString();
        QTest::newRow("PJL job in PostScript") << QByteArray("\x1b%-12345X@PJL ENTER LANGUAGE=POSTSCRIPT\r\nIN;PD1,1;")
                                               << "POSTSCRIPT" << QString();
        QTest::newRow("another cutter language") << QByteArray("H\r\nM100,100\r\nD200,100,200,200\r\nH\r\n")
                                                 << "no HPGL instruction" << QString();
        QTest::newRow("prose") << QByteArray("The quick brown fox jumps over the lazy dog, paper size A4.") << "text" << QString();
        QTest::newRow("draws from a label's end") << QByteArray("IN;PU0,0;LBtext\x03PR;PD100,0;") << "LB" << "LB";
    }
    void refusals()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QFETCH(QString, uncut);
        HpglParser p;
        QVERIFY(!p.parse(bytes, {}));
        QVERIFY2(p.errorString().contains(reason), qPrintable(p.errorString()));
        QCOMPARE(p.uncutInstruction(), uncut);
    }

    // Files written by public programs (see hpgl_files/README.md), each
    // against a reading made by hand from what the program was given,
    // within the one unit a writer rounds to.
    void realFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<QRectF>>("outlines");
        // gnuplot: SC0,10000,0,7500 onto the A4 frame, 1.188 and 1.12 plotter units a user unit.
        QTest::newRow("gnuplot hpgl, a label") << "gnuplot-hpgl-label.plt"
                                              << QList<QRectF>{QRectF(QPointF(3010.392, 2133.6), QPointF(8851.788, 6265.28))};
        QTest::newRow("gnuplot pcl5, PE") << "gnuplot-pcl5-pe.plt" << QList<QRectF>{QRectF(2500, 1860, 4999, 3719)};
        // plotutils: a 100 mm square, as IP0,0,4000,4000 scales it.
        const QList<QRectF> square{QRectF(0, 0, 4000, 4000)};
        QTest::newRow("plotutils HP-GL") << "plotutils-hpgl1-scaled.plt" << square;
        QTest::newRow("plotutils HP-GL 1.5, polygon") << "plotutils-hpgl15-polygon.plt" << square;
        QTest::newRow("plotutils HP-GL/2, filled") << "plotutils-hpgl2-filled.plt" << square;
        // 100 x 60 mm turned a quarter on a frame 11379 long: X = 11379 - y, Y = x.
        QTest::newRow("plotutils HP-GL/2, RO90") << "plotutils-hpgl2-ro90.plt"
                                                 << QList<QRectF>{QRectF(QPointF(8979, 0), QPointF(11379, 4000))};
        QTest::newRow("plotutils PCL 5") << "plotutils-pcl5.plt" << QList<QRectF>{QRectF(1961, 3431, 4000, 4000)};
        // pstoedit: a 100 mm square from (20, 30) mm and a circle of 25 mm round (70, 80) mm, in whole units.
        QTest::newRow("pstoedit HP-GL/2") << "pstoedit-hpgl2-square-circle.plt"
                                          << QList<QRectF>{QRectF(800, 1200, 4000, 4000), QRectF(1800, 2200, 2000, 2000)};
    }
    void realFiles()
    {
        QFETCH(QString, file);
        QFETCH(QList<QRectF>, outlines);
        QFile f(QStringLiteral(HPGL_FILES_DIR "/") + file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        bool ok = false;
        const auto out = parse(f.readAll(), &ok);
        QVERIFY(ok);
        QCOMPARE(out.size(), outlines.size());
        for (qsizetype i = 0; i < out.size(); ++i) {
            const QRectF b = out[i].points.boundingRect(), e = outlines[i];
            QVERIFY2(qAbs(b.left() - e.left()) <= 1.0 && qAbs(b.top() - e.top()) <= 1.0 && qAbs(b.right() - e.right()) <= 1.0
                         && qAbs(b.bottom() - e.bottom()) <= 1.0,
                     qPrintable(QStringLiteral("%1: %2 %3 %4 %5").arg(i).arg(b.left()).arg(b.top()).arg(b.right()).arg(b.bottom())));
        }
    }

    // A parse asked to stop ends at once, with nothing more delivered.
    void stopFlag()
    {
        QByteArray big = "IN;";
        while (big.size() < 4 * 1024 * 1024)
            big += "PU0,0;PD10,10;";
        std::atomic<bool> stop{true};
        HpglParser p;
        p.setStopFlag(&stop);
        qsizetype lines = 0;
        QVERIFY(!p.parse(big, [&](const HpglParser::Polyline &) { ++lines; }));
        QVERIFY(p.stopped());
        QCOMPARE(lines, 0);
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
