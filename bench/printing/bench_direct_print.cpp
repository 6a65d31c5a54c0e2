// The direct-printing page pipeline at A4 300 and 600 dpi: page 0 of the
// PDF rendered at the printer's size, the page code drawn as QR, the page
// handed to the spooler and recorded. Baseline in the same run: the PDF
// render alone. Memory: peak resident size, and resident growth over a long
// run of pages.
#include "app/print/direct_printer.h"
#include "app/print/print_file.h"
#include "app/records/production_records.h"
#include "app/task/task_counters.h"
#include "platform/printing/print_spooler.h"
#include "platform/scene/gmark_item.h"
#include "platform/scene/gscene.h"
#include "settings/config.h"

#include <QApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <memory>

namespace {

const QSizeF kA4(210, 297);

// Takes each page and lets it go: what a spooler does once it has it.
class DiscardingDevice : public printing::PrintDevice
{
public:
    explicit DiscardingDevice(QSize size) : m_size(size) {}
    bool readDeviceMode(printing::DeviceMode &mode) override
    {
        mode.fields = printing::DeviceMode::kPaperSize;
        return true;
    }
    bool createContext(const printing::DeviceMode *) override { return true; }
    QSize pageResolution() const override { return m_size; }
    int startDoc(const QString &) override { return 1; }
    bool startPage() override { return true; }
    bool drawPage(const QImage &image) override
    {
        benchmark::DoNotOptimize(image.constBits());
        return image.size() == m_size;
    }
    bool endPage() override { return true; }
    bool endDoc() override { return true; }
    bool jobStatus(int, quint32 &) override { return false; }
    int lastError() const override { return 0; }

private:
    QSize m_size;
};

class DiscardingSpooler : public printing::PrintSpooler
{
public:
    QSize size;
    std::unique_ptr<printing::PrintDevice> openPrinter(const QString &) override
    {
        return std::make_unique<DiscardingDevice>(size);
    }
    QStringList printers() override { return {QStringLiteral("Canon_Bench")}; }
};

long residentKb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

long peakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QSize pixels(int dpi)
{
    return QSize(int(kA4.width() / 25.4 * dpi), int(kA4.height() / 25.4 * dpi));
}

struct Rig
{
    QTemporaryDir dir;
    std::unique_ptr<Config> config;
    TaskCounters counters;
    std::unique_ptr<ProductionRecords> records;
    std::unique_ptr<PrintFile> file;
    DiscardingSpooler spooler;
    std::unique_ptr<DirectPrinter> printer;
    QString pdf;

    Rig()
    {
        config = std::make_unique<Config>(dir.path(), dir.filePath(QStringLiteral("config.db")));
        config->setProperty(Config::CPT_Enable_Print_Marker_Type, 2);
        config->setProperty(Config::CPT_Printer_Copies, false);
        AppServices services{[this] { return config.get(); }, [] { return nullptr; }};
        records = std::make_unique<ProductionRecords>(services, [] { return 1; });
        file = std::make_unique<PrintFile>(*records);
        file->setPrintPageSize(kA4);
        file->printScene()->setPageGeometry(kA4, new GMarkItem(kA4, QMarginsF(10, 10, -10, -10), 4, 5.0));
        pdf = dir.filePath(QStringLiteral("label.pdf"));
        writeLabelPdf(pdf);
        PrintParts parts{services, counters, *file, *records, [] { return 1; }};
        printer = std::make_unique<DirectPrinter>(parts, spooler);
    }
    // A label sheet: text, lines and filled shapes over the whole page.
    static void writeLabelPdf(const QString &path)
    {
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(kA4, QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
        writer.setResolution(300);
        QPainter p(&writer);
        const QRect r = p.viewport();
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 3; ++x) {
                const QRect cell(r.width() * x / 3 + 40, r.height() * y / 8 + 40, r.width() / 3 - 80, r.height() / 8 - 80);
                p.drawRoundedRect(cell, 30, 30);
                p.fillRect(cell.adjusted(20, 20, -cell.width() / 2, -cell.height() / 2), QColor(40, 90, 160));
                p.drawText(cell, Qt::AlignCenter, QStringLiteral("Label %1-%2 Spoolsmith").arg(y).arg(x));
            }
        p.end();
    }
};

Rig &rig()
{
    static Rig r;
    return r;
}

void BM_RenderOnly(benchmark::State &state)
{
    const QSize size = pixels(int(state.range(0)));
    for (auto _ : state) {
        const QImage page = DirectPrinter::renderPage(rig().pdf, size);
        benchmark::DoNotOptimize(page.constBits());
    }
    state.counters["peak_MB"] = peakKb() / 1024.0;
}

void BM_PagePipeline(benchmark::State &state)
{
    Rig &r = rig();
    r.spooler.size = pixels(int(state.range(0)));
    for (auto _ : state) {
        if (!r.printer->print(r.pdf, QStringLiteral("Canon_Bench"), 1))
            state.SkipWithError("page not printed");
    }
    state.counters["peak_MB"] = peakKb() / 1024.0;
}

// Resident size after the first 50 pages and after 1,000: a leak of a page
// image would show as hundreds of megabytes.
void BM_ThousandPagesGrowth(benchmark::State &state)
{
    Rig &r = rig();
    r.spooler.size = pixels(int(state.range(0)));
    long after50 = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            r.printer->print(r.pdf, QStringLiteral("Canon_Bench"), 1);
            if (i == 49)
                after50 = residentKb();
        }
    }
    state.counters["rss_after_50_MB"] = after50 / 1024.0;
    state.counters["rss_after_1000_MB"] = residentKb() / 1024.0;
    state.counters["growth_MB"] = (residentKb() - after50) / 1024.0;
}

} // namespace

BENCHMARK(BM_RenderOnly)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PagePipeline)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThousandPagesGrowth)->Arg(300)->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.info=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
