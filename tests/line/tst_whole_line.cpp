// The whole line in one run against the simulator: pages printed through
// the real printing path are laid on the machine's web with a known
// distortion each, the mark camera sees them there, every page is found by
// its marks and its page code, which switches between two cut files, and
// cut; the collect cycle asks the check camera for pictures of the cut
// labels, some of them missing; the report, counters and records follow.
#include "app/spoolsmith_app.h"
#include "machine/jobs/task_worker.h"
#include "platform/printing/memory_spooler.h"
#include "platform/printing/system_spooler.h"
#include "platform/scene/gscene.h"
#include "settings/db_config.h"
#include "tests/support/app_test_main.h"
#include "tests/support/hang_bound.h"
#include "tests/support/job_rig.h"
#include "tests/support/log_capture.h"
#include "tests/support/printed_web.h"
#include "tests/support/recording_prompt.h"
#include "tests/support/synthetic_labels.h"
#include "tests/support/image_capture_stand_in.h"
#include "tests/qml/qml_plugins.h"
#include "tests/qml/qml_test_context.h"
#include "vision/image_provider.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPageSize>
#include <QPainter>
#include <QCamera>
#include <QPdfWriter>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTextCodec>
#include <QtTest>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace {

// A page of 100 mm across and 80 mm along the web with marks of type 4
// (the third and fourth are the next page's first two): the first mark
// 3 mm from the left and 2.5 mm from the top edge, the second 94 mm across.
constexpr double kAcross = 100.0;
constexpr double kAlong = 80.0;
const QPointF kFirstMarkMm(3.0, 2.5);
constexpr double kMarkSpanMm = 94.0;
constexpr double kMarkMm = 4.0;
const QByteArray kHeader = "IN;PS3200,4000,100,120,4,160;MD100,120,3000,3760,160;SP1;";
constexpr int kPrintedPerTemplate = 7;
constexpr int kCopies = 12;
// 0.15 mm in plotter units.
constexpr double kTolerance = 6.0;

// The labels of both cut files (mm, x across, y along): a 2 x 3 grid.
QList<QRectF> labelGrid()
{
    QList<QRectF> labels;
    for (const synth::Label &l : synth::standardWeb().labels)
        labels << l.mm;
    return labels;
}

// Template A cuts the labels in order, each from its top-left corner one
// way round; template B cuts them last first and the other way round.
QByteArray cutFile(bool reversed)
{
    QByteArray plt = kHeader;
    QList<QRectF> labels = labelGrid();
    if (reversed)
        std::reverse(labels.begin(), labels.end());
    for (const QRectF &r : labels) {
        // HPGL: along first, relative to the first mark.
        const int a0 = int(std::lround((r.top() - kFirstMarkMm.y()) * 40));
        const int a1 = int(std::lround((r.bottom() - kFirstMarkMm.y()) * 40));
        const int c0 = int(std::lround((r.left() - kFirstMarkMm.x()) * 40));
        const int c1 = int(std::lround((r.right() - kFirstMarkMm.x()) * 40));
        if (!reversed)
            plt += QStringLiteral("PU%1,%2;PD%1,%4,%3,%4,%3,%2,%1,%2;").arg(a0).arg(c0).arg(a1).arg(c1).toLatin1();
        else
            plt += QStringLiteral("PU%1,%2;PD%3,%2,%3,%4,%1,%4,%1,%2;").arg(a0).arg(c0).arg(a1).arg(c1).toLatin1();
    }
    return plt + "PG;";
}


// The distortion page k was printed with: a small turn, stretch and shift.
QTransform pageOnWeb(int k, double pitchMm)
{
    const double along = 2400.0 - kFirstMarkMm.y() * 40 + k * pitchMm * 40;
    return PrintedWeb::placement(along, kFirstMarkMm, 0.12 * ((k % 5) - 2), 1.0 + 0.0015 * ((k % 3) - 1),
                                 1.0 - 0.001 * ((k % 4) - 1.5), QPointF(10.0 * (k % 4) - 15, 8.0 * ((k + 2) % 3) - 8));
}

