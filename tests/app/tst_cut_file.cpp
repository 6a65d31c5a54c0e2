#include "settings/production_counters.h"
#include "app/cut_scene_settings.h"
#include "app/cut/cut_file_loader.h"
#include "app/cut/cut_geometry.h"
#include "tests/support/app_test_main.h"
#include "tests/support/device_fixture.h"
#include "tests/support/gui_thread_watch.h"
#include "tests/support/hang_bound.h"
#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_batch.h"
#include "platform/scene/gpath_process.h"
#include "app/graphics_view.h"
#include "platform/scene/gscene.h"
#include "app/plt_quick_view.h"
#include "tests/support/recording_prompt.h"
#include "app/spoolsmith_app.h"
#include "app/capture/capture_sync.h"

#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QPainter>
#include <QPainterPath>
#include <QSettings>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <ctime>

#include <algorithm>
#include <memory>

namespace {
// Page 100 mm across x 200 mm along the web, first mark at (3, 5) mm,
// mark rectangle 90 x 188 mm, four marks of 4 mm; a 10 mm square at mark 1.
const QByteArray kMarked = "IN;PS8000,4000,200,120,4,160;MD200,120,7520,3600,160;"
                           "SP1;PU0,0;PD0,400,400,400,400,0,0,0;PG;";

// The template as Qt's rasteriser fills it, for reference: every outline
// closed through its first x and last y, all of them with the odd-even rule,
// a pixel black when its centre lies inside.
QImage rasterisedByQt(const QRectF &pagePoints, const QList<QGraphicsItem *> &items)
{
    QImage img((pagePoints.size() * 5.0).toSize(), QImage::Format_Grayscale8);
    img.fill(Qt::white);
    QPainter painter(&img);
    painter.setTransform(QTransform::fromScale(5.0, 5.0));
    QPainterPath all;
    all.setFillRule(Qt::OddEvenFill);
    for (const GCutPath &path : GCutPath::of(items)) {
        QPainterPath p = path.path();
        if (p.elementCount() < 2)
            continue;
        p.lineTo(p.elementAt(0).x, p.elementAt(p.elementCount() - 1).y);
        p.closeSubpath();
        all.addPath(path.item->mapToScene(p));
    }
    painter.fillPath(all, Qt::black);
    return img;
}

// Pixels of the template that differ from Qt's fill away from an outline
// (where the reference's 3 x 3 neighbourhood is all black or all white);
// on an outline the two may round a pixel centre apart.
int differencesAwayFromOutlines(const cv::Mat &templ, const QImage &reference)
{
    if (templ.rows != reference.height() || templ.cols != reference.width())
        return -1;
    int away = 0;
    for (int y = 0; y < templ.rows; ++y)
        for (int x = 0; x < templ.cols; ++x) {
            const uchar mine = templ.at<uchar>(y, x);
            if (mine == reference.constScanLine(y)[x])
                continue;
            bool mixed = false;
            for (int dy = -1; dy <= 1 && !mixed; ++dy)
                for (int dx = -1; dx <= 1 && !mixed; ++dx) {
                    const int yy = std::clamp(y + dy, 0, templ.rows - 1), xx = std::clamp(x + dx, 0, templ.cols - 1);
                    mixed = reference.constScanLine(yy)[xx] == mine;
                }
            away += mixed ? 0 : 1;
        }
    return away;
}

QImage pictureOfMat(const cv::Mat &grey)
{
    return QImage(grey.data, grey.cols, grey.rows, int(grey.step), QImage::Format_Grayscale8);
}
} // namespace

// Counts the resizes of a cut view's viewport; past a bound it stops the
// round by taking the scroll bars away.
class ResizeCounter : public QObject
{
public:
    int count = 0;
    QAbstractScrollArea *view = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize && ++count == 50 && view) {
            view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        }
        return QObject::eventFilter(watched, event);
    }
};

class TstCutFile : public QObject
{
    Q_OBJECT

    SpoolsmithApp *app() { return SpoolsmithApp::instance(); }

    DeviceFixture f;
    RecordingPrompt m_prompt;

    // A marked page of short lines, megabytes long.
    static QByteArray largePlt(int megabytes)
    {
        QByteArray text = kMarked;
        text.reserve((megabytes + 1) * 1024 * 1024);
        for (int i = 0; text.size() < megabytes * 1024 * 1024; ++i) {
            const QByteArray x = QByteArray::number(400 + i % 7000), y = QByteArray::number(400 + (i / 7000) % 3000);
            text += "PU" + x + ',' + y + ";PD" + x + ',' + QByteArray::number(y.toInt() + 40) + ";\n";
        }
        return text;
    }

    // The preview reads on a thread of its own: true once it took the file.
    static bool shows(PltQuickView &view, const QString &path)
    {
        QSignalSpy read(&view, &PltQuickView::fileRead);
        view.setFile(path);
        return read.wait(kHangMs);
    }

    // How a file comes into the scene: the operator's, a job's page-code
    // switch, QML's onOpenScene, a changed cut direction's reopen.
    enum Road { Operator, PageCode, OpenScene, CutDirection };

    // The page-code switch as the page search runs it, on a thread of its own.
    void switchByCode(quint32 code)
    {
        QThread task;
        task.start();
        bool done = false;
        auto *worker = new QObject;
        worker->moveToThread(&task);
        QMetaObject::invokeMethod(worker, [&] {
            app()->setSwitchCutFile(true);
            app()->setPageCode(code);
            app()->setSwitchCutFile(false);
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, kHangMs);
        task.quit();
        task.wait();
        delete worker;
    }

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=false"));
        Prompt::setInstance(&m_prompt);
    }
    void init()
    {
        QVERIFY(f.makeSettings(DeviceFixture::Folder::Program));
        // Each opened file asks the check camera for a picture nobody takes here.
        f.config->setProperty(Config::CPT_Wait_Capture, 200);
        CutSceneSettings::install([] { return SpoolsmithApp::instance()->cutScene(); });
        f.makeDevice(DeviceFixture::Driver::Registered);
        app()->setTaskStatus(2);
        app()->cutScene()->gClear();
    }
    void cleanup()
    {
        // A stop the page-code switch started still uses the driver.
        app()->joinControlThreads();
        app()->waitTemplateFile();
        f.tearDown();
    }

    void roundTripThroughPreview()
    {
        QFile::remove("bk.png");
        QSignalSpy shown(app(), &SpoolsmithApp::cutShowFileChanged);
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        QCOMPARE(shown.size(), 1);
        QCOMPARE(app()->cutShowFile(), app()->appPath() + "/plt.plt");
        app()->waitTemplateFile();
        QVERIFY(QFile::exists("bk.png"));
        QCOMPARE(app()->cutPageSize(), QSizeF(100, 200));

        PltQuickView source;
        QVERIFY(shows(source, f.dir->filePath("job.plt")));
        const QList<QPolygonF> sourceLines = PltQuickView::polylines();
        PltQuickView preview;
        QVERIFY(shows(preview, app()->cutShowFile()));
        QCOMPARE(preview.pageRect(), GPathProcess::mm2Point(QRectF(0, 0, 100, 200)));
        QCOMPARE(preview.pageRect(), source.pageRect());
        QCOMPARE(preview.origin(), GPathProcess::mm2Point(QPointF(3, 5)));
        QCOMPARE(preview.origin(), source.origin());
        QCOMPARE(preview.farCornerAdjustment(), source.farCornerAdjustment());
        QCOMPARE(preview.markType(), 4);
        QCOMPARE(preview.markSize(), source.markSize());
        QCOMPARE(PltQuickView::polylines(), sourceLines);
        QVERIFY(m_prompt.shown.isEmpty());
    }

