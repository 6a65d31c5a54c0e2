// Whole jobs on the task thread against the simulator: the machine's web
// model knows where the printed marks are, the test camera shows them.
#include "tests/support/app_test_main.h"
#include "tests/support/hang_bound.h"
#include "tests/support/job_rig.h"
#include "platform/scene/gpath_process.h"
#include "platform/scene/gscene.h"
#include "tests/support/recording_prompt.h"
#include "app/spoolsmith_app.h"
#include "machine/jobs/task_worker.h"
#include "tests/support/test_camera.h"
#include "tools/simulator/web_model.h"
#include "vision/mark_finder.h"

#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

#include <QTemporaryDir>

#include <memory>

namespace {

// Page 100 mm across x 200 mm along the web, marks of type 4 (the third and
// fourth are the next page's first two), a 10 mm square at the first mark
// and a 5 mm one at the far corner, where a distortion shows most.
const QByteArray kMarked = "IN;PS8000,4000,200,120,4,160;MD200,120,7520,3600,160;"
                           "SP1;PU0,0;PD0,400,400,400,400,0,0,0;"
                           "PU7000,3000;PD7000,3200,7200,3200,7200,3000,7000,3000;PG;";

} // namespace

class TstTaskJobs : public QObject
{
    Q_OBJECT

    SpoolsmithApp *app() { return SpoolsmithApp::instance(); }

    int plotCount(bool cutsOnly) const { return m_rig.plotCount(cutsOnly); }
    bool waitIdle(qint64 ms = kHangMs) { return m_rig.waitIdle(ms); }

    // Marks printed on the web for `pages` pages: the first of page 0 ahead
    // of the camera, each page's two marks shifted by a known amount.
    QList<QPointF> printedMarks(int pages, const QList<QPointF> &design, bool distort) const
    {
        QList<QPointF> marks;
        const QPointF first(2400, 0);
        const double pitch = design.at(3).x();
        for (int k = 0; k < pages; ++k) {
            const QPointF shift1 = distort ? QPointF(12.0 * k, -16.0 * k + 8) : QPointF();
            const QPointF shift2 = distort ? QPointF(-20.0 + 4 * k, 24.0 - 6 * k) : QPointF();
            marks << first + QPointF(k * pitch, 0) + design.at(0) + shift1
                  << first + QPointF(k * pitch, 0) + design.at(1) + shift2;
        }
        return marks;
    }

    // Three cuts, each a page's pitch after the one before.
    void verifyThreeCutsAPageApart(double pitch)
    {
        QList<double> starts;
        for (const WebModel::Plot &p : m_web->plots())
            if (!p.move)
                starts << p.start.x();
        QCOMPARE(starts.size(), 3);
        for (int i = 1; i < starts.size(); ++i)
            QVERIFY2(qAbs(starts.at(i) - starts.at(i - 1) - pitch) < pitch / 4, qPrintable(QString::number(starts.at(i))));
    }

