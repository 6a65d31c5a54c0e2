// HPGL reading speed (MB/s) on a generated 20 MB file, and the time to
// rebuild the plot data of 10^5 points through a page transform.
#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_item.h"
#include "platform/scene/gpath_process.h"
#include "platform/scene/gscene.h"
#include "platform/hpgl/hpgl_parser.h"
#include "bench/support/interleaved.h"
#include "bench/support/resident_memory.h"
#include "tests/support/reference_plot_data.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>


namespace {

QByteArray generatedPlt(qsizetype bytes)
{
    QByteArray out = "IN;PS8000,4000,200,120,4,160;MD200,120,7520,3600,160;SP1;";
    QRandomGenerator rng(42);
    while (out.size() < bytes) {
        out += "PU" + QByteArray::number(rng.bounded(8000)) + ',' + QByteArray::number(rng.bounded(4000)) + ";PD";
        for (int i = 0; i < 40; ++i)
            out += QByteArray::number(rng.bounded(8000)) + ',' + QByteArray::number(rng.bounded(4000)) + ',';
        out.chop(1);
        out += ";\r\n";
    }
    return out;
}

void BM_ReadHpgl20MB(benchmark::State &state)
{
    const QByteArray data = generatedPlt(20 * 1024 * 1024);
    for (auto _ : state) {
        HpglParser parser;
        qsizetype points = 0;
        parser.parse(data, [&](const HpglParser::Polyline &l) { points += l.points.size(); });
        benchmark::DoNotOptimize(points);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * data.size());
    state.counters["MB/s"] = benchmark::Counter(double(data.size()) / 1e6 * double(state.iterations()),
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadHpgl20MB)->Unit(benchmark::kMillisecond);

// Plot data of 10^5 points through a page transform, as the program builds
// it (the cut items taken, put in cutting order, their HPGL appended into one
// buffer) from the scene as a cut file opens it, interleaved with the plain
// builder (number arrays and a text stream) over one item per outline, as
// the scene first held them; every result must be the plain builder's bytes.
void plotDataRows(int outlines, int points)
{
    QByteArray plt = "IN;PS8000,4000,200,120,4,160;MD200,120,7520,3600,160;SP1;";
    QRandomGenerator rng(7);
    for (int item = 0; item < outlines; ++item) {
        plt += "PU" + QByteArray::number(rng.bounded(7000)) + ',' + QByteArray::number(rng.bounded(3000)) + ";PD";
        for (int i = 1; i < points; ++i)
            plt += QByteArray::number(rng.bounded(7000)) + ',' + QByteArray::number(rng.bounded(3000)) + ',';
        plt.chop(1);
        plt += ';';
    }
    const QString path = QDir::temp().filePath(QStringLiteral("bench_hpgl_plot_%1.plt").arg(QCoreApplication::applicationPid()));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(plt);
    f.close();
    GScene scene, plain;
    scene.openFile(path);
    plain.openFile(path);
    QFile::remove(path);
    for (QGraphicsItem *item : plain.gItemAll())
        if (item->type() != GMarkItem::Type) {
            plain.removeItem(item);
            delete item;
        }
    const QMarginsF m = GPathProcess::mm2Point(plain.page()->markItem()->margins());
    for (GPathItem *item : reference::hpglItems(plt, QPointF(m.left(), m.top())))
        plain.addCutPath(item);
    QTransform t;
    QTransform::quadToQuad(QPolygonF{{0, 0}, {0, 255}, {533, 255}, {533, 0}},
                           QPolygonF{{1, 2}, {0.5, 256}, {534, 257}, {535, 1}}, t);
    const QMarginsF margins(8.5, 14.2, -19.8, -19.8);
    const QPointF offset(-2.8, -5.6);
    QList<QGraphicsItem *> plainItems;
    plain.exportCutItems(plainItems, false, false, false);
    const QByteArray expected = reference::plotData(plain.sortCutItems(plainItems), t, margins, offset);
    if (plainItems.size() != outlines || expected.isEmpty()) {
        std::fprintf(stderr, "the plot-data file did not open\n");
        std::exit(2);
    }
    const bench::Comparison c = bench::interleave(1, 40, 3, [&](size_t) {
        QList<QGraphicsItem *> items;
        scene.exportCutItems(items, false, false, false);
        QByteArray data;
        scene.appendPlotData(data, items, t, margins, offset);
        return data == expected;
    }, [&](size_t) {
        QList<QGraphicsItem *> items;
        plain.exportCutItems(items, false, false, false);
        return reference::plotData(plain.sortCutItems(items), t, margins, offset) == expected;
    });
    const std::string tag = std::to_string(outlines) + " x " + std::to_string(points);
    bench::row("plot data 1e5 points p50, " + tag, c.measured.p50, "ms", "<= 10 ms", c.baseline.p50,
               "plain builder, item per outline", c.measured.p50 <= 10.0);
    bench::row("plot data 1e5 points p99, " + tag, c.measured.p99, "ms", "(reported)", c.baseline.p99,
               "plain builder, item per outline", true);
}

// What a scene holds after opening a 100 MB cut file, against the file's
// size, and how fast it opened (the whole open: reading, parsing, items).
void cutFileMemoryRows()
{
    const QString path = QDir::temp().filePath(QStringLiteral("bench_hpgl_100mb_%1.plt").arg(QCoreApplication::applicationPid()));
    qint64 size = 0;
    {
        const QByteArray data = generatedPlt(100 * 1000 * 1000);
        size = data.size();
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            std::exit(2);
        }
    }
    const qint64 before = bench::residentBytes();
    GScene scene;
    QElapsedTimer clock;
    clock.start();
    const bool ok = scene.openFile(path);
    const double seconds = clock.nsecsElapsed() / 1e9;
    const qint64 held = bench::residentBytes() - before;
    QFile::remove(path);
    if (!ok || scene.gItemAll().isEmpty()) {
        std::fprintf(stderr, "the 100 MB cut file did not open\n");
        std::exit(2);
    }
    const double ratio = double(held) / double(size);
    bench::row("cut file 100 MB held", held / 1e6, "MB", "<= 3x the file", size / 1e6, "file size", ratio <= 3.0);
    bench::row("cut file 100 MB open (read, parse, items)", size / 1e6 / seconds, "MB/s", "(reported)", 0.0, "-",
               true);
}

// The HPGL reader alone on 20 MB, p50 of ten reads: must stay >= 300 MB/s.
void readingRows()
{
    const QByteArray data = generatedPlt(20 * 1024 * 1024);
    std::vector<double> ms;
    for (int r = 0; r < 11; ++r) {
        HpglParser parser;
        qsizetype points = 0;
        QElapsedTimer clock;
        clock.start();
        if (!parser.parse(data, [&](const HpglParser::Polyline &l) { points += l.points.size(); }) || points == 0) {
            std::fprintf(stderr, "the generated file did not read\n");
            std::exit(2);
        }
        if (r > 0)
            ms.push_back(clock.nsecsElapsed() / 1e6);
    }
    const double rate = data.size() / 1e6 / (bench::figures(ms).p50 / 1e3);
    bench::row("HPGL reading 20 MB", rate, "MB/s", ">= 300 MB/s", 300.0, "goal", rate >= 300.0);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    plotDataRows(1000, 100);
    plotDataRows(20000, 5);
    cutFileMemoryRows();
    readingRows();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
