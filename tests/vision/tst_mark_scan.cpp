#include "tests/support/app_test_main.h"
#include "settings/config.h"
#include "vision/film_view.h"
#include "vision/page_code.h"
#include "app/spoolsmith_app.h"
#include "tests/support/hang_bound.h"
#include "tests/support/synthetic_marks.h"

#include <QImage>
#include <QLoggingCategory>
#include <QPainter>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <memory>

Q_IMPORT_QML_PLUGIN(FilmViewPlugin)

class TestMarkScan : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Config> m_config;
    SpoolsmithApp *app() { return static_cast<SpoolsmithApp *>(QCoreApplication::instance()); }

    QImage pictureWithCode(const QPointF &mark, uint32_t code, const QSize &size = QSize(1280, 960))
    {
        synth::Picture p;
        p.size = size;
        p.marks = {{synth::Shape::Disk, mark}};
        if (code) {
            p.qrText = pageCodeText(code);
            p.qrTopLeft = synth::qrBesideMark(mark, 3.5);
        }
        p.noiseSigma = 5;
        return synth::render(p);
    }

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        m_config = std::make_unique<Config>(m_dir.path(), m_dir.filePath(QStringLiteral("config.db")));
        Config::setInstance(m_config.get());
        m_config->setProperty(Config::CPT_Enable_Print_Marker_Type, 2);
    }

    void cleanupTestCase() { Config::setInstance(nullptr); }

    void init()
    {
        app()->setPageCodeSearch(false);
        app()->setMarkIndex(0);
        app()->setTaskStatus(2);
        app()->clearFilm(-1);
    }

    // A scan counts once in the day's and the total counters, a found mark
    // once more in the good ones (written together once the scans pause).
    // First of the cases: no earlier scan's counts are still on their way.
    void scanCountsOnce()
    {
        const int day = m_config->todayScanMark(), dayOk = m_config->todayScanMarkOk();
        const quint64 total = m_config->totalScanMark(), totalOk = m_config->totalScanMarkOk();
        app()->scanMark(pictureWithCode({640, 480}, 0));
        app()->scanMark(synth::render(synth::Picture())); // no mark
        QTRY_COMPARE_WITH_TIMEOUT(m_config->totalScanMarkOk(), totalOk + 1, kHangMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_config->totalScanMark(), total + 2, kHangMs);
        QCOMPARE(m_config->todayScanMark(), day + 2);
        QCOMPARE(m_config->todayScanMarkOk(), dayOk + 1);
    }

    // A scan's counters are not a settings sync and a statistics write of
    // their own on the GUI thread: a copy takes them into its write, else a
    // second without scans writes them.
    void scanCountsAreWrittenTogether()
    {
        // After the counting case, which waited for its counts: none pending.
        const int scans = m_config->todayScanMark();
        const int found = m_config->todayScanMarkOk();
        for (int i = 0; i < 3; ++i)
            app()->scanMark(pictureWithCode({640, 480}, 0));
        app()->scanMark(synth::render(synth::Picture()));
        QCOMPARE(m_config->todayScanMark(), scans);
        QCOMPARE(m_config->todayScanMarkOk(), found);
        QTRY_COMPARE_WITH_TIMEOUT(m_config->todayScanMarkOk(), found + 3, kHangMs);
        QCOMPARE(m_config->todayScanMark(), scans + 4);
        QCOMPARE(m_config->totalScanMarkOk(), quint64(found + 3));

        // A counted copy carries the scans before it.
        app()->scanMark(pictureWithCode({640, 480}, 0));
        app()->setCutTaskCopies(5);
        app()->finishedOneCopies();
        QCOMPARE(m_config->todayScanMarkOk(), found + 4);
        QCOMPARE(m_config->todayScanMark(), scans + 5);
        app()->setCutTaskCopies(0);
    }

    void scanFillsTheCurrentSlot()
    {
        QSignalSpy update(app(), &SpoolsmithApp::filmViewUpdate);
        app()->scanMark(pictureWithCode({640, 480}, 0));
        QVERIFY(qAbs(app()->lastMarkPosition().x() - 160) <= 1);
        QVERIFY(qAbs(app()->lastMarkPosition().y() - 120) <= 1);
        const QList<FilmSlot> film = app()->filmSlots();
        QCOMPARE(film.size(), 5);
        QCOMPARE(film[0].image.size(), QSize(320, 240));
        QCOMPARE(film[0].markPos, app()->lastMarkPosition());
        QCOMPARE(film[0].score, app()->lastMarkDiameter());
        QVERIFY(film[0].text.isEmpty()); // no page-code search
        QCOMPARE(film[1].score, -1.0f);  // no job running
        QCOMPARE(update.count(), 1);
    }

    void noMarkLeavesZeroScore()
    {
        app()->scanMark(synth::render(synth::Picture()));
        QCOMPARE(app()->lastMarkPosition(), QPointF());
        QCOMPARE(app()->filmSlots()[0].score, 0.0f);
    }

    void runningJobFillsTheMarkSlot()
    {
        app()->setTaskStatus(1);
        app()->setMarkIndex(3);
        app()->scanMark(pictureWithCode({600, 500}, 0));
        QVERIFY(app()->filmSlots()[3].score > 0);
        QCOMPARE(app()->filmSlots()[3].markPos, app()->filmSlots()[0].markPos);
    }

    // The code is read on every page search, not only the job's first page,
    // and once per search; also where the reduced picture is no whole-number
    // fraction of the capture (5:4 into 4:3) and the code lies far out.
    void pageCodeReadOnEverySearch()
    {
        QSignalSpy scanned(app(), &SpoolsmithApp::pageCodeScanned);
        const struct
        {
            uint32_t code;
            QSize size;
            QPointF mark;
        } cases[] = {{0x2fu, {1280, 960}, {620, 470}}, {0x30u, {1280, 1024}, {800, 500}}};
        for (const auto &c : cases) {
            const uint32_t code = c.code;
            app()->setMarkIndex(0); // later pages search with no mark index
            app()->setPageCodeSearch(true);
            app()->scanMark(pictureWithCode(c.mark, code, c.size));
            QCOMPARE(app()->scannedPageCode(), code);
            QCOMPARE(app()->filmSlots()[0].text, pageCodeText(code));
            QCOMPARE(app()->filmSlots()[0].points.size(), 4);
            app()->scanMark(pictureWithCode(c.mark, code + 100, c.size)); // already read: kept
            QCOMPARE(app()->scannedPageCode(), code);
            app()->setPageCodeSearch(false);
        }
        QCOMPARE(scanned.count(), 2);
        // Outside a search nothing is read.
        app()->scanMark(pictureWithCode({620, 470}, 0x77));
        QCOMPARE(app()->scannedPageCode(), 0x30u);
    }

    void foreignCodeIsRefused()
    {
        synth::Picture p;
        p.marks = {{synth::Shape::Disk, {640, 480}}};
        p.qrText = QStringLiteral("12ab34zz");
        p.qrTopLeft = synth::qrBesideMark({640, 480}, 3.5);
        app()->setPageCodeSearch(true);
        app()->scanMark(synth::render(p));
        QCOMPARE(app()->filmSlots()[0].text, QStringLiteral("12ab34zz"));
        QCOMPARE(app()->scannedPageCode(), 0u);
    }

    void clearFilmEmitsOnlyOnChange()
    {
        QSignalSpy update(app(), &SpoolsmithApp::filmViewUpdate);
        app()->clearFilm(-1); // already empty
        app()->clearFilm(2);
        app()->clearFilm(7);
        QCOMPARE(update.count(), 0);
        app()->scanMark(pictureWithCode({640, 480}, 0));
        update.clear();
        app()->clearFilm(0);
        app()->clearFilm(0);
        QCOMPARE(update.count(), 1);
        QVERIFY(!app()->filmSlots()[0].image.isNull()); // only the score changes
    }

    void markedImageDrawsTheMark()
    {
        QImage img(200, 200, QImage::Format_RGB32);
        img.fill(Qt::white);
        app()->markedImage(img, 50, 60, 20, 2.0);
        // Ellipse from (80, 100) of side 40: its left edge at (80, 120) is red.
        const QColor c = img.pixelColor(80, 120);
        QVERIFY(c.red() > 200 && c.green() < 80);
    }

    void filmViewPaintsTheCurrentMark()
    {
        app()->scanMark(pictureWithCode({640, 480}, 0));
        FilmView view;
        QSignalSpy history(&view, &FilmView::showHistoryChanged);
        view.setSize({400, 400});
        view.setVideoOutputWidth(320);
        view.setVideoOutputHeight(240);
        QImage canvas(400, 400, QImage::Format_ARGB32);
        canvas.fill(Qt::transparent);
        {
            QPainter painter(&canvas);
            view.paint(&painter);
        }
        int red = 0;
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 400; ++x)
                red += qRed(canvas.pixel(x, y)) > 150 && qAlpha(canvas.pixel(x, y)) > 100;
        QVERIFY(red > 50);
        // Turned a quarter: the circle centre lies near (240 - y, x + 1).
        const QPointF m = app()->filmSlots()[0].markPos;
        const QColor ring = canvas.pixelColor(int(240 - m.y()), int(m.x() + 1 - app()->lastMarkDiameter() / 2));
        QVERIFY(ring.alpha() > 0);
        view.setShowHistory(true);
        QCOMPARE(history.count(), 1);
    }

    void historyShowsMissedMarks()
    {
        app()->setTaskStatus(1);
        app()->setMarkIndex(1);
        app()->scanMark(synth::render(synth::Picture()));
        FilmView view;
        view.setSize({400, 400});
        view.setVideoOutputWidth(320);
        view.setVideoOutputHeight(240);
        view.setVideoOutputY(10);
        view.setShowHistory(true);
        QImage canvas(400, 400, QImage::Format_ARGB32);
        canvas.fill(Qt::transparent);
        {
            QPainter painter(&canvas);
            view.paint(&painter);
        }
        // Slot 1 thumbnail at the bottom left: 75 wide, 100 high after turning.
        QVERIFY(canvas.pixelColor(10, 400 - 100 - 90 + 5).alpha() > 0);
        bool text = false;
        for (int x = 0; x < 60 && !text; ++x)
            for (int y = 400 - 190; y < 400 - 90 && !text; ++y)
                text = canvas.pixelColor(x, y).red() > 200 && canvas.pixelColor(x, y).green() < 60;
        QVERIFY(text);
    }

    void registeredForQml()
    {
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import FilmView 1.0\nFilmView { videoOutputWidth: 10; showHistory: true }", QUrl());
        std::unique_ptr<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        QCOMPARE(object->property("videoOutputWidth").toInt(), 10);
    }
};

SPOOLSMITH_APP_TEST_MAIN(TestMarkScan)
#include "tst_mark_scan.moc"
