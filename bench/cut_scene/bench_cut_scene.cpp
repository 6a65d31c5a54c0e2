// The cut scene as the program holds it: each cut file opened through the
// program's own cutFile, with the event loop running, in a fresh process.
// Rows per shape (long contours, many small polylines, small squares,
// 20 MB of small closed paths, and 20 MB of 7.5 mm triangles at random on a
// 330 x 1000 mm page and spread over 1000 x 1000 mm):
// - memory held after the open against the file's size, beside the same
//   points as int32 pairs (the floor of any scene);
// - peak resident memory during the open (sampled every 50 ms from its start
//   to its end) against 3 x the file's size + 250 MB;
// - opening speed (read, parse, place, template, shown copy) beside the
//   HPGL reader alone on the same bytes;
// - the longest gap of a 5 ms GUI timer during the open, beside the same
//   timer's on the idle GUI thread afterwards;
// - clearing the scene, per outline, at the smaller size against the larger
//   (linear).
// The random polylines cross the whole page, so the label template (every
// outline filled) costs far more than their reading: they run at 5 and 20 MB.
// Square pages of a few bytes each (30 mm, 1 m, 3.15 m, 10 m, and an outline
// to 2,000,000,000 units): the peak memory of their open above the program
// before it against 400 MB, and the longest GUI gap against 250 ms, the
// pages larger than the station takes refused.
// The largest page that opens (a 1155 mm square, as HPGL and as a .tva) and
// 20 MB of small closed paths, with the preview of the task page shown in a
// window and drawn: the same two figures beside an A4 page opened the same
// way. A preview closed while it reads 20 MB: the GUI thread's wait, beside
// one closed after its A4 page was read.
#include "app/app_services.h"
#include "app/cut/cut_document.h"
#include "app/plt_quick_view.h"
#include "app/spoolsmith_app.h"
#include "platform/ocr/ocr_lite.h"
#include "bench/support/interleaved.h"
#include "bench/support/resident_memory.h"
#include "platform/hpgl/hpgl_parser.h"
#include "platform/prompt/prompt.h"
#include "platform/scene/gscene.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QQuickWindow>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <malloc.h>


#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include <unistd.h>