    void plotDataOfKnownSquare()
    {
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        f.config->setMarkCameraOffsetX(1.0); // 40 units
        f.config->setMarkCameraOffsetY(2.0); // 80 units
        // The page transform works in cutter axes, in points: +100, +200 units.
        const QTransform t = QTransform::fromTranslate(GPathProcess::hpgl2Point(100.0), GPathProcess::hpgl2Point(200.0));
        const QByteArray data = app()->generatePltData(t);
        QCOMPARE(data, QByteArray("SP1;PU60,120;PD60,520,460,520,460,120,60,120;"));
        QCOMPARE(f.device->pltData(), data);
        QFile tmp("tmp.plt");
        QVERIFY(tmp.open(QIODevice::ReadOnly));
        QCOMPARE(tmp.readAll(), data);

        f.config->setMarkCameraOffsetX(0.0);
        f.config->setMarkCameraOffsetY(0.0);
        QCOMPARE(app()->generatePltData(QTransform::fromScale(2, 2)),
                 QByteArray("SP1;PU0,0;PD0,800,800,800,800,0,0,0;"));
    }

    void reversedCuttingTurnsAboutTheMarks()
    {
        f.config->setProperty(Config::CPT_Cut_Inverse, true);
        f.device->clearPltData();
        app()->setCutFile(f.writeFile("line.plt", "IN;PS8000,4000,200,120,4,160;MD200,120,7520,3600,160;PU0,0;PD0,400;"));
        // Mark 1 lands on mark 3: (7520, 3600) in cutter units.
        QCOMPARE(f.device->pltData(), QByteArray("SP1;PU7520,3600;PD7520,3200;"));
        f.config->setPageSpacing(0.5); // 20 units against the web
        QCOMPARE(app()->generatePltData(QTransform()), QByteArray("SP1;PU7500,3600;PD7500,3200;"));
        f.config->setPageSpacing(0.0);
        f.config->setProperty(Config::CPT_Cut_Inverse, false);
        f.device->clearPltData();
        app()->setCutFile(f.dir->filePath("line.plt"));
        QVERIFY(f.device->pltData().isEmpty()); // only reversed cutting builds it at opening
    }

    // A changed cut direction loads the open cut file again under it.
    void cutDirectionChangeReloadsTheOpenFile()
    {
        QSignalSpy opened(app(), &SpoolsmithApp::openScene);
        const QString path = f.writeFile("line.plt", "IN;PS8000,4000,200,120,4,160;MD200,120,7520,3600,160;PU0,0;PD0,400;");
        app()->setCutFile(path);
        QVERIFY(f.device->pltData().isEmpty());
        f.config->setProperty(Config::CPT_Cut_Inverse, true);
        app()->onPropertyChanged(Config::CPT_Cut_Inverse, true);
        QCOMPARE(opened.count(), 2);
        QCOMPARE(opened.last().first().toString(), path);
        QCOMPARE(f.device->pltData(), QByteArray("SP1;PU7520,3600;PD7520,3200;"));
        f.config->setProperty(Config::CPT_Cut_Inverse, false);
    }