    JobRig m_rig;
    DeviceFixture &f = m_rig.f;
    std::unique_ptr<WebModel> &m_web = m_rig.web;
    std::unique_ptr<TestCamera> &m_camera = m_rig.camera;
    RecordingPrompt m_prompt;

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=false\ndefault.debug=false"));
        Prompt::setInstance(&m_prompt);
    }
    void init()
    {
        // Generous: under the sanitizers on a loaded machine a scan takes seconds.
        QVERIFY(m_rig.setUp());
        f.config->setEnablePrint(false);
        app()->setCutTaskCopies(3);
        app()->setPrintTaskCopies(0);
        app()->reCount();
    }
    void cleanup() { m_rig.tearDown(); }

    // A single cut: wait idle, size, pre-send, plot, wait idle; then the
    // job stops the machine.
    void singleCutSendsThePlotOnce()
    {
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        f.device->cut();
        QVERIFY(!f.device->idle());
        QVERIFY(waitIdle());
        QCOMPARE(f.device->taskStatus(), 2);
        QStringList seen;
        for (const QByteArray &p : f.sim->receivedPayloads())
            seen << QString::fromLatin1(p.startsWith("PPLT;") ? QByteArray("PPLT") : p.left(p.indexOf(',') > 0 ? p.indexOf(',') : p.indexOf(';', 5)));
        // Polls of the busy cut motor repeat "3".
        seen.removeDuplicates();
        QCOMPARE(seen, (QStringList{"CCMD;3", "CCMD;22", "CCMD;21", "PPLT", "CCMD;12"}));
        QCOMPARE(plotCount(true), 1);
        QFile source(f.dir->filePath("job.plt"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QCOMPARE(m_web->plots().first().data, source.readAll());
        QCOMPARE(f.sim->commandCount(22), 1);
    }

    void cutWithoutFileIsRefused()
    {
        app()->setCutFile(QString());
        f.device->cut();
        QCOMPARE(f.device->errorMessage(), QStringLiteral("切割文件未打开 \n"));
        QVERIFY(f.device->idle());
    }

    // Kind 3 over three pages printed with known distortions: each page is
    // found, its four marks scanned, and it is cut where its marks say.
    void printAndCutRegistersEachPage()
    {
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        const QList<QPointF> design = app()->currentPageMarkPoint(true);
        QCOMPARE(design.size(), 4);
        m_web->setMarks(printedMarks(5, design, true));
        const QList<double> asDesigned = JobRig::plotNumbers(app()->generatePltData(QTransform()));
        QVERIFY(!asDesigned.isEmpty());

        f.device->wStart();
        QVERIFY(!f.device->idle());
        QVERIFY(waitIdle());
        QCOMPARE(f.device->taskStatus(), 2);
        // Three copies counted, three pages cut, then no copy was due.
        QCOMPARE(app()->cutCopies(), 3);
        QCOMPARE(plotCount(true), 3);
        // The page search fed 12.5 mm steps until the first mark showed.
        QVERIFY(f.sim->commandCount(4) >= 4);

        const QList<QPointF> web = m_web->marks();
        const QList<WebModel::Plot> plots = m_web->plots();
        int page = 0;
        for (const WebModel::Plot &plot : plots) {
            if (plot.move)
                continue;
            const QPolygonF quad{web.at(2 * page), web.at(2 * page + 1), web.at(2 * page + 3), web.at(2 * page + 2)};
            QTransform onWeb;
            QVERIFY(QTransform::quadToQuad(QPolygonF(design.toVector()), quad, onWeb));
            // Where the square must land, and where the knife put it.
            QList<QPolygonF> strokes;
            QPointF end;
            WebModel::parsePlot(plot.data, strokes, end);
            const QList<double> got = JobRig::plotNumbers(plot.data);
            QCOMPARE(got.size(), asDesigned.size());
            double worst = 0.0, moved = 0.0;
            for (int i = 0; i + 1 < got.size(); i += 2) {
                const QPointF designed(asDesigned.at(i), asDesigned.at(i + 1));
                const QPointF expected = onWeb.map(designed + web.at(0) - web.at(0));
                const QPointF landed = plot.start + QPointF(got.at(i), got.at(i + 1));
                worst = qMax(worst, QLineF(expected, landed).length());
                moved = qMax(moved, QLineF(designed, QPointF(got.at(i), got.at(i + 1))).length());
            }
            // Within 0.3 mm of the marks' page, and really moved off the
            // design by the distortion.
            QVERIFY2(worst <= 12.0, qPrintable(QStringLiteral("page %1 off by %2").arg(page).arg(worst)));
            QVERIFY2(moved >= 8.0, qPrintable(QStringLiteral("page %1 moved %2").arg(page).arg(moved)));
            ++page;
        }
        QCOMPARE(page, 3);

    }

    // Stop in the middle of the second page: the job ends at once, the page
    // being worked on is not counted.
    void stopMidPageCountsNothingTwice()
    {
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        const QList<QPointF> design = app()->currentPageMarkPoint(true);
        m_web->setMarks(printedMarks(5, design, false));
        f.device->wStart();
        QTRY_VERIFY_WITH_TIMEOUT(plotCount(true) == 2, kHangMs);
        app()->stopTask(false);
        QVERIFY(waitIdle());
        QCOMPARE(f.device->taskStatus(), 2);
        const int counted = app()->cutCopies();
        QVERIFY2(counted == 1 || counted == 2, qPrintable(QString::number(counted)));
        QCOMPARE(counted, plotCount(true) - (counted == plotCount(true) ? 0 : 1));
        QTest::qWait(300);
        QCOMPARE(app()->cutCopies(), counted);
    }

    // Stop while the web feeds on after the first page's finished cut: the
    // job ends before its count step, yet that page is counted, once.
    void stopDuringTheFeedAfterACutCountsThatPage()
    {
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        m_web->setMarks(printedMarks(5, app()->currentPageMarkPoint(true), false));
        // From the first cut on every answer comes a second late (within the
        // reply wait): the feed after it is still under way when the stop comes.
        f.config->setProperty(Config::CPT_wait_TcpRet_Msecs, 5000);
        f.sim->setLateReplyMs(1000);
        MachineSimulator *sim = f.sim.get();
        m_web->setPlotTaken([sim](const WebModel::Plot &plot) {
            if (!plot.move)
                sim->setFault(SimFault::LateReply);
        });
        const quint64 total = f.config->totalCopies();
        // The feed to the next page is a positioning plot after the cut.
        const auto feedingAfterCut = [this] {
            bool cut = false;
            for (const WebModel::Plot &plot : m_web->plots()) {
                if (cut && plot.move)
                    return true;
                cut = cut || !plot.move;
            }
            return false;
        };
        f.device->wStart();
        QTRY_VERIFY_WITH_TIMEOUT(feedingAfterCut(), kHangMs);
        app()->stopTask(false);
        QVERIFY(waitIdle());
        // The stop's own command is answered late too.
        app()->joinControlThreads();
        f.sim->setFault(SimFault::None);
        m_web->setPlotTaken({});
        QCOMPARE(plotCount(true), 1);
        QCOMPARE(app()->cutCopies(), 1);
        QCOMPARE(f.config->totalCopies(), total + 1);
    }

    // Kind 9 cuts the same page again and again until stopped; it counts no
    // copies.
    void repeatCutRepeatsUntilStopped()
    {
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        const QList<QPointF> design = app()->currentPageMarkPoint(true);
        m_web->setMarks(printedMarks(5, design, false));
        f.device->cutRepeat();
        QTRY_VERIFY_WITH_TIMEOUT(plotCount(true) >= 3, kHangMs);
        app()->stopTask(false);
        QVERIFY(waitIdle());
        QCOMPARE(app()->cutCopies(), 0);
        // Each cut began at the same place on the web: moved back each time.
        const QList<WebModel::Plot> plots = m_web->plots();
        QList<QPointF> starts;
        for (const WebModel::Plot &p : plots)
            if (!p.move)
                starts << p.start;
        for (const QPointF &s : starts)
            QVERIFY2(QLineF(s, starts.first()).length() <= 40.0, qPrintable(QStringLiteral("%1,%2").arg(s.x()).arg(s.y())));
    }

    void droppedLinkHoldsTheJob_data()
    {
        QTest::addColumn<bool>("afterPlot"); // else just after the first copy was counted
        QTest::addColumn<bool>("stopWhileHeld");
        QTest::newRow("between the plot data and its reply") << true << false;
        QTest::newRow("just after a copy was counted") << false << false;
        QTest::newRow("stopped while held") << true << true;
    }

    // The link drops: the job holds (no step, no end, no message) and goes
    // on where it was once the link is back, each page cut once and counted
    // once; a stop while it is held ends it at once.
    void droppedLinkHoldsTheJob()
    {
        QFETCH(bool, afterPlot);
        QFETCH(bool, stopWhileHeld);
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        const QList<QPointF> design = app()->currentPageMarkPoint(true);
        m_web->setMarks(printedMarks(5, design, false));
        // The next command after the moment closes the connection.
        MachineSimulator *sim = f.sim.get();
        auto armed = std::make_shared<std::atomic<bool>>(true);
        if (afterPlot) {
            m_web->setPlotTaken([sim, armed](const WebModel::Plot &p) {
                if (!p.move && armed->exchange(false))
                    sim->setFault(SimFault::DropConnection);
            });
        }
        const QMetaObject::Connection counted = connect(app(), &SpoolsmithApp::cutCopiesChanged, this,
            [this, sim, armed, afterPlot] {
                if (!afterPlot && app()->cutCopies() == 1 && armed->exchange(false))
                    sim->setFault(SimFault::DropConnection);
            }, Qt::DirectConnection);
        const quint64 before = f.config->totalCopies();
        f.device->wStart();
        QTRY_VERIFY_WITH_TIMEOUT(!f.device->linked(), kHangMs);
        disconnect(counted);
        m_web->setPlotTaken({});
        sim->setFault(SimFault::None);
        const int copies = afterPlot ? 0 : 1;
        QCOMPARE(plotCount(true), 1);
        QCOMPARE(app()->cutCopies(), copies);
        // Longer than the job ever waited for a lost link before.
        QTest::qWait(3500);
        QVERIFY(!f.device->idle());
        QCOMPARE(f.device->taskStatus(), 1);
        QCOMPARE(f.device->errorMessage(), QString());
        QCOMPARE(app()->cutCopies(), copies);
        if (stopWhileHeld) {
            app()->stopTask(false);
            QVERIFY(waitIdle());
            QCOMPARE(f.device->taskStatus(), 2);
            QCOMPARE(app()->taskStatus(), 2);
            QCOMPARE(plotCount(true), 1);
            QCOMPARE(app()->cutCopies(), copies);
            return;
        }
        QVERIFY(f.link());
        QVERIFY(waitIdle());
        QCOMPARE(f.device->taskStatus(), 2);
        QCOMPARE(app()->cutCopies(), 3);
        QCOMPARE(f.config->totalCopies(), before + 3);
        // Three cuts, each on a page of its own.
        verifyThreeCutsAPageApart(design.at(3).x());
    }

    // The machine makes a feed move of the page search but its answer is
    // lost: the step reads where the machine stands and takes the move as
    // made instead of sending it again; every page is then cut once, a page
    // apart.
    void unansweredMoveIsNotSentAgain()
    {
        f.config->setProperty(Config::CPT_wait_TcpRet_Msecs_Max, 1000);
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        const QList<QPointF> design = app()->currentPageMarkPoint(true);
        m_web->setMarks(printedMarks(5, design, false));
        f.sim->setFault(SimFault::DropMoveReply);
        f.device->wStart();
        QVERIFY(waitIdle());
        QCOMPARE(f.sim->fault(), SimFault::None); // the move was made
        QCOMPARE(f.device->taskStatus(), 2);
        QCOMPARE(app()->cutCopies(), 3);
        // After the unanswered move, the position is read, not the move sent.
        const QList<SimCommand> position = f.sim->commandLog("CCMD;4,");
        int first = 0;
        while (first < position.size() && !position.at(first).payload.startsWith("CCMD;4,1,"))
            ++first;
        QVERIFY(first + 1 < position.size());
        QCOMPARE(position.at(first + 1).payload, QByteArray("CCMD;4,0,0,0;"));
        verifyThreeCutsAPageApart(design.at(3).x());
    }

    void secondJobIsRefusedWhileOneRuns()
    {
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        m_web->setMarks(printedMarks(5, app()->currentPageMarkPoint(true), false));
        f.device->cutRepeat();
        QVERIFY(!f.device->idle());
        f.device->autoFindPoint();
        QCOMPARE(f.device->errorMessage(), QStringLiteral("机器繁忙，请稍后重试"));
        app()->stopTask(false);
        QVERIFY(waitIdle());
    }

    // The camera offset check's pattern, shipped beside the program: cut as
    // the knife cuts it and seen by the mark camera (10 pixels a mm), it is
    // one mark of 3.5 mm where the cut began, and the head ends there too.
    void cameraOffsetPatternLeavesAMark()
    {
        QFile file(qEnvironmentVariable("SPOOLSMITH_BUILD_BIN") + QStringLiteral("/3P5MM.plt"));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        QList<QPolygonF> strokes;
        QPointF end;
        WebModel::parsePlot(file.readAll(), strokes, end);
        QVERIFY(!strokes.isEmpty());
        QCOMPARE(end, QPointF(0, 0));
        QImage picture(320, 240, QImage::Format_RGB888);
        picture.fill(Qt::white);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(160, 120);
        painter.scale(0.25, 0.25);
        painter.setPen(QPen(Qt::black, 4.0)); // a 0.1 mm knife line
        for (const QPolygonF &stroke : strokes)
            painter.drawPolyline(stroke);
        painter.end();
        MarkRecord found[4];
        QCOMPARE(findMarks(35, picture, found, 4), 1);
        QVERIFY2(qAbs(found[0].x - 160) <= 2 && qAbs(found[0].y - 120) <= 2,
                 qPrintable(QStringLiteral("%1,%2").arg(found[0].x).arg(found[0].y)));
        QVERIFY2(qAbs(found[0].d - 35) <= 3, qPrintable(QString::number(found[0].d)));
    }

    // Kind 4: the pattern is cut, the camera moved over it by the configured
    // offset, and the offset corrected by where the mark was seen.
    void cameraOffsetCheckCorrectsTheOffset()
    {
        QTemporaryDir work;
        QVERIFY(QFile::copy(qEnvironmentVariable("SPOOLSMITH_BUILD_BIN") + QStringLiteral("/3P5MM.plt"),
                            work.filePath(QStringLiteral("3P5MM.plt"))));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        // The knife stands 3 mm ahead of the camera and 2 mm to its right;
        // the settings still say the two are in one place.
        m_web->setKnifeOffset(QPointF(120, -80));
        WebModel *web = m_web.get();
        m_camera->setMarkSource([web](const QSize &s) {
            QList<QPointF> centres;
            for (const QPolygonF &cut : web->cuts())
                centres << cut.boundingRect().center();
            web->setMarks(centres);
            return web->marksInView(s);
        });
        f.device->checkCameraOffset();
        QDir::setCurrent(previous);
        QVERIFY(!f.device->idle());
        QVERIFY(waitIdle());
        QCOMPARE(plotCount(true), 1);
        QVERIFY2(qAbs(f.config->markCameraOffsetX() + 3.0) <= 0.15, qPrintable(QString::number(f.config->markCameraOffsetX())));
        QVERIFY2(qAbs(f.config->markCameraOffsetY() - 2.0) <= 0.15, qPrintable(QString::number(f.config->markCameraOffsetY())));
        QCOMPARE(f.device->taskStatus(), 2);
    }

    // Kind 2: no cut copies due, so the start prints only; each pass asks
    // for the next copy and the job ends once the printed copies are done.
    void printOnlyRunsUntilThePrintedCopiesAreDone()
    {
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        app()->setCutTaskCopies(0);
        app()->setPrintTaskCopies(3);
        app()->setPrintCopies(0);
        f.device->wStart();
        QVERIFY(!f.device->idle());
        for (int printed = 1; printed <= 2; ++printed) {
            app()->setPrintCopies(printed);
            QVERIFY(!waitIdle(200)); // still a copy due
        }
        app()->setPrintCopies(3);
        QVERIFY(waitIdle());
        QCOMPARE(f.device->taskStatus(), 2);
        QCOMPARE(plotCount(false), 0);
        QCOMPARE(app()->cutCopies(), 0);
    }

    // Kind 7: the page is found and every mark scanned, again and again,
    // until stopped; nothing is cut and nothing counted.
    void markCheckScansWithoutCutting()
    {
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        m_web->setMarks(printedMarks(5, app()->currentPageMarkPoint(true), false));
        f.device->autoCheckPoint();
        QVERIFY(!f.device->idle());
        // Four marks, the first again, then the next pass.
        QTRY_VERIFY_WITH_TIMEOUT(m_camera->requests() >= 12, kHangMs);
        app()->stopTask(false);
        QVERIFY(waitIdle());
        QCOMPARE(plotCount(true), 0);
        QVERIFY(plotCount(false) > 0); // the moves between the marks
        QCOMPARE(app()->cutCopies(), 0);
    }

    // A page whose mark type the machine cannot cut: the job starts, ends at
    // once with its message, and leaves the machine stopped; nothing moves.
    void unsupportedCutTypeStartsNothing()
    {
        app()->setCutFile(f.writeFile("plain.plt", "IN;PS8000,4000;SP1;PU0,0;PD400,0,400,400;PG;"));
        QCOMPARE(app()->pageMarkType(), -1);
        f.device->wStart();
        QVERIFY(waitIdle());
        QCOMPARE(f.device->errorMessage(), QStringLiteral("不支持的切割类型!"));
        QCOMPARE(f.device->taskStatus(), 2);
        QCOMPARE(app()->taskStatus(), 2);
        QCOMPARE(plotCount(false), 0);
        QCOMPARE(app()->cutCopies(), 0);
    }

    // The machine goes away after the first page is cut and comes back: the
    // job goes on, and each copy is counted once with its page height.
    void aLinkDropMidCopyCountsTheCopyOnce()
    {
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        m_web->setMarks(printedMarks(4, app()->currentPageMarkPoint(true), false));
        app()->setCutTaskCopies(2);
        const quint64 total = f.config->totalCopies();
        const double totalCut = f.config->totalCut();
        f.device->wStart();
        QTRY_VERIFY_WITH_TIMEOUT(plotCount(true) >= 1, kHangMs);
        f.sim->dropConnections();
        QTRY_VERIFY_WITH_TIMEOUT(!f.device->linked(), kHangMs);
        QVERIFY(f.link());
        QVERIFY(waitIdle());
        QCOMPARE(f.device->taskStatus(), 2);
        QCOMPARE(plotCount(true), 2);
        QCOMPARE(app()->cutCopies(), 2);
        QCOMPARE(f.config->totalCopies(), total + 2);
        // 200 mm pages, counted in metres.
        QVERIFY2(qAbs(f.config->totalCut() - totalCut - 0.4) < 1e-9, qPrintable(QString::number(f.config->totalCut() - totalCut)));
    }

    // A Letter page (a standard size defined in inches) is fed on by its
    // height in millimetres plus the spacing, and counted by it.
    void letterPageFeedsItsHeight()
    {
        f.config->setPageSpacing(2.5);
        app()->setCutFile(f.writeFile("letter.plt", "IN;PS11176,8636,400,400,4,160;"
                                                    "SP1;PU0,0;PD0,400,400,400,400,0,0,0;PG;"));
        QCOMPARE(app()->cutPageSize(), QSizeF(215.9, 279.4));
        m_web->setMarks(printedMarks(4, app()->currentPageMarkPoint(true), false));
        app()->setCutTaskCopies(2);
        const double totalCut = f.config->totalCut();
        f.device->wStart();
        QVERIFY(waitIdle());
        QCOMPARE(app()->cutCopies(), 2);
        QCOMPARE(plotCount(true), 2);
        // The move right after each cut: a page and its spacing, 281.9 mm,
        // less where the knife left the camera (a few units).
        const QList<WebModel::Plot> plots = m_web->plots();
        int feeds = 0;
        for (int i = 0; i + 1 < plots.size(); ++i) {
            if (plots.at(i).move)
                continue;
            QList<QPolygonF> strokes;
            QPointF end;
            WebModel::parsePlot(plots.at(i + 1).data, strokes, end);
            QVERIFY2(plots.at(i + 1).move && qAbs(end.x() - 11276) <= 40, plots.at(i + 1).data.constData());
            ++feeds;
        }
        QCOMPARE(feeds, 2);
        QVERIFY2(qAbs(f.config->totalCut() - totalCut - 2 * 0.2794) < 1e-6,
                 qPrintable(QString::number(f.config->totalCut() - totalCut)));
        f.config->setPageSpacing(0.0);
    }

    // The search finds a page, but no cut file is open and no page code
    // names one.
    void emptySceneEndsTheJobWithItsMessage()
    {
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        m_web->setMarks(printedMarks(2, app()->currentPageMarkPoint(true), false));
        app()->setCutFile(QString());
        app()->cutScene()->gClear();
        f.device->autoCheckPoint();
        QVERIFY(waitIdle());
        QCOMPARE(f.device->errorMessage(), QStringLiteral("切割文件未打开或未识别到二维码"));
        QCOMPARE(plotCount(true), 0);
    }

    // Last, as it ends the application: the program's shut-down with a job
    // running (as after the updater was started) stops the job as the stop
    // button does, keeps the copies it counted, stops the motors and closes
    // the link.
    void shutdownDuringAJobStopsItAndKeepsItsCounts()
    {
        app()->setCutFile(f.writeFile("job.plt", kMarked));
        m_web->setMarks(printedMarks(5, app()->currentPageMarkPoint(true), false));
        const quint64 before = f.config->totalCopies();
        f.device->wStart();
        QTRY_VERIFY_WITH_TIMEOUT(app()->cutCopies() >= 1, kHangMs);
        app()->shutdown();
        QTRY_VERIFY_WITH_TIMEOUT(f.device->idle(), kHangMs);
        QVERIFY(!f.device->linked());
        QCOMPARE(f.device->taskStatus(), 2);
        const quint64 counted = f.config->totalCopies() - before;
        QVERIFY(counted >= 1);
        QVERIFY(int(counted) >= plotCount(true) - 1);
        const QList<QByteArray> received = f.sim->receivedPayloads();
        const qsizetype stop = received.indexOf("CCMD;12,2;");
        QVERIFY(stop >= 0);
        QVERIFY(received.indexOf("CCMD;20,1,1,0,0,0;", stop) > stop);
    }
};

SPOOLSMITH_APP_TEST_MAIN(TstTaskJobs)

#include "tst_task_jobs.moc"