namespace {

const QByteArray kHeader = "IN;PS8000,4000,200,120,4,160;MD200,120,7520,3600,160;SP1;";

QByteArray num(int v) { return QByteArray::number(v); }

QByteArray generate(const QByteArray &shape, qsizetype bytes)
{
    QByteArray out = kHeader;
    out.reserve(bytes + 4096);
    QRandomGenerator rng(42);
    if (shape.startsWith("square-")) { // "square-<side in plotter units>", the page its extent
        const QByteArray u = shape.mid(7);
        return "IN;SP1;PU0,0;PD" + u + ",0," + u + ',' + u + ",0," + u + ",0,0;PU;";
    }
    if (shape.startsWith("tva-")) { // "tva-<side in mm>": a template of that page, its outline the page's
        const QByteArray mm = shape.mid(4), pt = QByteArray::number(mm.toDouble() * 72.0 / 25.4, 'f', 3);
        return R"({"format":"spoolsmith-tva","version":1,"page":{"width":)" + mm + R"(,"height":)" + mm
               + R"(},"paths":[{"pen":1,"subpaths":[[0,0,)" + pt + ",0," + pt + ',' + pt + ",0," + pt + ",0,0]]}]}";
    }
    if (shape == "a4") // an A4 page without marks, one 10 mm square on it
        return "IN;PS11880,8400;SP1;PU400,400;PD800,400,800,800,400,800,400,400;PU;";
    if (shape == "contours") { // outlines of 20,000 points, wandering
        while (out.size() < bytes) {
            int x = 400 + rng.bounded(7000), y = 400 + rng.bounded(3000);
            out += "PU" + num(x) + ',' + num(y) + ";PD";
            for (int i = 0; i < 20000 && out.size() < bytes; ++i) {
                x = qBound(0, x + rng.bounded(21) - 10, 8000);
                y = qBound(0, y + rng.bounded(21) - 10, 4000);
                out += num(x) + ',' + num(y) + ',';
            }
            out.chop(1);
            out += ";\n";
        }
    } else if (shape == "polylines") { // the HPGL bench's file: 40 random points each
        while (out.size() < bytes) {
            out += "PU" + num(rng.bounded(8000)) + ',' + num(rng.bounded(4000)) + ";PD";
            for (int i = 0; i < 40; ++i)
                out += num(rng.bounded(8000)) + ',' + num(rng.bounded(4000)) + ',';
            out.chop(1);
            out += ";\r\n";
        }
    } else if (shape == "lines") { // short strokes, one a line, as page codes' files are in the tests
        for (int i = 0; out.size() < bytes; ++i) {
            const int x = 400 + i % 7000, y = 400 + (i / 7000) % 3000;
            out += "PU" + num(x) + ',' + num(y) + ";PD" + num(x) + ',' + num(y + 40) + ";\n";
        }
    } else if (shape == "squares") { // 1 mm squares on a grid
        for (int i = 0; out.size() < bytes; ++i) {
            const int x = 400 + (i % 180) * 40, y = 400 + (i / 180) % 80 * 40;
            out += "PU" + num(x) + ',' + num(y) + ";PD" + num(x) + ',' + num(y + 30) + ',' + num(x + 30) + ','
                   + num(y + 30) + ',' + num(x + 30) + ',' + num(y) + ',' + num(x) + ',' + num(y) + ";\n";
        }
    } else if (shape.startsWith("triangles")) {
        // Closed 7.5 mm triangles at random, about 36 bytes each: on a page
        // of 330 x 1000 mm, or with no page header over 1000 x 1000 mm (the
        // page is then the drawing's extent).
        const bool wide = shape == "triangles-wide";
        const int along = 40000 - 300, across = (wide ? 40000 : 13200) - 300;
        out = wide ? QByteArray("IN;SP1;") : QByteArray("IN;PS40000,13200,200,120,4,160;MD200,120,39600,12960,160;SP1;");
        while (out.size() < bytes) {
            const int x = rng.bounded(along), y = rng.bounded(across);
            out += "PU" + num(x) + ',' + num(y) + ";PD" + num(x + 300) + ',' + num(y) + ',' + num(x + 300) + ','
                   + num(y + 300) + ',' + num(x) + ',' + num(y) + ";";
        }
    } else { // "closed": tiny closed paths, about 36 bytes each
        for (int i = 0; out.size() < bytes; ++i) {
            const int x = 100 + i % 800, y = 100 + (i / 800) % 800;
            out += "PU" + num(x) + ',' + num(y) + ";PD" + num(x + 9) + ',' + num(y) + ',' + num(x) + ','
                   + num(y + 9) + ',' + num(x) + ',' + num(y) + ";";
        }
    }
    return out;
}

// Boxes answered at once: a .tva cut file is offered as the print file,
// whose data source the program asks for.
class SilentPrompt final : public Prompt
{
public:
    void information(const QString &, const QString &) override {}
    void warning(const QString &, const QString &) override {}
    void transientInformation(const QString &, const QString &, int) override {}
    QString openFileName(const QString &, const QString &, const QString &) override { return QString(); }
};

// Resident memory now, bytes, as the kernel counts it (nothing trimmed).
qint64 residentNow()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

// One open in this process: prints "RESULT held openMs gapMs parserMs clearMs paths points size peak before
// idleGapMs opened". With preview, the open ends once the task page's preview
// has taken the shown file and drawn it in its window.
int child(int argc, char **argv, const QString &path, bool preview)
{
    qputenv("SPOOLSMITH_DISCOVERY_PORT", "0");
    SilentPrompt prompt; // outlives the program
    Prompt::setInstance(&prompt);
    SpoolsmithApp app(argc, argv);
    SpoolsmithApp::setInstance(&app);
    QFile file(path);
    const qint64 size = file.size();
    // The program settled first: its models loaded (bounded), its events run.
    QElapsedTimer settling;
    settling.start();
    while (!app.ocr().isReady() && settling.elapsed() < 20000)
        QThread::msleep(10);
    QCoreApplication::processEvents();
    const qint64 before = bench::residentBytes();
    // The peak of the open, sampled off the GUI thread, which the open may hold.
    std::atomic<bool> sampling{true};
    std::atomic<qint64> peak{residentNow()};
    std::thread sampler([&] {
        while (sampling.load()) {
            peak = std::max(peak.load(), residentNow());
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    // The task page's preview: bound to the shown file, in a window of the
    // task page's cell.
    QQuickWindow window;
    PltQuickView view;
    bool read = false, drawn = !preview;
    if (preview) {
        window.resize(540, 380);
        view.setParentItem(window.contentItem());
        view.setSize(QSizeF(540, 380));
        QObject::connect(&app, &SpoolsmithApp::cutShowFileChanged, &view, [&] { view.setFile(app.cutShowFile()); });
        QObject::connect(&view, &PltQuickView::fileRead, &app, [&] { read = true; });
        QObject::connect(&window, &QQuickWindow::frameSwapped, &app, [&] { drawn = read; });
        window.show();
        QCoreApplication::processEvents();
    }
    QElapsedTimer clock, sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    bool asked = false; // a large file's load shows its progress from the call on
    QObject::connect(&ticker, &QTimer::timeout, &app, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
        if (asked && app.cutLoadProgress() == -1 && drawn)
            QCoreApplication::exit(0);
    });
    // When each stage of the open ended (read, parse, turn, shown copy and
    // template, placed), for the log.
    QList<QPair<int, double>> stages;
    QObject::connect(&app, &SpoolsmithApp::cutLoadProgressChanged, &app,
                     [&] { stages.append({app.cutLoadProgress(), clock.nsecsElapsed() / 1e6}); });
    clock.start();
    sinceTick.start();
    ticker.start(5);
    QTimer::singleShot(0, &app, [&] {
        app.setCutFile(path);
        asked = true;
    });
    QTimer::singleShot(600000, &app, [] { QCoreApplication::exit(3); });
    const int opened = QCoreApplication::exec();
    const double openMs = clock.nsecsElapsed() / 1e6;
    sampling = false;
    sampler.join();
    peak = std::max(peak.load(), residentNow());
    if (opened != 0) {
        std::fprintf(stderr, "the cut file's open did not end\n");
        return 2;
    }
    ticker.stop();
    const qint64 held = bench::residentBytes() - before;
    const bool taken = app.cutScene()->fileName() == path;
    // The baseline: the same timer on the idle GUI thread, for as long as
    // the open took (five seconds at most), in the same process.
    qint64 idleGap = 0;
    QObject::disconnect(&ticker, nullptr, &app, nullptr);
    QObject::connect(&ticker, &QTimer::timeout, &app, [&] { idleGap = std::max(idleGap, sinceTick.restart()); });
    QTimer::singleShot(int(std::min(openMs, 5000.0)), &app, [] { QCoreApplication::exit(0); });
    sinceTick.restart();
    ticker.start(5);
    QCoreApplication::exec();
    ticker.stop();
    const struct mallinfo2 heap = mallinfo2();
    std::fprintf(stderr, "held %.1f MB: heap in use %.1f MB, of it mapped %.1f MB, free in heap %.1f MB\n", held / 1e6,
                 (heap.uordblks + heap.hblkhd) / 1e6, heap.hblkhd / 1e6, heap.fordblks / 1e6);
    const int paths = app.cutScene()->cutPathCount();

    // The reader alone on the same bytes, and the points it gives.
    if (!file.open(QIODevice::ReadOnly))
        return 2;
    const QByteArray data = file.readAll();
    qint64 points = 0;
    HpglParser parser;
    clock.restart();
    parser.parse(data, [&](const HpglParser::Polyline &l) { points += l.points.size(); });
    const double parserMs = clock.nsecsElapsed() / 1e6;

    clock.restart();
    app.cutScene()->gClear();
    const double clearMs = clock.nsecsElapsed() / 1e6;
    std::fprintf(stderr, "stages (percent at ms):");
    for (const auto &s : stages)
        std::fprintf(stderr, " %d@%.0f", s.first, s.second);
    std::fprintf(stderr, "\n");
    std::printf("RESULT %lld %.3f %lld %.3f %.3f %d %lld %lld %lld %lld %lld %d\n", (long long)held, openMs,
                (long long)longestGap, parserMs, clearMs, paths, (long long)points, (long long)size,
                (long long)peak.load(), (long long)before, (long long)idleGap, int(taken));
    std::fflush(stdout);
    SpoolsmithApp::setInstance(nullptr);
    return 0;
}

// A page-code switch's open as a job's thread makes it: the thread waits
// while the worker reads and the GUI thread places the items. Prints
// "SWITCH gapMs workMs idleGapMs idleWorkMs openMs": the longest gap of a
// 5 ms GUI timer and the GUI thread's longest own work between two ticks,
// then the same on the idle GUI thread for as long.
int switchChild(int argc, char **argv, const QString &path)
{
    QApplication app(argc, argv);
    CutDocument::Hooks hooks;
    hooks.taskStatus = [] { return 1; };
    hooks.rebuildPlotData = [] {};
    hooks.offerPrintFile = [](const QString &) {};
    hooks.requestCheckPicture = [] {};
    CutDocument document(AppServices{[] { return nullptr; }, [] { return nullptr; }}, hooks);
    QElapsedTimer sinceTick;
    qint64 gap = 0;
    double work = 0, cpuAtTick = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &app, [&] {
        gap = std::max(gap, sinceTick.restart());
        const double cpu = bench::threadCpuMs();
        work = std::max(work, cpu - cpuAtTick);
        cpuAtTick = cpu;
    });
    const auto watch = [&] {
        gap = 0;
        work = 0;
        cpuAtTick = bench::threadCpuMs();
        sinceTick.start();
        ticker.start(5);
    };
    std::atomic<bool> opened{false};
    std::thread job;
    QElapsedTimer clock;
    QTimer::singleShot(0, &app, [&] {
        watch();
        clock.start();
        job = std::thread([&] {
            opened = document.openSceneBlocking(path) == CutDocument::SceneOpening::Open;
            QMetaObject::invokeMethod(&app, [] { QCoreApplication::exit(0); });
        });
    });
    QCoreApplication::exec();
    job.join();
    const double openMs = clock.nsecsElapsed() / 1e6;
    const qint64 switchGap = gap;
    const double switchWork = work;
    if (!opened || document.scene()->cutPathCount() < 10000) {
        std::fprintf(stderr, "the page's cut file did not open\n");
        return 2;
    }
    watch();
    QTimer::singleShot(int(std::min(openMs, 5000.0)), &app, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    std::printf("SWITCH %lld %.3f %lld %.3f %.3f\n", (long long)switchGap, switchWork, (long long)gap, work, openMs);
    std::fflush(stdout);
    return 0;
}

// Writes the shape's file at path, opens it in a child process of this
// program (mode "--child" or "--switch") and gives the fields of the line
// it prints that begins with tag; exits when there is none.
QList<QByteArray> runChild(const QString &program, const QString &dir, const QString &path, const QByteArray &shape,
                           qsizetype bytes, const QString &mode, const QByteArray &tag)
{
    {
        const QByteArray data = generate(shape, bytes);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            std::exit(2);
        }
    }
    QProcess p;
    p.setProgram(program);
    p.setArguments({mode, path});
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start();
    p.waitForFinished(900000);
    QFile::remove(path);
    for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
        if (line.startsWith(tag + ' '))
            return line.split(' ');
    std::fprintf(stderr, "%s: no result\n", qPrintable(path));
    std::exit(2);
}

void pageCodeSwitch(const QString &program, const QString &dir, int megabytes)
{
    const QList<QByteArray> f = runChild(program, dir, QDir(dir).filePath(QStringLiteral("5e.plt")), "lines",
                                         qsizetype(megabytes) * 1024 * 1024, QStringLiteral("--switch"), "SWITCH");
    const std::string tag = ", lines " + std::to_string(megabytes) + " MB";
    bench::row("page-code switch longest GUI gap" + tag, f.value(1).toDouble(), "ms", "<= 50 ms", f.value(3).toDouble(),
               "idle GUI thread, as long", f.value(1).toDouble() <= 50.0);
    bench::row("page-code switch GUI work between ticks" + tag, f.value(2).toDouble(), "ms", "<= 50 ms",
               f.value(4).toDouble(), "idle GUI thread, as long", f.value(2).toDouble() <= 50.0);
}

// A preview closed 50 ms after it was given a large file (its read under
// way), or once it has read an A4 page: prints "CLOSED ms", the time its closing took.
int closedPreviewChild(int argc, char **argv, const QString &path)
{
    QGuiApplication app(argc, argv);
    auto view = std::make_unique<PltQuickView>();
    QObject::connect(view.get(), &PltQuickView::fileRead, &app, [] { QCoreApplication::exit(0); });
    view->setFile(path);
    if (path.contains(QLatin1String("a4"))) {
        QTimer::singleShot(60000, &app, [] { QCoreApplication::exit(2); });
        if (QCoreApplication::exec() != 0)
            return 2;
    } else {
        QThread::msleep(50); // its read under way: 20 MB take far longer
    }
    QElapsedTimer clock;
    clock.start();
    view.reset();
    std::printf("CLOSED %.3f\n", clock.nsecsElapsed() / 1e6);
    return 0;
}

void closedPreview(const QString &program, const QString &dir)
{
    auto closeMs = [&](const QByteArray &shape, int megabytes) {
        const QString path = QDir(dir).filePath(QStringLiteral("preview_%1.plt").arg(QString::fromLatin1(shape)));
        return runChild(program, dir, path, shape, qsizetype(megabytes) * 1000 * 1000, QStringLiteral("--close-preview"),
                        "CLOSED")
            .value(1)
            .toDouble();
    };
    const double a4 = closeMs("a4", 0), large = closeMs("closed", 20);
    bench::row("preview closed while it reads closed 20 MB, GUI wait", large, "ms", "<= 50 ms", a4,
               "preview closed after its A4 page was read", large <= 50.0);
}

struct Open
{
    double held = 0, openMs = 0, gapMs = 0, parserMs = 0, clearMs = 0, paths = 0, points = 0, size = 0, peak = 0, before = 0,
           idleGapMs = 0;
    bool opened = false;
};

Open run(const QString &program, const QString &dir, const QByteArray &shape, int megabytes, bool opens = true,
         bool preview = false)
{
    const QString path = QDir(dir).filePath(QStringLiteral("%1_%2.%3")
                                                .arg(QString::fromLatin1(shape))
                                                .arg(megabytes)
                                                .arg(shape.startsWith("tva-") ? "tva" : "plt"));
    const QList<QByteArray> f = runChild(program, dir, path, shape, qsizetype(megabytes) * 1000 * 1000,
                                         preview ? QStringLiteral("--preview") : QStringLiteral("--child"), "RESULT");
    Open o{f.value(1).toDouble(), f.value(2).toDouble(), f.value(3).toDouble(), f.value(4).toDouble(),
           f.value(5).toDouble(), f.value(6).toDouble(), f.value(7).toDouble(), f.value(8).toDouble(),
           f.value(9).toDouble(), f.value(10).toDouble(), f.value(11).toDouble(), f.value(12).toInt() == 1};
    if (o.size <= 0 || o.opened != opens) {
        std::fprintf(stderr, "%s %d MB: %s\n", shape.constData(), megabytes, o.size <= 0 ? "no result" : "opened wrongly");
        std::exit(2);
    }
    return o;
}

// Pages of a few bytes: every open within 400 MB above the program before it
// and 250 ms of GUI gap, whether the page is taken or refused.
void squarePages(const QString &program, const QString &dir)
{
    struct Page
    {
        const char *name;
        QByteArray units;
        bool opens;
    };
    const Page pages[] = {{"30 mm square", "1200", true},
                          {"1 m square", "40000", true},
                          {"3.15 m square", "126000", false},
                          {"10 m square", "400000", false},
                          {"outline to 2,000,000,000 units", "2000000000", false}};
    for (const Page &page : pages) {
        const Open o = run(program, dir, "square-" + page.units, 0, page.opens);
        const std::string tag = std::string(page.name) + (page.opens ? ", opened" : ", refused");
        const double riseMb = (o.peak - o.before) / 1e6;
        bench::row("cut page open peak memory above before, " + tag, riseMb, "MB", "<= 400 MB", o.before / 1e6,
                   "resident before the open", riseMb <= 400.0);
        bench::row("cut page open longest GUI gap, " + tag, o.gapMs, "ms", "<= 250 ms", o.idleGapMs,
                   "idle GUI thread, as long", o.gapMs <= 250.0);
    }
}

// The largest page that opens and a large file of small outlines, each with
// the preview drawn: their open's peak memory above the program before it and
// its longest GUI gap, beside an A4 page's.
void previewedPages(const QString &program, const QString &dir)
{
    const Open a4 = run(program, dir, "a4", 0, true, true);
    const double a4RiseMb = (a4.peak - a4.before) / 1e6;
    struct Page
    {
        const char *name;
        QByteArray shape;
        int megabytes;
    };
    const Page pages[] = {{"1155 mm square (50 bytes of HPGL)", "square-46200", 0},
                          {"1155 mm square, .tva", "tva-1155", 0},
                          {"closed 20 MB", "closed", 20}};
    for (const Page &page : pages) {
        const Open o = run(program, dir, page.shape, page.megabytes, true, true);
        const std::string tag = std::string(page.name) + ", preview drawn";
        const double riseMb = (o.peak - o.before) / 1e6;
        bench::row("cut file open peak memory above before, " + tag, riseMb, "MB", "<= 400 MB", a4RiseMb,
                   "A4 page, preview drawn", riseMb <= 400.0);
        bench::row("cut file open longest GUI gap, " + tag, o.gapMs, "ms", "<= 250 ms", a4.gapMs,
                   "A4 page, preview drawn", o.gapMs <= 250.0);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && (std::strcmp(argv[1], "--child") == 0 || std::strcmp(argv[1], "--preview") == 0))
        return child(argc, argv, QString::fromLocal8Bit(argv[2]), std::strcmp(argv[1], "--preview") == 0);
    if (argc >= 3 && std::strcmp(argv[1], "--switch") == 0)
        return switchChild(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (argc >= 3 && std::strcmp(argv[1], "--close-preview") == 0)
        return closedPreviewChild(argc, argv, QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString program = QCoreApplication::applicationFilePath();
    struct Shape
    {
        QByteArray name;
        QList<int> megabytes;
    };
    const QList<Shape> shapes{{"contours", {20, 100}}, {"polylines", {5, 20}}, {"squares", {20, 100}},
                              {"closed", {20}}, {"triangles", {20}}, {"triangles-wide", {20}}};
    const QByteArray only = qgetenv("BENCH_SHAPE"); // one shape, when set
    if (only.isEmpty() || only == "lines")
        pageCodeSwitch(program, dir.path(), 4);
    if (only.isEmpty() || only == "pages")
        squarePages(program, dir.path());
    if (only.isEmpty() || only == "preview") {
        previewedPages(program, dir.path());
        closedPreview(program, dir.path());
    }
    for (const Shape &shape : shapes) {
        if (!only.isEmpty() && shape.name != only)
            continue;
        QList<Open> opens;
        for (int mb : shape.megabytes) {
            const Open o = run(program, dir.path(), shape.name, mb);
            opens << o;
            const std::string tag = shape.name.toStdString() + " " + std::to_string(mb) + " MB";
            const double ratio = o.held / o.size;
            bench::row("cut scene held x file, " + tag, ratio, "x", "<= 3x", o.points * 8 / o.size,
                       "int32 pairs of its points", ratio <= 3.0);
            const double rate = o.size / 1e6 / (o.openMs / 1e3);
            bench::row("cut file open, " + tag, rate, "MB/s", ">= 100 MB/s", o.size / 1e6 / (o.parserMs / 1e3),
                       "reader alone", rate >= 100.0);
            bench::row("cut file open longest GUI gap, " + tag, o.gapMs, "ms", "<= 50 ms", o.idleGapMs,
                       "idle GUI thread, as long", o.gapMs <= 50.0);
            if (shape.name.startsWith("triangles"))
                bench::row("cut file open time, " + tag, o.openMs / 1e3, "s", "< 5 s", o.parserMs / 1e3, "reader alone",
                           o.openMs < 5000.0);
            // The program as it stood before the open is the baseline.
            const double peakMb = o.peak / 1e6, boundMb = 3.0 * o.size / 1e6 + 250.0;
            bench::row("cut file open peak memory, " + tag, peakMb, "MB",
                       "< 3 x file + 250 MB = " + std::to_string(int(boundMb)) + " MB", o.before / 1e6,
                       "resident before the open", peakMb < boundMb);
        }
        if (opens.size() == 2) {
            const double small = opens[0].clearMs / opens[0].paths * 1e6, large = opens[1].clearMs / opens[1].paths * 1e6;
            const std::string sizes = std::to_string(shape.megabytes[1]) + " MB against " + std::to_string(shape.megabytes[0]);
            bench::row("clear per outline, " + shape.name.toStdString() + " " + sizes, large, "ns",
                       "linear (<= 2x the smaller)", small, "smaller file", large <= 2.0 * small + 1.0);
        }
    }
    return 0;
}