// Labels left off the web of chosen pages.
QSet<int> missingOn(int page)
{
    switch (page) {
    case 2: return {1};
    case 4: return {3, 4};
    case 7: return {5};
    case 9: return {0, 2};
    default: return {};
    }
}

// One check picture as the camera stand-in answered it.
struct CheckShot
{
    int page = -1;   // the last page cut when it was taken
    int pageTop = 0; // where the page starts in the picture
    QSet<int> missing;
    // Not a picture: a job started here (the page position starts over;
    // with a recount the check count too).
    bool jobStart = false;
    bool recount = false;
};

// One record of "label.csv": its lost labels (indices of the grid).
struct ReportLine
{
    int lost = -1;
    QSet<int> missing;
};

QList<ReportLine> readReport(const QString &path)
{
    QList<ReportLine> out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    const QString text = QTextCodec::codecForName("GBK")->toUnicode(file.readAll());
    static const QRegularExpression start(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d,"),
                                          QRegularExpression::MultilineOption);
    static const QRegularExpression summary(QStringLiteral("\"lost: (\\d+), check: (\\d+)"));
    static const QRegularExpression lost(QStringLiteral("LOST\\d+、(\\d+), (\\d+)\\("));
    QList<qsizetype> starts;
    for (auto it = start.globalMatch(text); it.hasNext();)
        starts << it.next().capturedStart();
    for (int i = 0; i < starts.size(); ++i) {
        const QString record = text.mid(starts.at(i), (i + 1 < starts.size() ? starts.at(i + 1) : text.size()) - starts.at(i));
        ReportLine line;
        const auto s = summary.match(record);
        if (s.hasMatch())
            line.lost = s.captured(1).toInt();
        for (auto it = lost.globalMatch(record); it.hasNext();) {
            const auto m = it.next();
            line.missing.insert((m.captured(1).toInt() - 1) * 2 + (m.captured(2).toInt() - 1));
        }
        out << line;
    }
    return out;
}

// The report's rule: a picture whose page starts further down than in the
// picture before is a new page; the first one only starts the count.
QList<QSet<int>> expectedReport(const QList<CheckShot> &shots)
{
    QList<QSet<int>> lines;
    int previous = 0;
    bool counted = false;
    for (const CheckShot &s : shots) {
        if (s.jobStart) {
            previous = 0;
            counted = counted && !s.recount;
            continue;
        }
        if (s.pageTop > previous) {
            if (counted)
                lines << s.missing;
            counted = true;
        }
        previous = s.pageTop;
    }
    return lines;
}

} // namespace

class TstWholeLine : public QObject
{
    Q_OBJECT

    SpoolsmithApp *app() { return SpoolsmithApp::instance(); }

    QString writePrintFile()
    {
        const QString path = m_rig.f.dir->filePath(QStringLiteral("labels.pdf"));
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QSizeF(kAcross, kAlong), QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(1200);
        // The writer's page is a whole number of points (99.84 x 79.73 mm),
        // and the printer gets it stretched to the page: drawn that much
        // smaller, the marks land where the cut file has them.
        const QRectF points = writer.pageLayout().fullRectPoints();
        const double mmPerPoint = 25.4 / 72.0;
        QPainter painter(&writer);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(writer.resolution() / 25.4, writer.resolution() / 25.4);
        painter.scale(points.width() * mmPerPoint / kAcross, points.height() * mmPerPoint / kAlong);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        for (const QPointF &c : {kFirstMarkMm, kFirstMarkMm + QPointF(kMarkSpanMm, 0)})
            painter.drawEllipse(c, kMarkMm / 2, kMarkMm / 2);
        // Label artwork in a light ink the mark camera must not take for marks.
        painter.setBrush(QColor(200, 200, 200));
        for (const QRectF &r : labelGrid())
            painter.drawRect(r.adjusted(3, 3, -20, -12));
        painter.end();
        return path;
    }