    // A reversed file is cut as shown at its opening, also after the page
    // search's switch; reversing off gives the outlines as drawn, on again
    // turns them once. A ".tva" is cut through its turned preview, which is
    // never turned a second time.
    void reversedFileIsCutAsOpened_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("plt") << QStringLiteral("plt");
        QTest::newRow("tva") << QStringLiteral("tva");
    }
    void reversedFileIsCutAsOpened()
    {
        QFETCH(QString, suffix);
        const QByteArray asDrawn = "SP1;PU0,0;PD0,400,400,400,400,0,0,0;";
        const QByteArray turned = "SP1;PU7520,3600;PD7520,3200,7120,3200,7120,3600,7520,3600;";
        app()->setCutFile(f.writeFile("marked.plt", kMarked));
        const QString path = f.dir->filePath("marked." + suffix);
        app()->setSaveFile(path); // the template, exported from the scene
        f.config->setProperty(Config::CPT_Cut_Inverse, true);
        f.device->clearPltData();
        app()->setCutFile(path);
        QCOMPARE(f.device->pltData(), turned);
        app()->setTaskStatus(1);
        switchByCode(0);
        QCOMPARE(f.device->pltData(), turned);
        app()->setTaskStatus(2);
        for (const bool reversed : {false, true, false}) {
            f.config->setProperty(Config::CPT_Cut_Inverse, reversed);
            app()->onPropertyChanged(Config::CPT_Cut_Inverse, reversed);
            QCOMPARE(app()->generatePltData(QTransform()), reversed ? turned : asDrawn);
        }
    }

    // A page size equal to a standard one defined in inches is still taken
    // in millimetres, and so are the marks' positions along the web.
    void pageSizesInMillimetres_data()
    {
        QTest::addColumn<QByteArray>("ps");
        QTest::addColumn<QSizeF>("page");
        QTest::newRow("Letter") << QByteArray("PS11176,8636,400,400,4,160;") << QSizeF(215.9, 279.4);
        QTest::newRow("Legal") << QByteArray("PS14224,8636,400,400,4,160;") << QSizeF(215.9, 355.6);
        QTest::newRow("Tabloid") << QByteArray("PS17272,11176,400,400,4,160;") << QSizeF(279.4, 431.8);
        QTest::newRow("A4") << QByteArray("PS11880,8400,400,400,4,160;") << QSizeF(210, 297);
        QTest::newRow("own size") << QByteArray("PS8000,4000,400,400,4,160;") << QSizeF(100, 200);
    }
    void pageSizesInMillimetres()
    {
        QFETCH(QByteArray, ps);
        QFETCH(QSizeF, page);
        f.config->setPageSpacing(2.5);
        app()->setCutFile(f.writeFile("sized.plt", "IN;" + ps + "SP1;PU0,0;PD0,400;PG;"));
        const QSizeF got = app()->cutPageSize();
        QVERIFY2(qAbs(got.width() - page.width()) < 1e-9 && qAbs(got.height() - page.height()) < 1e-9,
                 qPrintable(QStringLiteral("%1 x %2").arg(got.width()).arg(got.height())));
        QCOMPARE(app()->currentPageMarkPoint(true).at(3), GPathProcess::mm2Hpgl(QPointF(page.height() + 2.5, 0)));
        f.config->setPageSpacing(0.0);
    }

    void markGeometry()
    {
        QCOMPARE(app()->pageMarkType(), 4); // empty scene
        app()->setCutFile(f.writeFile("plain.plt", "IN;PU0,0;PD400,0;"));
        QCOMPARE(app()->pageMarkType(), -1);
        QVERIFY(app()->currentPageMarkPoint(true).isEmpty());
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        f.config->setPageSpacing(2.0);
        QCOMPARE(app()->currentPageMarkPoint(true),
                 (QList<QPointF>{{0, 0}, {0, 3600}, {8080, 3600}, {8080, 0}}));
        const double w = GPathProcess::mm2Point(90.0), h = GPathProcess::mm2Point(188.0);
        const QList<QPointF> pts = app()->currentPageMarkPoint(false);
        QCOMPARE(pts.size(), 4);
        QVERIFY(qAbs(pts[2].x() - h) < 1e-9 && qAbs(pts[2].y() - w) < 1e-9);
        app()->setCutFile(f.writeFile("type0.plt", "IN;PS8000,4000,200,120,0,160;MD200,120,7520,3600,160;PU0,0;PD0,400;"));
        QVERIFY(app()->currentPageMarkPoint(true).isEmpty());
        QCOMPARE(app()->currentPageMarkPoint(false).size(), 4);
    }

    void maskClosesOpenPaths()
    {
        app()->setCutFile(f.writeFile("open.plt", "IN;PS8000,4000,0,0,0,160;MD0,0,8000,4000,160;PU400,400;PD400,800,800,800;"));
        const QImage mask = app()->renderCutMask();
        QCOMPARE(mask.format(), QImage::Format_RGB888);
        QCOMPARE(mask.size(), (app()->cutScene()->page()->layout().fullRect(QPageLayout::Point).size() * 5.0).toSize());
        // Path in scene: (10,10)->(20,10)->(20,20) mm, closed through (first x, last y) = (10, 20).
        auto px = [&](double xmm, double ymm) {
            return mask.pixelColor(int(GPathProcess::mm2Point(xmm) * 5), int(GPathProcess::mm2Point(ymm) * 5));
        };
        QCOMPARE(px(15, 15), QColor(Qt::black));
        QCOMPARE(px(5, 5), QColor(Qt::white));
        QCOMPARE(app()->inspectionTemplate().cols, mask.width());
    }

    // The template (one grey byte a pixel, filled in bands) is Qt's
    // odd-even fill of the closed outlines but for the rounding of a pixel on
    // an outline; the picture, the file and the inspection template are the
    // one template: squares, crossing and overlapping polylines, an open
    // outline.
    void heldTemplateIsTheRendered()
    {
        QByteArray crossing = "IN;PS8000,4000,200,120,4,160;MD200,120,7520,3600,160;SP1;";
        QRandomGenerator rng(39);
        for (int p = 0; p < 300; ++p) {
            crossing += "PU" + QByteArray::number(rng.bounded(8000)) + ',' + QByteArray::number(rng.bounded(4000)) + ";PD";
            for (int i = 0; i < 12; ++i)
                crossing += QByteArray::number(rng.bounded(8000)) + ',' + QByteArray::number(rng.bounded(4000))
                            + (i < 11 ? "," : ";");
        }
        const QByteArray files[] = {kMarked, crossing, largePlt(1).left(200000),
                                    "IN;PS8000,4000,0,0,0,160;MD0,0,8000,4000,160;PU400,400;PD400,800,800,800;"};
        for (const QByteArray &text : files) {
            app()->setCutFile(f.writeFile("held.plt", text));
            const cv::Mat held = app()->inspectionTemplate();
            QCOMPARE(held.type(), CV_8UC1);
            QList<QGraphicsItem *> items;
            app()->cutScene()->exportCutItems(items, false, false, false);
            const QImage byQt =
                rasterisedByQt(app()->cutScene()->page()->layout().fullRect(QPageLayout::Point), items);
            // Where outlines cross in slivers thinner than a pixel, the
            // two round a few centres apart.
            const int away = differencesAwayFromOutlines(held, byQt);
            QVERIFY2(away >= 0 && away <= int(held.total() / 10000), qPrintable(QString::number(away)));
            QVERIFY(cv::countNonZero(held == 0) > 0);
            const QImage grey = pictureOfMat(held);
            QCOMPARE(app()->renderCutMask(), grey.convertToFormat(QImage::Format_RGB888));
            app()->waitTemplateFile();
            QCOMPARE(QImage(QStringLiteral("bk.png")).convertToFormat(QImage::Format_Grayscale8), grey);
        }
    }

    // Sides that run from the page to corners far off it (tens of thousands
    // of pages away, behind it too) are filled as Qt fills them: cut where
    // they cross the page, not bent towards it. Qt clips such sides in
    // fixed point, so where a clipped corner rounds, a few pixels on an
    // outline may round apart.
    void farCornersFillAsQt_data()
    {
        QTest::addColumn<QByteArray>("outline");
        QTest::addColumn<int>("black");
        QTest::addColumn<int>("roundedApart");
        QTest::newRow("far ahead") << QByteArray("PU400,400;PD40000000,4000000,400,4000000,400,400;") << 2883152 << 0;
        QTest::newRow("far behind") << QByteArray("PU7600,3600;PD-40000000,-4000000,7600,-4000000,7600,3600;")
                                    << 3261040 << 100;
        QTest::newRow("far across") << QByteArray("PU400,400;PD4000,-90000000,7600,3000,5000,30000000,400,400;")
                                    << 3609665 << 0;
    }
    void farCornersFillAsQt()
    {
        QFETCH(QByteArray, outline);
        QFETCH(int, black);
        QFETCH(int, roundedApart);
        app()->setCutFile(f.writeFile("far.plt", "IN;PS8000,4000,200,120,4,160;MD200,120,7520,3600,160;SP1;" + outline));
        const cv::Mat held = app()->inspectionTemplate();
        QList<QGraphicsItem *> items;
        app()->cutScene()->exportCutItems(items, false, false, false);
        const QImage byQt = rasterisedByQt(app()->cutScene()->page()->layout().fullRect(QPageLayout::Point), items);
        const cv::Mat qt(byQt.height(), byQt.width(), CV_8UC1, const_cast<uchar *>(byQt.constBits()),
                         size_t(byQt.bytesPerLine()));
        QCOMPARE(cv::countNonZero(qt == 0), black);
        QCOMPARE(differencesAwayFromOutlines(held, byQt), 0);
        const int apart = cv::countNonZero(held != qt);
        QVERIFY2(apart <= roundedApart, qPrintable(QString::number(apart)));
    }

    // The template picture is written off the opening thread; switching
    // back and forth faster than it writes still leaves the last template.
    void templateFileHoldsTheLastTemplate()
    {
        const QString a = f.writeFile("a.plt", kMarked);
        const QString b = f.writeFile("b.plt", "IN;PS8000,4000,200,120,4,160;MD200,120,7520,3600,160;"
                                               "SP1;PU2000,1000;PD2000,3000,3000,3000,3000,1000,2000,1000;PG;");
        for (int i = 0; i < 5; ++i) {
            app()->setCutFile(a);
            app()->setCutFile(b);
        }
        const QImage last = app()->renderCutMask();
        app()->setCutFile(a);
        QVERIFY(app()->renderCutMask() != last);
        app()->setCutFile(b);
        // Meanwhile the file may briefly hold an older template still queued
        // before the last one; what counts is what it holds once written.
        app()->waitTemplateFile();
        QCOMPARE(QImage(QStringLiteral("bk.png")).convertToFormat(QImage::Format_RGB888), last);
    }

    // A file over 256 MB is refused before it is read, with a message; the
    // scene keeps what it had. Made sparse, so the test writes nothing.
    void oversizedFileIsRefused()
    {
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        const int before = int(app()->cutScene()->gItemAll().size());
        const QString big = f.dir->filePath("big.plt");
        {
            QFile file(big);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(300LL * 1024 * 1024));
        }
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("SpoolsmithApp::setCutFile .*big.plt.* refused"));
        app()->setCutFile(big);
        QVERIFY(f.device->errorMessage().contains(QStringLiteral("256MB")));
        QCOMPARE(int(app()->cutScene()->gItemAll().size()), before);
        QVERIFY(app()->cutFile() != big);
        QFile::remove(big);
    }

    // A page larger than the station takes, counted as its template is
    // drawn, and a file that is no cut file the station reads are refused
    // before anything of them is drawn, on every road: the reason on
    // errorMessage, the file open before still open, the memory bounded; a
    // job's page-code switch to one stops the job with that reason. A 30 mm
    // square opens.
    void fileTheStationCannotTakeIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<int>("linesMegabytes"); // lines behind it: a large file opens on the worker
        QTest::addColumn<int>("road");
        QTest::addColumn<QString>("named"); // in the message; empty: the page opens
        const auto square = [](const QByteArray &side) {
            return "IN;SP1;PU0,0;PD" + side + ",0," + side + ',' + side + ",0," + side + ",0,0;PU;";
        };
        const auto tva = [](const char *width, const char *height) {
            return QByteArray(R"({"format":"spoolsmith-tva","version":1,"page":{"width":)") + width + R"(,"height":)"
                   + height + R"(},"paths":[{"pen":1,"subpaths":[[0,0,80,0,80,80]]}]})";
        };
        QByteArray noise(4096, '\0'), moreNoise(1200 * 1024, '\0');
        QRandomGenerator(76).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        QRandomGenerator(77).fillRange(reinterpret_cast<quint32 *>(moreNoise.data()), moreNoise.size() / 4);
        const QByteArray sliver = "IN;PS7.06,300000000;SP1;PU400,4;PD1200,4,1200,6,400,6,400,4;PU;";
        const QString large = "切割页面过大", noHpgl = "内容不是HPGL切割数据", noTva = "不是完整有效的TVA模板";
        QTest::newRow("3.15 m square") << square("126000") << "plt" << 0 << int(Operator) << "3151 x 3151 mm";
        QTest::newRow("10 m square") << square("400000") << "plt" << 0 << int(Operator) << "10000 x 10000 mm";
        QTest::newRow("outline to 2,000,000,000 units") << square("2000000000") << "plt" << 0 << int(Operator)
                                                         << "25000000 x 25000000 mm";
        QTest::newRow("3.15 m square, large file") << square("126000") << "plt" << 2 << int(Operator)
                                                   << "3151 x 3151 mm";
        QTest::newRow("3.15 m square, page code") << square("126000") << "plt" << 0 << int(PageCode)
                                                  << "3151 x 3151 mm";
        QTest::newRow("sliver") << sliver << "plt" << 0 << int(Operator) << large;
        QTest::newRow("sliver, tva") << tva("7500000", "0.1765") << "tva" << 0 << int(Operator) << large;
        QTest::newRow("sliver, large file") << sliver << "plt" << 2 << int(Operator) << large;
        QTest::newRow("1155.9 mm page") << QByteArray("IN;PS46236,46236;SP1;PU0,0;PD400,0;") << "plt" << 0
                                        << int(Operator) << large;
        QTest::newRow("2 m square, scene alone") << square("80000") << "plt" << 0 << int(OpenScene) << "2000 x 2000 mm";
        QTest::newRow("random bytes") << noise << "plt" << 0 << int(Operator) << noHpgl;
        QTest::newRow("random bytes, large file") << moreNoise << "plt" << 0 << int(Operator) << noHpgl;
        QTest::newRow("control bytes") << QByteArray(2048, '\x01') << "plt" << 0 << int(Operator) << noHpgl;
        QTest::newRow("a template named plt") << tva("30", "30") << "plt" << 0 << int(Operator) << noHpgl;
        QTest::newRow("HPGL named tva") << square("1200") << "tva" << 0 << int(Operator) << noTva;
        QTest::newRow("truncated tva") << tva("30", "30").left(60) << "tva" << 0 << int(Operator) << noTva;
        QTest::newRow("tva past its bound") << tva("30000000", "30") << "tva" << 0 << int(Operator) << noTva;
        QTest::newRow("random bytes, page code") << noise << "plt" << 0 << int(PageCode) << noHpgl;
        QTest::newRow("random bytes, cut direction") << noise << "plt" << 0 << int(CutDirection) << noHpgl;
        QTest::newRow("random bytes, large file, cut direction") << moreNoise << "plt" << 0 << int(CutDirection)
                                                                 << noHpgl;
        QTest::newRow("30 mm square") << square("1200") << "plt" << 0 << int(Operator) << QString();
        // The file's own scale decides the page.
        QTest::newRow("3.15 m square only after SC") << square("126").replace("IN;", "IN;SC0,1000,0,1000,2;") << "plt" << 0
                                                     << int(Operator) << "3151 x 3151 mm";
        QTest::newRow("30 mm square after SC") << square("100").replace("IN;", "IN;IP0,0,1200,1200;SC0,100,0,100;")
                                               << "plt" << 0 << int(Operator) << QString();
        QTest::newRow("a label, then a line from its end")
            << QByteArray("IN;SP1;PU0,0;LBabc\x03PR;PD1200,0;") << "plt" << 0 << int(Operator) << "LB";
    }
    void fileTheStationCannotTakeIsRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, suffix);
        QFETCH(int, linesMegabytes);
        QFETCH(int, road);
        QFETCH(QString, named);
        f.config->setProperty(Config::CPT_Plt_Dir, f.dir->path());
        const QString name = "5e." + suffix;
        // The cut direction's road reopens the open file, replaced meanwhile.
        const QString before = f.writeFile(road == CutDirection ? name : QStringLiteral("job.plt"), kMarked);
        app()->setCutFile(before);
        const uchar *heldTemplate = app()->inspectionTemplate().data;
        const QString path = f.writeFile(name, bytes + largePlt(linesMegabytes).mid(kMarked.size()));
        if (!named.isEmpty())
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("SpoolsmithApp::setCutFile .*5e.* refused"));
        GuiThreadWatch watch;
        app()->setTaskStatus(road == PageCode ? 1 : 2);
        f.config->setProperty(Config::CPT_Cut_Inverse, road == CutDirection);
        if (road == PageCode)
            switchByCode(0x5e);
        else if (road == OpenScene)
            app()->onOpenScene(path);
        else if (road == CutDirection)
            app()->onPropertyChanged(Config::CPT_Cut_Inverse, true);
        else
            app()->setCutFile(path);
        QTRY_COMPARE_WITH_TIMEOUT(app()->cutLoadProgress(), -1, kHangMs);
        app()->setTaskStatus(2);
        f.config->setProperty(Config::CPT_Cut_Inverse, false);
        QVERIFY2(watch.peakRiseMb() < 400 + GuiThreadWatch::kQuarantineMb, qPrintable(QString::number(watch.peakRiseMb())));
        QVERIFY2(f.device->errorMessage().contains(named), qPrintable(f.device->errorMessage()));
        const bool opens = named.isEmpty();
        QCOMPARE(app()->cutFile(), opens ? path : before);
        QCOMPARE(app()->sceneFile(), opens ? path : before);
        QCOMPARE(app()->cutPageSize(), opens ? QSizeF(31, 31) : QSizeF(100, 200));
        QCOMPARE(app()->inspectionTemplate().data == heldTemplate, !opens);
    }

    // Every road checks the very bytes it opens and tells why it refuses: the
    // print scene's file, a file that is not there, QML's openScene beside a
    // file still opening, and a pipe that serves other bytes at each read.
    // The file open before stays open.
    void everyRoadChecksWhatItOpens_data()
    {
        QTest::addColumn<int>("road");
        QTest::addColumn<QString>("named"); // in the message; empty: the first bytes open
        QTest::newRow("print scene, page too large") << 0 << "3151 x 3151 mm";
        QTest::newRow("no such file") << 1 << "无法打开";
        QTest::newRow("openScene while a file opens") << 2 << "正在载入";
        QTest::newRow("a pipe, other bytes the second time") << 3 << QString();
    }
    void everyRoadChecksWhatItOpens()
    {
        QFETCH(int, road);
        QFETCH(QString, named);
        const auto square = [](int mm) {
            const QByteArray side = QByteArray::number(mm * 40);
            return "IN;SP1;PU0,0;PD" + side + ",0," + side + ',' + side + ",0," + side + ",0,0;PU;";
        };
        const QString before = f.writeFile("job.plt", kMarked);
        app()->setCutFile(before);
        app()->setPrintCutFile(before);
        f.device->setErrorMessage(QString());
        if (!named.isEmpty())
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("SpoolsmithApp::setCutFile .* refused"));
        std::thread pipeWriter;
        std::atomic<bool> served{false};
        const QString pipe = f.dir->filePath("pipe.plt");
        if (road == 0) {
            app()->setPrintCutFile(f.writeFile("big.plt", square(3150)));
            QCOMPARE(app()->printCutFile(), before);
            QVERIFY(!app()->printScene()->gItemAll().isEmpty());
        } else if (road == 1) {
            app()->setCutFile(f.dir->filePath("missing.plt"));
        } else if (road == 2) {
            app()->setCutFile(f.writeFile("large.plt", largePlt(2)));
            app()->onOpenScene(f.writeFile("small.plt", square(30)));
            QTRY_COMPARE_WITH_TIMEOUT(app()->cutLoadProgress(), -1, kHangMs);
            QCOMPARE(app()->sceneFile(), f.dir->filePath("large.plt"));
        } else {
            QVERIFY(mkfifo(pipe.toLocal8Bit().constData(), 0600) == 0);
            std::signal(SIGPIPE, SIG_IGN); // a serving no one reads fails quietly
            // Each serving waits until the reader of the one before has closed.
            const int closes = inotify_init();
            inotify_add_watch(closes, pipe.toLocal8Bit().constData(), IN_CLOSE_NOWRITE);
            pipeWriter = std::thread([pipe, square, closes, &served] {
                for (const int mm : {40, 60}) {
                    const int fd = ::open(pipe.toLocal8Bit().constData(), O_WRONLY);
                    const QByteArray bytes = square(mm);
                    (void)!::write(fd, bytes.constData(), size_t(bytes.size()));
                    ::close(fd);
                    char event[256];
                    (void)!::read(closes, event, sizeof event);
                }
                ::close(closes);
                served = true;
            });
            app()->setCutFile(pipe);
            // The second serving, if the opening did not take it, goes here.
            while (!served) {
                const int fd = ::open(pipe.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK);
                ::fcntl(fd, F_SETFL, 0);
                char sink[256];
                while (fd >= 0 && ::read(fd, sink, sizeof sink) > 0) {
                }
                ::close(fd);
            }
            pipeWriter.join();
        }
        QVERIFY2(f.device->errorMessage().contains(named), qPrintable(f.device->errorMessage()));
        if (road == 2)
            return;
        const bool opens = named.isEmpty();
        QCOMPARE(app()->cutFile(), opens ? pipe : before);
        QCOMPARE(app()->sceneFile(), opens ? pipe : before);
        QCOMPARE(app()->cutPageSize(), opens ? QSizeF(41, 41) : QSizeF(100, 200));
    }

    // A 20 MB file of short lines is read, parsed, written and rendered on a
    // worker thread; the GUI thread places its items in slices and never
    // hangs, neither for the first such file nor for the next, which clears
    // the first one's scene. The worker's scene has timers: it must be a
    // thread with an event dispatcher.
    void largeFileOpensWithoutStallingTheGuiThread()
    {
        QTest::failOnWarning(QRegularExpression("startTimer"));
        const QByteArray text = largePlt(20);
        for (const QString &name : {QStringLiteral("large.plt"), QStringLiteral("large2.plt")}) {
            const QString path = f.writeFile(name, text);
            QElapsedTimer sinceTick;
            qint64 longestGap = 0;
            QTimer ticker;
            connect(&ticker, &QTimer::timeout, this, [&] {
                longestGap = std::max(longestGap, sinceTick.restart());
            });
            // The progress the cut-file page shows: from 0 up to 100, then -1.
            QList<int> progress;
            QObject scope; // the connection ends with this test
            connect(app(), &SpoolsmithApp::cutLoadProgressChanged, &scope,
                    [&] { progress << app()->cutLoadProgress(); });
            QCOMPARE(app()->cutLoadProgress(), -1);
            sinceTick.start();
            ticker.start(5);
            app()->setCutFile(path);
            const qint64 callMs = sinceTick.elapsed();
            // Read on the worker: nothing of it is placed before the GUI
            // thread runs its events again.
            QVERIFY(app()->cutScene()->fileName() != path);
            QTRY_COMPARE_WITH_TIMEOUT(app()->cutScene()->fileName(), path, kLongHangMs);
            ticker.stop();
            QCOMPARE(app()->cutLoadProgress(), -1);
            QVERIFY2(progress.size() >= 3, qPrintable(QString::number(progress.size())));
            QCOMPARE(progress.first(), 0);
            QCOMPARE(progress.last(), -1);
            QCOMPARE(progress.at(progress.size() - 2), 100);
            QVERIFY(std::is_sorted(progress.begin(), progress.end() - 1));
            QVERIFY2(callMs < kHangMs, qPrintable(QString::number(callMs)));
            QVERIFY2(longestGap < kHangMs, qPrintable(QString("longest gap %1 ms").arg(longestGap)));
            QVERIFY(app()->cutScene()->cutPathCount() > 100000);
            QCOMPARE(app()->pageMarkType(), 4);
            QVERIFY(QFileInfo(app()->cutShowFile()).size() > 0);
            const cv::Mat mask = app()->inspectionTemplate();
            app()->waitTemplateFile();
            QCOMPARE(QImage(QStringLiteral("bk.png")).size(), QSize(mask.cols, mask.rows));
            QFile::remove(path);
        }
    }

    // A large file's template and label grid, made on the loader thread,
    // are what the scene gives the same file: the outlines' own extent, not
    // widened by a default pen.
    void loaderTemplateIsTheScenes()
    {
        const QString path = f.writeFile("grid.plt", largePlt(2));
        CutFileLoader loader;
        QSignalSpy loaded(&loader, &CutFileLoader::loaded);
        CutFileLoader::Job job;
        job.path = path;
        job.showFile = f.writeFile("grid-show.plt", {});
        QVERIFY(loader.start(job));
        QVERIFY(loaded.wait(kHangMs));
        const std::unique_ptr<CutFileLoader::Result> result = loader.takeResult();
        QVERIFY(result && result->ok);
        GScene scene;
        QVERIFY(scene.openFile(path));
        QCOMPARE(result->rows, scene.rowSegments());
        QCOMPARE(result->cols, scene.colSegments());
        QList<QGraphicsItem *> items;
        scene.exportCutItems(items, false, false, false);
        const cv::Mat templ = CutGeometry::renderTemplate(scene.page()->sizeMm(), items);
        QCOMPARE(result->inspection.total(), templ.total());
        QVERIFY(std::equal(templ.datastart, templ.dataend, result->inspection.datastart));
        QCOMPARE(result->mask, pictureOfMat(templ));
    }

    void noSceneChangeWhileJobRuns()
    {
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        app()->setTaskStatus(1);
        app()->setCutFile(f.writeFile("other.plt", "IN;PU0,0;PD400,0;"));
        QCOMPARE(app()->sceneFile(), f.dir->filePath("job.plt"));
        QCOMPARE(f.device->errorMessage(), QStringLiteral("任务运行中，请先停止任务"));
        const double before = f.config->closeCompensateVal();
        f.config->setCloseCompensateVal(before + 1.0);
        QCOMPARE(f.config->closeCompensateVal(), before);
        app()->setTaskStatus(2);
    }

    // While a large file opens no job starts; a job running when it has
    // been read (started some other way) keeps its scene, and the file is
    // placed once the job has ended.
    void noJobWhileACutFileOpens()
    {
        const QString job = f.writeFile("job.plt", kMarked);
        app()->setCutFile(job);
        const QString large = f.writeFile("large.plt", largePlt(3));
        app()->setCutFile(large);
        QVERIFY(app()->cutLoadProgress() >= 0);
        // Nor does another file, said on screen.
        app()->setCutFile(job);
        QCOMPARE(app()->cutFile(), large);
        QCOMPARE(f.device->errorMessage(), QStringLiteral("切割文件正在载入，请稍后 \n"));
        f.device->setErrorMessage(QString());
        app()->startTask();
        QVERIFY2(f.device->errorMessage().contains(QStringLiteral("切割文件正在载入，请稍后 \n")),
                 qPrintable(f.device->errorMessage()));
        QVERIFY(f.device->idle());
        app()->setTaskStatus(1);
        QTRY_COMPARE_WITH_TIMEOUT(app()->cutLoadProgress(), 100, kHangMs);
        QCoreApplication::processEvents(); // the load's end, right behind its last progress
        QCOMPARE(app()->cutScene()->fileName(), job);
        QCOMPARE(app()->pageMarkType(), 4);
        app()->setTaskStatus(2);
        QTRY_COMPARE_WITH_TIMEOUT(app()->cutScene()->fileName(), large, kHangMs);
        QCOMPARE(app()->cutLoadProgress(), -1);
    }

    // A cut direction saved while a job exists (paused ones too) or a file
    // still opens leaves the scene alone; it takes effect once that is over.
    void cutDirectionWaitsForTheJob_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("loading");
        QTest::newRow("paused") << 0 << false;
        QTest::newRow("running") << 1 << false;
        QTest::newRow("file opening") << 2 << true;
    }
    void cutDirectionWaitsForTheJob()
    {
        QFETCH(int, status);
        QFETCH(bool, loading);
        const QByteArray turned = "SP1;PU7520,3600;PD7520,3200,7120,3200,7120,3600,7520,3600;";
        const QString path = f.writeFile(loading ? "large.plt" : "job.plt", loading ? largePlt(3) : kMarked);
        app()->setCutFile(path);
        f.device->clearPltData();
        QSignalSpy opened(app(), &SpoolsmithApp::openScene);
        app()->setTaskStatus(status);
        f.config->setProperty(Config::CPT_Cut_Inverse, true);
        app()->onPropertyChanged(Config::CPT_Cut_Inverse, true);
        QCOMPARE(opened.count(), 0);
        QVERIFY(f.device->pltData().isEmpty());
        if (!loading) {
            QCOMPARE(app()->cutScene()->fileName(), path);
            // The job's next page is cut as its scene was opened, without
            // the reversed cut's page spacing.
            f.config->setPageSpacing(0.5);
            QCOMPARE(app()->generatePltData(QTransform()), QByteArray("SP1;PU0,0;PD0,400,400,400,400,0,0,0;"));
            f.config->setPageSpacing(0.0);
        }
        app()->setTaskStatus(2);
        if (loading) {
            // Opened again on the worker, turned: its plot data is built.
            QTRY_VERIFY_WITH_TIMEOUT(!f.device->pltData().isEmpty() && app()->cutLoadProgress() == -1, kHangMs);
            QCOMPARE(app()->cutScene()->fileName(), path);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, kHangMs);
            QCOMPARE(opened.first().first().toString(), path);
            QCOMPARE(f.device->pltData(), turned);
        }
        f.config->setProperty(Config::CPT_Cut_Inverse, false);
    }

    // Nor does it change what the job's page-code switches open, known
    // templates, a large page file and the job's own page alike: the job
    // cuts every page as it started; its own page turns once it has ended.
    void cutDirectionHoldsThroughPageCodeSwitches_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("largePage");
        QTest::newRow("running") << 1 << false;
        QTest::newRow("paused") << 0 << false;
        QTest::newRow("large page file") << 1 << true;
    }
    void cutDirectionHoldsThroughPageCodeSwitches()
    {
        QFETCH(int, status);
        QFETCH(bool, largePage);
        const QByteArray asDrawn = "SP1;PU0,0;PD0,400,400,400,400,0,0,0;";
        const QByteArray turned = "SP1;PU7520,3600;PD7520,3200,7120,3200,7120,3600,7520,3600;";
        f.config->setProperty(Config::CPT_Plt_Dir, f.dir->path());
        app()->setCutFile(f.writeFile("1a2c.plt", largePage ? largePlt(2) : QByteArray(kMarked).replace("PU0,0;", "PU800,800;")));
        QTRY_COMPARE_WITH_TIMEOUT(app()->cutLoadProgress(), -1, kHangMs);
        const QByteArray otherAsDrawn = app()->generatePltData(QTransform());
        app()->setCutFile(f.writeFile("1a2d.plt", kMarked));
        app()->setTaskStatus(status);
        f.config->setProperty(Config::CPT_Cut_Inverse, true);
        app()->onPropertyChanged(Config::CPT_Cut_Inverse, true);
        f.config->setPageSpacing(0.5); // a reversed cut would show it too
        for (const quint32 code : {0x1a2cu, 0x1a2du, 0x1a2cu, 0x1a2du}) {
            switchByCode(code);
            QCOMPARE(f.device->pltData(), code == 0x1a2du ? asDrawn : otherAsDrawn);
        }
        f.config->setPageSpacing(0.0);
        app()->setTaskStatus(2);
        QTRY_COMPARE_WITH_TIMEOUT(f.device->pltData(), turned, kHangMs);
        f.config->setProperty(Config::CPT_Cut_Inverse, false);
    }

    // Export writes every cut item of the read-only scene; the file opens
    // again to the same outlines, page and plot data, and a page without
    // marks comes back without marks. A file that cannot be written is
    // said so, and not shown as saved.
    void exportHoldsEveryOutline_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("markType");
        QTest::newRow("marked plt") << kMarked << QStringLiteral("out.plt") << 4;
        QTest::newRow("marked tva") << kMarked << QStringLiteral("out.tva") << 4;
        QTest::newRow("no marks") << QByteArray("IN;SP1;PU0,0;PD0,400,400,400;PU800,0;PD800,400;PG;")
                                  << QStringLiteral("out.plt") << -1;
        QTest::newRow("unwritable") << kMarked << QStringLiteral("missing/out.plt") << 4;
    }
    void exportHoldsEveryOutline()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, name);
        QFETCH(int, markType);
        app()->setCutFile(f.writeFile("source.plt", content));
        QCOMPARE(app()->pageMarkType(), markType);
        const int outlines = app()->cutScene()->cutPathCount();
        QVERIFY(outlines >= 1);
        const QSizeF page = app()->cutPageSize();
        const QByteArray plot = app()->generatePltData(QTransform());
        const QString saveBefore = app()->saveFile();
        const QString out = f.dir->filePath(name);
        f.device->setErrorMessage(QString());
        app()->setSaveFile(out);
        if (name.startsWith("missing")) {
            QCOMPARE(f.device->errorMessage(), QStringLiteral("切割文件导出失败 \n"));
            QCOMPARE(app()->saveFile(), saveBefore);
            return;
        }
        QCOMPARE(app()->saveFile(), out);
        app()->setCutFile(out);
        QCOMPARE(app()->cutScene()->cutPathCount(), outlines);
        QCOMPARE(app()->pageMarkType(), markType);
        QCOMPARE(app()->cutPageSize(), page);
        QCOMPARE(app()->generatePltData(QTransform()), plot);
    }

    void previewPaintsIntoImage()
    {
        {
            // Closed while its file is read: it neither waits nor hears of it.
            PltQuickView closed;
            closed.setFile(f.writeFile("closed.plt", largePlt(2)));
        }
        PltQuickView view;
        QSignalSpy read(&view, &PltQuickView::fileRead);
        view.setFile(f.writeFile("large.plt", largePlt(2)));
        view.setFile(f.writeFile("p.plt", kMarked));
        // Read off the GUI thread, which takes only the newest file.
        QCOMPARE(read.count(), 0);
        QVERIFY(read.wait(kHangMs));
        QCOMPARE(PltQuickView::polylines().size(), 1);
        view.setSize(QSizeF(400, 300));
        QImage img(400, 300, QImage::Format_ARGB32);
        img.fill(Qt::red);
        {
            QPainter painter(&img);
            view.paint(&painter);
        }
        QCOMPARE(img.pixelColor(0, 0), QColor(Qt::white));
        // Page turned: drawn 200 mm wide along x, 100 mm high, centred.
        const QRectF page = view.pageRect();
        const double s = std::min((300 - 4.0) / page.width(), (400 - 4.0) / page.height());
        const QRectF d((400 - page.height() * s) / 2, (300 - page.width() * s) / 2, page.height() * s, page.width() * s);
        QCOMPARE(img.pixelColor(d.center().toPoint()), QColor(0xFFEBEBEB));
        auto toScreen = [&](const QPointF &p) { return QPointF(d.left() + p.y() * s, d.bottom() - p.x() * s); };
        const QPoint mark1 = toScreen(view.origin()).toPoint();
        QCOMPARE(img.pixelColor(mark1), QColor(Qt::black));
        // Mark 3 of four (far corner) is drawn too.
        const QPointF far = view.origin() + GPathProcess::mm2Point(QPointF(90, 188));
        QCOMPARE(img.pixelColor(toScreen(far).toPoint()), QColor(Qt::black));
        // The square's far edge (cut line) is blue: scene x = origin.x + 10 mm.
        int blue = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixelColor(x, y).blue() > 200 && img.pixelColor(x, y).red() < 100)
                    ++blue;
        QVERIFY(blue > 10);
    }

    void previewRefusesZeroPage()
    {
        PltQuickView view;
        QVERIFY(shows(view, f.writeFile("z.plt", "IN;PS0,0,0,0,4,160;MD0,0,0,0,160;PU0,0;PD0,400;")));
        QCOMPARE(view.pageRect(), QRectF(0, 0, 210, 297));
        view.setSize(QSizeF(2, 2)); // smaller than the margin: nothing to scale
        QImage img(2, 2, QImage::Format_ARGB32);
        QPainter painter(&img);
        view.paint(&painter);
        QVERIFY(shows(view, f.dir->filePath("missing.plt")));
        QCOMPARE(m_prompt.shown.size(), 1);
    }

    void pageCodeSwitch()
    {
        f.config->setProperty(Config::CPT_Plt_Dir, f.dir->path());
        const QString byCode = f.writeFile("1a2b.plt", "IN;PU0,0;PD400,0;");
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        // 0x1a2b is not in the statistics store: its cut file is looked for
        // in the cut-file folder by the code.
        app()->setTaskStatus(1);
        switchByCode(0x1a2b);
        QCOMPARE(app()->sceneFile(), byCode);
        QCOMPARE(app()->pageCode(), 0x1a2bu);
        QCOMPARE(app()->pageMarkType(), -1);

        // A page without a code keeps the last page's cut file.
        app()->setSwitchCutFile(true);
        app()->setSwitchCutFile(false);
        QCOMPARE(app()->sceneFile(), byCode);
        app()->setTaskStatus(2);

        // No usable file at all: the job is told why.
        QFile::remove(byCode);
        QFile::remove(f.dir->filePath("job.plt"));
        app()->setSwitchCutFile(true);
        app()->setPageCode(0x77);
        app()->setSwitchCutFile(false);
        QCOMPARE(f.device->errorMessage(), QStringLiteral("切割文件未打开或未识别到二维码"));
        app()->joinControlThreads();
        f.device->setErrorMessage(QString());

        // Job A's page code found its file; the next job's file is opened:
        // job B's pages without a code are cut with job B's file.
        const QString jobA = f.writeFile("job.plt", kMarked);
        f.writeFile("1a2b.plt", "IN;PU0,0;PD400,0;");
        app()->setCutFile(jobA);
        app()->setTaskStatus(1);
        switchByCode(0x1a2b);
        QCOMPARE(app()->sceneFile(), byCode);
        app()->setTaskStatus(2);
        const QString jobB = f.writeFile("jobB.plt", kMarked);
        app()->setCutFile(jobB);
        app()->setTaskStatus(1);
        app()->setSwitchCutFile(true);
        app()->setSwitchCutFile(false);
        QCOMPARE(app()->sceneFile(), jobB);
        QCOMPARE(app()->pageMarkType(), 4);
        app()->setTaskStatus(2);
        QVERIFY(f.device->errorMessage().isEmpty());
    }

    // The templates a job switches between come back exactly as a fresh
    // opening leaves them, reversed or not; a file changed on disk (same
    // size, same name) is read again.
    void knownTemplatesComeBackAsOpened_data()
    {
        QTest::addColumn<bool>("reversed");
        QTest::newRow("as drawn") << false;
        QTest::newRow("reversed") << true;
    }
    void knownTemplatesComeBackAsOpened()
    {
        QFETCH(bool, reversed);
        f.config->setProperty(Config::CPT_Cut_Inverse, reversed);
        f.config->setProperty(Config::CPT_Plt_Dir, f.dir->path());
        const QByteArray header = "IN;PS8000,4000,200,120,4,160;MD200,120,7520,3600,160;SP1;";
        // The last has no marks: no mark step rebuilds its plot data.
        const QByteArray content[4] = {header + "PU0,0;PD0,400,400,400;PG;", header + "PU800,800;PD800,1600;PG;",
                                       header + "PU0,0;PD0,400,800,400;PG;", "IN;SP1;PU0,0;PD0,400,800,400;PG;"};
        struct Look
        {
            QByteArray plot, preview, mask, maskFile;
            QSizeF page;
            QList<QPointF> marks;
        };
        const auto look = [this] {
            app()->waitTemplateFile();
            QFile preview(app()->cutShowFile()), maskFile(QStringLiteral("bk.png"));
            preview.open(QIODevice::ReadOnly);
            maskFile.open(QIODevice::ReadOnly);
            const cv::Mat m = app()->inspectionTemplate();
            return Look{app()->generatePltData(QTransform()), preview.readAll(),
                        QByteArray(reinterpret_cast<const char *>(m.data), int(m.total() * m.elemSize())),
                        maskFile.readAll(), app()->cutPageSize(), app()->currentPageMarkPoint(true)};
        };
        QList<Look> fresh;
        for (int i = 0; i < 4; ++i) {
            app()->setCutFile(f.writeFile(QStringLiteral("fresh%1.plt").arg(i), content[i]));
            fresh << look();
        }
        f.writeFile("a1.plt", content[0]);
        f.writeFile("b2.plt", content[1]);
        f.writeFile("c3.plt", content[3]);
        app()->setTaskStatus(1);
        const struct
        {
            quint32 code;
            int content;
            bool rewrite;
        } pages[] = {{0xa1, 0, false}, {0xb2, 1, false}, {0xa1, 0, false}, {0xb2, 1, false}, {0xa1, 2, true},
                     {0xb2, 1, false}, {0xc3, 3, false}, {0xa1, 2, false}, {0xc3, 3, false}};
        for (const auto &p : pages) {
            if (p.rewrite)
                f.writeFile("a1.plt", content[2]);
            switchByCode(p.code);
            // What the cutter gets without a mark scan after the switch.
            const QByteArray sent = f.device->pltData();
            const Look now = look(), &want = fresh.at(p.content);
            QCOMPARE(sent, want.plot);
            QCOMPARE(now.plot, want.plot);
            QCOMPARE(now.preview, want.preview);
            QVERIFY(now.mask == want.mask);
            QVERIFY(now.maskFile == want.maskFile);
            QCOMPARE(now.page, want.page);
            QCOMPARE(now.marks, want.marks);
        }
        app()->setTaskStatus(2);
        f.config->setProperty(Config::CPT_Cut_Inverse, false);
    }

    // A page's large cut file opens on the worker: the GUI thread goes on
    // (the operator can still stop the job) while the job's thread waits.
    void pageCodeSwitchToALargeFile()
    {
        f.config->setProperty(Config::CPT_Plt_Dir, f.dir->path());
        const QString byCode = f.writeFile("5e.plt", largePlt(4));
        const QString job = f.writeFile("job.plt", kMarked);
        app()->setCutFile(job);
        app()->setTaskStatus(1);
        // The GUI thread's own work between two ticks, not the wall time a
        // machine full of other tests may keep it waiting for the processor.
        auto threadCpuMs = [] {
            timespec t{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
            return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
        };
        QElapsedTimer sinceTick;
        qint64 longestGap = 0, longestWork = 0, cpuAtTick = threadCpuMs();
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] {
            longestGap = std::max(longestGap, sinceTick.restart());
            const qint64 cpu = threadCpuMs();
            longestWork = std::max(longestWork, cpu - cpuAtTick);
            cpuAtTick = cpu;
        });
        sinceTick.start();
        ticker.start(5);
        switchByCode(0x5e);
        ticker.stop();
        app()->setTaskStatus(2);
        QCOMPARE(app()->cutScene()->fileName(), byCode);
        QCOMPARE(app()->sceneFile(), byCode);
        QCOMPARE(app()->cutFile(), job);
        QVERIFY(app()->cutScene()->cutPathCount() > 10000);
        QCOMPARE(app()->cutLoadProgress(), -1);
        QVERIFY(f.device->errorMessage().isEmpty());
        std::printf("page-code switch to a large file: longest GUI gap %lld ms, of it working %lld ms\n",
                    qlonglong(longestGap), qlonglong(longestWork));
        // Waiting on the loader would be a hang too.
        const QString figures = QString("longest gap %1 ms, working %2 ms").arg(longestGap).arg(longestWork);
        QVERIFY2(longestWork < kHangMs, qPrintable(figures));
        QVERIFY2(longestGap < kHangMs, qPrintable(figures));
    }

    // A printed batch whose work record names no cut file: its page opens
    // the file named by its code, and its cut copies count on the batch.
    void knownCodeWithoutCutFileCountsOnItsBatch()
    {
        f.config->setProperty(Config::CPT_Plt_Dir, f.dir->path());
        f.config->setProperty(Config::CPT_Enable_Print_Marker_Type, 1);
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        app()->setTaskStatus(2);
        app()->setWorkRecordCutFile(QString());
        const int code = app()->updatePrintRecord(2);
        QVERIFY(code > 0);
        const QString byCode = f.writeFile(QString::number(code, 16) + QStringLiteral(".plt"), "IN;PU0,0;PD400,0;");
        app()->setTaskStatus(1);
        switchByCode(quint32(code));
        QCOMPARE(app()->sceneFile(), byCode);
        QCOMPARE(app()->pageCode(), quint32(code));
        app()->recordCutCopy(100.0);
        app()->setTaskStatus(2);
        TaskRecord task;
        QVERIFY(f.config->db().findTaskRecordByCode(quint32(code), task));
        QCOMPARE(task.cutCopies, 1u);
    }

    // A new template asks the check camera for a fresh picture on a thread
    // the application owns; the caller does not wait for it.
    void newTemplateAsksForACheckPicture()
    {
        QSignalSpy asked(app(), &SpoolsmithApp::capture);
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        QTRY_COMPARE_WITH_TIMEOUT(asked.count(), 1, kHangMs);
        const int token = asked.takeFirst().first().value<QVariant>().toInt();
        QCOMPARE(captureCameraOf(token), 2);
        app()->capturedLabelImage(token, QVariant::fromValue(QImage(8, 8, QImage::Format_RGB888)));
        QVERIFY(app()->loadTemplate());
        QTRY_COMPARE_WITH_TIMEOUT(asked.count(), 1, kHangMs);
        app()->capturedLabelImage(asked.first().first().value<QVariant>().toInt(),
                                  QVariant::fromValue(QImage(8, 8, QImage::Format_RGB888)));
        app()->joinLabelChecks();
        QCOMPARE(app()->labelCheckThreadCount(), 0);
    }

    // A ".tva" file (the suffix in any case) is opened into the scene, cut
    // through the preview file it leaves, saved as "tmp.plt" beside the
    // program and serves as the print file too; a missing one changes nothing.
    void tvaFileIsCutThroughItsPreview()
    {
        app()->setPrintFile(QString());
        app()->setCutFile(f.writeFile("label.plt", kMarked));
        const QString tva = f.dir->filePath("label.TVA");
        app()->setSaveFile(tva); // the page as a template
        app()->setCutFile(tva);
        QTRY_COMPARE_WITH_TIMEOUT(app()->sceneFile(), tva, kHangMs);
        QCOMPARE(app()->cutFile(), app()->cutShowFile());
        QCOMPARE(app()->saveFile(), app()->appPath() + QStringLiteral("/tmp.plt"));
        QCOMPARE(app()->printCutFile(), tva); // a .tva print file is a template: it becomes the print-cut file

        const QString cut = app()->cutFile();
        app()->setPrintFile(QString());
        app()->setCutFile(f.dir->filePath("missing.tva"));
        QCOMPARE(app()->cutFile(), cut);
        QCOMPARE(app()->sceneFile(), tva);
        QCOMPARE(app()->printFile(), QString());
    }

    void sceneBoundSettings()
    {
        CutSceneSettings::install(nullptr);
        QCOMPARE(f.config->closeCompensateVal(), 0.2);
        QSignalSpy none(f.config.get(), &Config::closeCompensateValChanged);
        f.config->setCloseCompensateVal(1.0);
        QCOMPARE(none.size(), 0);
        CutSceneSettings::install([] { return SpoolsmithApp::instance()->cutScene(); });

        QSignalSpy knife(f.config.get(), &Config::knifeCompensateChanged);
        f.config->setKnifeCompensate(true);
        QCOMPARE(knife.size(), 1);
        QVERIFY(f.config->knifeCompensate());
        f.config->setKnifeCompensateVal(0.5);
        QVERIFY(qAbs(f.config->knifeCompensateVal() - 0.5) < 1e-12);
        f.config->saveCfg();
        f.config->counters().syncKeys(); // written within a second: now
        QSettings ini(f.config->liveStorePath(), QSettings::IniFormat);
        const GSp *pen = app()->cutScene()->sp(1);
        const QString name = pen->name();
        QCOMPARE(ini.value(name + "//flags").toInt() & 2, 2);
        QCOMPARE(ini.value(name + "//index").toInt(), 1);
        QCOMPARE(ini.value(name + "//knifeCompensate").toDouble(), GPathProcess::mm2Point(0.5));
        QVERIFY(ini.contains(name + "//color") && ini.contains(name + "//closeCompensate")
                && ini.contains(name + "//toolUpAngle") && ini.contains(name + "//repeat"));

        const QStringList keysBefore = ini.allKeys();
        f.config->setAutoSort(true);
        QVERIFY(f.config->autoSort());
        QVERIFY(app()->cutScene()->isSortInside());
        f.config->saveCfg();
        f.config->counters().syncKeys();
        QSettings again(f.config->liveStorePath(), QSettings::IniFormat);
        QCOMPARE(again.allKeys(), keysBefore);
        f.config->setAutoSort(false);
        f.config->setKnifeCompensate(false);
    }

    void cutViewFitsWhenDisabled()
    {
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        GraphicsView *view = app()->cutView();
        QCOMPARE(app()->getCutGraphicsView().value<QWidget *>(), static_cast<QWidget *>(view));
        view->setEnabled(false);
        view->resize(400, 300);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view, kHangMs));
        view->fitPage();
        // Turned a quarter: the page's 200 mm run across the view.
        const QRectF shown = view->mapFromScene(app()->cutScene()->page()->fullRectPoints()).boundingRect();
        QVERIFY(shown.width() > shown.height());
        QVERIFY2(shown.width() <= 400, qPrintable(QString::number(shown.width())));

        // Fitting on every resize ends at every size: with scroll bars that
        // came and went with each fit, some sizes resized the view for ever.
        // The filter counts the viewport's resizes and breaks such a round.
        ResizeCounter counter;
        view->viewport()->installEventFilter(&counter);
        int worst = 0;
        for (int w = 300; w <= 900; w += 13) {
            for (int h = 250; h <= 700; h += 29) {
                counter.count = 0;
                counter.view = view;
                view->resize(w, h);
                for (int i = 0; i < 5; ++i)
                    QCoreApplication::processEvents();
                worst = std::max(worst, counter.count);
            }
        }
        view->viewport()->removeEventFilter(&counter);
        QVERIFY2(worst <= 3, qPrintable(QStringLiteral("%1 resizes for one").arg(worst)));
        view->setEnabled(true);
        QCOMPARE(view->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        view->hide();
    }
};

SPOOLSMITH_APP_TEST_MAIN(TstCutFile)

#include "tst_cut_file.moc"
