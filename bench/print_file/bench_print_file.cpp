// Opening an A4 PDF for its preview, and rendering one data row of a
// variable-data template with sources of 10, 1,000 and 100,000 rows: the
// per-row time stays flat because the sheet is read once. Baseline: the same
// template rendered without a data source.
#include "app/print/print_file_reader.h"
#include "platform/scene/gscene.h"
#include "tests/support/xlsx_writer.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QTemporaryDir &tempDir()
{
    static QTemporaryDir dir;
    return dir;
}

const QByteArray kTemplate = R"({"format":"spoolsmith-tva","version":1,"page":{"width":100,"height":50},
"mark":{"type":4,"size":4,"margins":[3,3,3,3]},
"paths":[{"pen":1,"subpaths":[[20,20,200,20,200,120,20,120,20,20]]}],
"texts":[{"x":10,"y":10,"size":14,"text":"Name {Name} No {No}"}]})";

QString templatePath()
{
    const QString path = tempDir().filePath("label.tva");
    if (!QFile::exists(path)) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(kTemplate);
    }
    return path;
}

QString sheetOf(int rows)
{
    const QString path = tempDir().filePath(QStringLiteral("data%1.xlsx").arg(rows));
    if (!QFile::exists(path)) {
        QVector<QStringList> data{{"Name", "No"}};
        for (int i = 1; i <= rows; ++i)
            data.append({QStringLiteral("Item%1").arg(i), QString::number(i)});
        writeTestXlsx(path, data);
    }
    return path;
}

void BM_OpenA4Pdf(benchmark::State &state)
{
    const QString path = tempDir().filePath("a4.pdf");
    {
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QPageSize::A4));
        QPainter painter(&writer);
        painter.drawText(QPointF(500, 500), QStringLiteral("A4 page"));
    }
    for (auto _ : state) {
        PrintFileContent c = PrintFileReader::read(path, 1);
        benchmark::DoNotOptimize(c.preview.bits());
    }
}
BENCHMARK(BM_OpenA4Pdf)->Unit(benchmark::kMillisecond);

void BM_RowRenderNoSource(benchmark::State &state)
{
    GScene scene;
    scene.openFile(templatePath());
    const QString out = tempDir().filePath("1pdf.pdf");
    for (auto _ : state)
        benchmark::DoNotOptimize(scene.savePrintFile(out));
}
BENCHMARK(BM_RowRenderNoSource)->Unit(benchmark::kMillisecond);

void BM_RowRender(benchmark::State &state)
{
    const int rows = int(state.range(0));
    GScene scene;
    scene.openFile(templatePath());
    scene.setVariableFile(sheetOf(rows));
    const QString out = tempDir().filePath("1pdf.pdf");
    int row = 1;
    for (auto _ : state) {
        scene.setCodeIndex(row);
        benchmark::DoNotOptimize(scene.savePrintFile(out));
        row = row % rows + 1;
    }
}
BENCHMARK(BM_RowRender)->Arg(10)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Reading the sheet once, when it is attached.
void BM_AttachSource(benchmark::State &state)
{
    const QString sheet = sheetOf(int(state.range(0)));
    GScene scene;
    for (auto _ : state)
        scene.setVariableFile(sheet);
}
BENCHMARK(BM_AttachSource)->Arg(10)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