    // Prints kPrintedPerTemplate pages of the print file for each cut file
    // through the application's printing path, and gives the page codes in
    // print order.
    QList<quint32> printPages(const QString &pdf, const QStringList &cutFiles)
    {
        for (const QString &cut : cutFiles) {
            app()->setPrintFile(pdf);
            // The print file asks for its cut file (marker type 2): given after it.
            app()->setPrintCutFile(cut);
            app()->setPrintPageSize(QSizeF(kAcross, kAlong));
            app()->setPrintPreview(QImage(10, 10, QImage::Format_RGB32));
            app()->setPrinterName(QStringLiteral("Canon_Mem"));
            if (!app()->printPdf(pdf, QStringLiteral("Canon_Mem"), kPrintedPerTemplate))
                return {};
        }
        QList<QVariantList> rows;
        DbConfig &db = m_rig.f.config->db();
        const QString table = QStringLiteral("t_task_record_") + QDate::currentDate().toString(QStringLiteral("yyyy_MM"));
        if (!db.select(QStringLiteral("SELECT code FROM %1 ORDER BY timestamp").arg(table), rows))
            return {};
        QList<quint32> codes;
        for (const QVariantList &row : rows)
            codes << row.value(0).toUInt();
        return codes;
    }

    // The check camera: the cut labels of the last page cut, pictured so
    // that a new page starts lower in the picture than the one before (until
    // the picture has no room left).
    QImage checkPicture() { return planCheckPicture()(); }

    // What the check camera sees now; the drawing can run elsewhere.
    std::function<QImage()> planCheckPicture()
    {
        int page = -1;
        const QList<WebModel::Plot> plots = m_rig.web->plots();
        for (const WebModel::Plot &p : plots)
            page = p.move ? page : pageOfPlot(p);
        CheckShot shot = m_shots.isEmpty() ? CheckShot{-2, 15, {}} : m_shots.last();
        if (shot.jobStart) {
            // The job's start set the page position back.
            shot.jobStart = false;
            shot.pageTop = 15;
            shot.page = -2;
        }
        if (page != shot.page) {
            shot.page = page;
            shot.pageTop = shot.pageTop + 45 <= 240 ? shot.pageTop + 45 : 60;
            shot.missing = m_webPageMissing.value(page);
        }
        m_shots << shot;
        synth::LabelWeb web = synth::standardWeb();
        web.firstPageY = shot.pageTop;
        web.missing = shot.missing;
        return [web] { return synth::renderCheckPicture(web); };
    }

    // The web page whose first mark the plot began nearest to.
    int pageOfPlot(const WebModel::Plot &plot) const
    {
        int best = -1;
        double bestDistance = 1e9;
        for (int k = 0; k < m_printed.pageCount(); ++k) {
            const double d = QLineF(plot.start, m_printed.onWeb(k, kFirstMarkMm)).length();
            if (d < bestDistance) {
                bestDistance = d;
                best = k;
            }
        }
        return bestDistance < 400 ? best : -1;
    }

    // Every cut checked against the printed marks of its page; gives the
    // web page of each cut, in order.
    QList<int> checkCuts(const QList<QPointF> &design, const QList<double> designed[2])
    {
        QList<int> cutPages;
        for (const WebModel::Plot &plot : m_rig.web->plots()) {
            if (plot.move)
                continue;
            const int k = pageOfPlot(plot);
            if (k < 0 || k + 1 >= m_printed.pageCount()) {
                QTest::qFail(qPrintable(QStringLiteral("a cut began on no page at %1,%2").arg(plot.start.x()).arg(plot.start.y())),
                             __FILE__, __LINE__);
                return {};
            }
            const QPointF second = kFirstMarkMm + QPointF(kMarkSpanMm, 0);
            const QPolygonF quad{m_printed.onWeb(k, kFirstMarkMm), m_printed.onWeb(k, second),
                                 m_printed.onWeb(k + 1, second), m_printed.onWeb(k + 1, kFirstMarkMm)};
            QTransform onWeb;
            if (!QTransform::quadToQuad(QPolygonF(design.toVector()), quad, onWeb))
                return {};
            const QList<double> &want = designed[m_webPageTemplate.value(k)];
            const QList<double> got = JobRig::plotNumbers(plot.data);
            if (got.size() != want.size()) {
                QTest::qFail(qPrintable(QStringLiteral("page %1 cut with %2 numbers, its template has %3")
                                            .arg(k).arg(got.size()).arg(want.size())), __FILE__, __LINE__);
                return {};
            }
            double worst = 0.0;
            for (int i = 0; i + 1 < got.size(); i += 2) {
                const QPointF expected = onWeb.map(QPointF(want.at(i), want.at(i + 1)));
                const QPointF landed = plot.start + QPointF(got.at(i), got.at(i + 1));
                worst = qMax(worst, QLineF(expected, landed).length());
            }
            if (worst > kTolerance) {
                QTest::qFail(qPrintable(QStringLiteral("page %1 cut %2 mm off its marks").arg(k).arg(worst / 40.0)),
                             __FILE__, __LINE__);
                return {};
            }
            cutPages << k;
        }
        return cutPages;
    }

    // Waits until every check picture asked for is answered and inspected:
    // the requests' threads first (after them every request is posted),
    // then the answers, then the inspections they started.
    void settleCheckPictures()
    {
        joinLabelChecks();
        const auto asked = [this] {
            int n = m_rig.camera ? m_rig.camera->requests() - m_rig.camera->answered() : 0;
            for (const ImageCaptureStandIn *c : m_standIns)
                n += c->requests() - c->answered();
            return n;
        };
        QTRY_COMPARE_WITH_TIMEOUT(asked(), 0, kHangMs);
        joinLabelChecks();
        QCoreApplication::processEvents();
    }

    // Joined off the GUI thread: a request's picture comes through it.
    void joinLabelChecks()
    {
        std::atomic<bool> joined{false};
        std::thread joiner([this, &joined] {
            app()->joinLabelChecks();
            joined = true;
        });
        const bool done = QTest::qWaitFor([&joined] { return joined.load(); }, kLongHangMs);
        joiner.join();
        QVERIFY2(done, "label checks still running");
    }

    void markJobStart(bool recount)
    {
        CheckShot start;
        start.jobStart = true;
        start.recount = recount;
        m_shots << start;
    }

    void startJob(bool recount)
    {
        settleCheckPictures();
        markJobStart(recount);
        app()->startTask(recount);
    }

    // Clicks an item of the window by its object name, in its middle.
    bool click(QQuickWindow *window, const char *name)
    {
        auto *item = window->findChild<QQuickItem *>(QLatin1String(name));
        if (!item || !item->isVisible())
            return false;
        const QPointF middle = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(window, Qt::LeftButton, {}, middle.toPoint());
        return true;
    }

    // A whole job's run from its start: the job ends by itself, every page
    // is cut on its marks by its template, and the counters, records,
    // report and log agree. Gives the job's wall time.
    qint64 runToTheEnd(const std::function<void()> &start)
    {
        const quint64 before = m_rig.f.config->totalCopies();
        settleCheckPictures();
        QElapsedTimer wall;
        wall.start();
        start();
        if (QTest::currentTestFailed())
            return 0;
        [&] {
            QCOMPARE(m_rig.f.device->errorMessage(), QString());
            QVERIFY(m_rig.waitIdle(240000));
        }();
        const qint64 wallNs = wall.nsecsElapsed();
        if (QTest::currentTestFailed())
            return 0;
        checkEnded(int(before));
        return wallNs;
    }

    // The job ended by itself with every page cut once, in order, and
    // counters, records, report and log agree.
    void checkEnded(int countedBefore)
    {
        QCOMPARE(m_rig.f.device->taskStatus(), 2);
        QCOMPARE(m_rig.f.device->errorMessage(), QString());
        const QList<int> cutPages = checkCuts(m_design, m_designed);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(cutPages.size(), kCopies);
        for (int i = 0; i < cutPages.size(); ++i)
            QCOMPARE(cutPages.at(i), i);
        checkRecords(cutPages, countedBefore);
        if (QTest::currentTestFailed())
            return;
        const QStringList criticals = LogCapture::criticals();
        QVERIFY2(criticals.isEmpty(), qPrintable(criticals.join(QLatin1Char('\n'))));
    }

    // The two cut files, the print file, the printed pages on the web.
    void prepareRun()
    {
        m_cut[0] = m_rig.f.writeFile(QStringLiteral("template_a.plt"), cutFile(false));
        m_cut[1] = m_rig.f.writeFile(QStringLiteral("template_b.plt"), cutFile(true));
        for (int t = 1; t >= 0; --t) {
            app()->setCutFile(m_cut[t]);
            QCOMPARE(app()->cutPageSize(), QSizeF(kAcross, kAlong));
            m_designed[t] = JobRig::plotNumbers(app()->generatePltData(QTransform()));
            QVERIFY(!m_designed[t].isEmpty());
        }
        m_design = app()->currentPageMarkPoint(true);
        const double pitch = kAlong + m_rig.f.config->pageSpacing();
        QCOMPARE(m_design, (QList<QPointF>{{0, 0}, {0, kMarkSpanMm * 40}, {pitch * 40, kMarkSpanMm * 40}, {pitch * 40, 0}}));

        const QList<quint32> codes = printPages(writePrintFile(), {m_cut[0], m_cut[1]});
        const QList<printing::MemorySpooler::Page> printed = m_spooler.pages();
        QCOMPARE(printed.size(), 2 * kPrintedPerTemplate);
        QCOMPARE(codes.size(), printed.size());
        // The web holds the two batches' pages in turn: A, B, A, B, ...
        for (int k = 0; k < printed.size(); ++k) {
            const int t = k % 2;
            const int i = t * kPrintedPerTemplate + k / 2;
            m_printed.addPage(printed.at(i).image, QSizeF(kAcross, kAlong), pageOnWeb(k, pitch));
            m_webPageTemplate[k] = t;
            m_webPageCode[k] = codes.at(i);
            m_webPageMissing[k] = missingOn(k);
        }
        PrintedWeb *web = &m_printed;
        WebModel *model = m_rig.web.get();
        m_rig.camera->setMarkPictureSource([web, model](const QSize &size) {
            return web->markPicture(model->cameraPosition(), size);
        });
        m_rig.camera->setLabelPlanner([this] { return planCheckPicture(); });

        // The job opens template A; the page codes switch it.
        app()->setCutFile(m_cut[0]);
        app()->setCutTaskCopies(kCopies);
        app()->setPrintTaskCopies(0);
        // Each cut file opened asked for a check picture of its own: those
        // are no part of the job's report.
        settleCheckPictures();
        m_shots.clear();
        QFile::remove(QStringLiteral("label.csv"));
    }

    // Counters, records and the report agree with the pages cut.
    void checkRecords(const QList<int> &cutPages, int countedBefore)
    {
        QSet<int> distinct(cutPages.begin(), cutPages.end());
        QCOMPARE(int(distinct.size()), kCopies);
        QCOMPARE(app()->cutCopies(), kCopies);
        QCOMPARE(m_rig.f.config->totalCopies(), quint64(countedBefore + kCopies));
        QVERIFY2(qAbs(m_rig.f.config->totalCut() - kCopies * kAlong / 1000.0) < 1e-6,
                 qPrintable(QString::number(m_rig.f.config->totalCut())));
        DbConfig &db = m_rig.f.config->db();
        WorkDataRecord today;
        QVERIFY(db.selectWorkData(QDate::currentDate(), today));
        QCOMPARE(today.copies, quint32(kCopies));
        // Each printed page's record counts its cut once, or not at all, and
        // so does the month's work record of its print (a print outside a
        // job has one per page), which names the page's cut file.
        for (int k = 0; k < m_printed.pageCount(); ++k) {
            const int cut = distinct.contains(k) ? 1 : 0;
            TaskRecord record;
            QVERIFY(db.findTaskRecordByCode(m_webPageCode.value(k), record));
            QCOMPARE(int(record.cutCopies), cut);
            WorkRecord print;
            QVERIFY(db.findWorkRecordByTimestamp(record.workRecordTimestamp, print));
            QCOMPARE(int(print.cutCnt), cut);
            QCOMPARE(int(print.printCnt), 1);
            QCOMPARE(print.cutFile, m_cut[m_webPageTemplate.value(k)]);
        }

        // The report: a line for each new page pictured after the first,
        // with exactly the labels missing on it.
        settleCheckPictures();
        const QList<QSet<int>> expected = expectedReport(m_shots);
        const QList<ReportLine> report = readReport(QStringLiteral("label.csv"));
        QVERIFY2(expected.size() >= 3, qPrintable(QString::number(expected.size())));
        QCOMPARE(report.size(), expected.size());
        for (int i = 0; i < report.size(); ++i) {
            QCOMPARE(report.at(i).missing, expected.at(i));
            QCOMPARE(report.at(i).lost, int(expected.at(i).size()));
        }
        QCOMPARE(app()->checkedCopies(), int(report.size()) + 1);
        // The missing labels of every page reported are in the report.
        int missingReported = 0;
        for (const QSet<int> &m : expected)
            missingReported += int(m.size());
        QVERIFY(missingReported > 0);
    }

    // Only the mark camera's drawing is taken off: the job waits for those
    // pictures. The check camera's are drawn on the test camera's own
    // threads, beside the job, as a real camera's frames come.
    void writeBenchmark(qint64 wallNs, qint64 waitNs, qint64 replyNs, qint64 markRenderNs, qint64 checkRenderNs,
                        int pages)
    {
        const double ownMs = (wallNs - waitNs - replyNs - markRenderNs) / 1e6 / pages;
        QJsonObject o;
        o.insert(QStringLiteral("name"), QStringLiteral("whole_line/own_time_per_page"));
        o.insert(QStringLiteral("pages"), pages);
        o.insert(QStringLiteral("own_ms_per_page"), ownMs);
        o.insert(QStringLiteral("wall_ms_per_page"), wallNs / 1e6 / pages);
        o.insert(QStringLiteral("fixed_wait_ms_per_page"), waitNs / 1e6 / pages);
        o.insert(QStringLiteral("machine_reply_wait_ms_per_page"), replyNs / 1e6 / pages);
        o.insert(QStringLiteral("mark_camera_stand_in_ms_per_page"), markRenderNs / 1e6 / pages);
        o.insert(QStringLiteral("check_camera_stand_in_ms_per_page"), checkRenderNs / 1e6 / pages);
        o.insert(QStringLiteral("goal_ms"), 50);
        const QString dir = qEnvironmentVariable("SPOOLSMITH_BENCH_RESULTS", QDir::currentPath());
        QDir().mkpath(dir);
        QFile file(dir + QStringLiteral("/whole_line.json"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(o).toJson());
        // A figure, not a check: timed asserts do not belong in a test run
        // beside other builds; the goal is read from the file.
        qWarning().noquote() << "whole line: own time per page" << QString::number(ownMs, 'f', 1) << "ms (goal 50), written to"
                             << file.fileName();
    }

    JobRig m_rig;
    RecordingPrompt m_prompt;
    printing::MemorySpooler m_spooler;
    PrintedWeb m_printed;
    QString m_cut[2];
    QList<double> m_designed[2];
    QList<QPointF> m_design;
    QMap<int, int> m_webPageTemplate;
    QMap<int, quint32> m_webPageCode;
    QMap<int, QSet<int>> m_webPageMissing;
    QList<CheckShot> m_shots;
    QList<ImageCaptureStandIn *> m_standIns;
    std::unique_ptr<LogCapture> m_log;

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=false\ndefault.debug=false"));
        Prompt::setInstance(&m_prompt);
        printing::installSpooler(&m_spooler);
    }
    void cleanupTestCase() { printing::installSpooler(nullptr); }
    void init()
    {
        m_log = std::make_unique<LogCapture>();
        LogCapture::clear();
        QVERIFY(m_rig.setUp(true));
        Config &c = *m_rig.f.config;
        c.setEnablePrint(false);
        c.setProperty(Config::CPT_Enable_Print_Marker_Type, 2);
        c.setProperty(Config::CPT_Printer_Copies, false);
        c.setProperty(Config::CPT_Wait_Print, false);
        c.setPageSpacing(0.0);
        // The collect and trim side with its check camera.
        c.setEnableScanAndTrim(true);
        c.setTrim(true);
        c.setCheckCameraRotation(90);
        c.setAutoRoll(false);
        c.setCollectRollerTrigger(60);
        c.setCollectRollerLimit(20);
        c.setCollectRollerMax(100);
        c.setFilmRollerLimit(10);
        m_rig.f.sim->updateState([](SimMachineState &s) {
            s.filmRoller = QStringLiteral("95");
            s.collectRoller = QStringLiteral("56");
            s.printRoller = QStringLiteral("80");
            // 50 mm collected takes 4 off the reading; a page fed adds 4.
            s.collectRollerPerLength = 0.08;
        });
        m_rig.web->setCollectRise(4.0 / 3200.0);
        printing::MemorySpooler::Printer printer;
        printer.resolution = QSize(1181, 945); // 100 x 80 mm at 300 dpi
        m_spooler.addPrinter(QStringLiteral("Canon_Mem"), printer);
        QFile::remove(QStringLiteral("label.csv"));
    }
    void cleanup()
    {
        m_rig.tearDown();
        app()->joinLabelChecks();
        m_spooler.clear();
        m_printed.clear();
        m_webPageTemplate.clear();
        m_webPageCode.clear();
        m_webPageMissing.clear();
        m_shots.clear();
        m_standIns.clear();
        m_log.reset();
    }

    // Twelve pages from the application's start: each registered by its four
    // marks, cut by the template its page code names, inspected, counted.
    void wholeJobFromTheApplication()
    {
        prepareRun();
        if (QTest::currentTestFailed())
            return;
        const qint64 waitsBefore = TaskWorker::finishedJobsWaitNs();
        const qint64 repliesBefore = TaskWorker::finishedJobsReplyWaitNs();
        const qint64 renderBefore = m_rig.camera->renderNs();
        const qint64 markRenderBefore = m_rig.camera->markRenderNs();
        const qint64 wallNs = runToTheEnd([this] { startJob(true); });
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY_WITH_TIMEOUT(TaskWorker::finishedJobsWaitNs() > waitsBefore, kHangMs);
        const qint64 markRenderNs = m_rig.camera->markRenderNs() - markRenderBefore;
        writeBenchmark(wallNs, TaskWorker::finishedJobsWaitNs() - waitsBefore,
                       TaskWorker::finishedJobsReplyWaitNs() - repliesBefore, markRenderNs,
                       m_rig.camera->renderNs() - renderBefore - markRenderNs, kCopies);
    }

    // The same run as an operator starts it: the task tab's start button in
    // the real main window, whose camera object gets its pictures from
    // stand-ins of its capture sessions. Not one QML warning.
    void wholeJobFromTheStartButton()
    {
        prepareRun();
        if (QTest::currentTestFailed())
            return;
        PrintedWeb *web = &m_printed;
        WebModel *model = m_rig.web.get();
        ImageCaptureStandIn mark([web, model] { return web->markPicture(model->cameraPosition(), QSize(1280, 960)); });
        ImageCaptureStandIn check([this] { return checkPicture(); });
        // The window's pictures are read beside the program, as it runs.
        QVERIFY(QFile::link(qEnvironmentVariable("SPOOLSMITH_BUILD_BIN") + QStringLiteral("/Spoolsmith"),
                            m_rig.f.dir->filePath(QStringLiteral("Spoolsmith"))));
        settleMediaDevices();
        QQmlApplicationEngine engine;
        QStringList engineWarnings;
        connect(&engine, &QQmlEngine::warnings, this, [&engineWarnings](const QList<QQmlError> &errors) {
            for (const QQmlError &e : errors)
                engineWarnings << e.toString();
        });
        prepareQmlEngine(&engine, app(), m_rig.f.config.get(), m_rig.f.device.get());
        engine.addImageProvider(QLatin1String(ImageProvider::kId), app()->takeImageProvider());
        engine.rootContext()->setContextProperty(QStringLiteral("checkCamera"), static_cast<QObject *>(app()->checkCamera()));
        engine.load(QUrl(QStringLiteral("qrc:/Spoolsmith2024/Main.qml")));
        QCOMPARE(engine.rootObjects().size(), 1);
        auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window, kHangMs));

        // From here the window's camera object answers, as in the program.
        settleCheckPictures();
        m_rig.camera.reset();
        QObject *camera = window->findChild<QObject *>(QStringLiteral("SpoolsmithCamera"));
        QVERIFY(camera);
        QVERIFY(camera->setProperty("markImageCapture", QVariant::fromValue<QObject *>(&mark)));
        QVERIFY(camera->setProperty("checkImageCapture", QVariant::fromValue<QObject *>(&check)));
        app()->connectCamera(&engine);
        m_standIns = {&mark, &check};

        runToTheEnd([&] {
            QVERIFY(click(window, "playButton"));
            QObject *popup = window->findChild<QObject *>(QStringLiteral("startPopup"));
            QVERIFY(popup);
            QTRY_VERIFY_WITH_TIMEOUT(popup->property("opened").toBool(), kHangMs);
            QVERIFY(click(window, "recountButton"));
            QCOMPARE(app()->cutCopies(), 0);
            markJobStart(true);
            QVERIFY(click(window, "startButton"));
            QVERIFY(!m_rig.f.device->idle());
        });
        QVERIFY(mark.answered() > kCopies * 5);
        QVERIFY(check.answered() > 3);
        const QStringList qmlWarnings = engineWarnings + LogCapture::qmlWarnings();
        QVERIFY2(qmlWarnings.isEmpty(), qPrintable(qmlWarnings.join(QLatin1Char('\n'))));
        m_standIns.clear();
    }

    // The machine goes away once the fifth page is counted and comes back:
    // the job holds meanwhile, then finishes every copy, each page cut once
    // and every count exact.
    void linkLostAtPageFiveTheJobHoldsAndFinishes()
    {
        prepareRun();
        if (QTest::currentTestFailed())
            return;
        const quint64 before = m_rig.f.config->totalCopies();
        // The machine goes the moment the fifth copy is counted, on the task
        // thread: the web stands fed to the sixth page.
        MachineSimulator *sim = m_rig.f.sim.get();
        const QMetaObject::Connection drop = connect(app(), &SpoolsmithApp::cutCopiesChanged, this, [this, sim] {
            if (app()->cutCopies() == 5)
                sim->stop();
        }, Qt::DirectConnection);
        startJob(true);
        QTRY_VERIFY_WITH_TIMEOUT(!sim->running(), kLongHangMs);
        disconnect(drop);
        QTRY_VERIFY_WITH_TIMEOUT(!m_rig.f.device->linked(), kHangMs);
        // Held: nothing more cut or counted, no message, the job still on.
        QTest::qWait(1000);
        QCOMPARE(m_rig.f.device->taskStatus(), 1);
        QVERIFY(!m_rig.f.device->idle());
        QCOMPARE(m_rig.f.device->errorMessage(), QString());
        QCOMPARE(app()->cutCopies(), 5);
        QCOMPARE(m_rig.plotCount(true), 5);

        // Back: the job goes on where it was and ends by itself.
        QVERIFY(m_rig.f.sim->start());
        QVERIFY(m_rig.f.link());
        const bool ended = m_rig.waitIdle(240000);
        if (!ended)
            qWarning() << "rollers" << m_rig.f.sim->state().collectRoller << m_rig.f.sim->state().filmRoller
                       << m_rig.f.device->collectRoller() << m_rig.f.device->filmRoller() << "camera"
                       << m_rig.web->cameraPosition() << "collect motor" << m_rig.f.sim->state().collectMotor.state;
        QVERIFY(ended);
        // Every critical line is the lost link's: the sends that failed,
        // the collect cycle's motor commands among them.
        static const QRegularExpression linkLost(
            QStringLiteral("dislink|not connected|send failed|Recv failed|(wCollectMotor|wTrimMotorYSpeed|wTrimMotorX) failed"));
        for (const QString &line : LogCapture::criticals())
            QVERIFY2(linkLost.match(line).hasMatch(), qPrintable(line));
        LogCapture::clear();
        checkEnded(int(before));
    }
};

SPOOLSMITH_APP_TEST_MAIN(TstWholeLine)

#include "tst_whole_line.moc"
