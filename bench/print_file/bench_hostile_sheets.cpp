// Hostile and large data sources, each read in a process of its own as the
// print file reads one (beside the GUI thread): the process's peak memory
// and the longest gap of a 10 ms timer on the GUI thread while it reads.
// Baselines: memory of a process reading a 10-row sheet; the gap when the
// same sheet is read on the GUI thread itself.
#include "app/print/data_source_loader.h"
#include "bench/support/interleaved.h"
#include "platform/scene/variable_data.h"
#include "tests/support/xlsx_writer.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QByteArray kHead = "<?xml version=\"1.0\"?><worksheet "
                         "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
const QByteArray kTail = "</sheetData></worksheet>";

// A sheet part of 1 GiB of blanks, written as it is packed.
bool writeBomb(const QString &path)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo("xl/worksheets/sheet1.xml")))
        return false;
    file.write(kHead + "<row>");
    const QByteArray blanks(1 << 20, ' ');
    for (int i = 0; i < 1024; ++i)
        file.write(blanks);
    file.write("</row>" + kTail);
    file.close();
    zip.close();
    return zip.getZipError() == 0;
}

QByteArray millionRows(QByteArray &strings)
{
    QByteArray rows = kHead;
    strings = "<sst>";
    rows.reserve(100 << 20);
    rows += "<row r=\"1\" spans=\"1:2\"><c r=\"A1\" t=\"inlineStr\"><is><t>Name</t></is></c>"
            "<c r=\"B1\" t=\"inlineStr\"><is><t>No</t></is></c></row>";
    for (int r = 2; r <= 1000000; ++r) {
        const QByteArray n = QByteArray::number(r);
        rows += "<row r=\"" + n + "\" spans=\"1:2\"><c r=\"A" + n + "\" t=\"s\"><v>" + QByteArray::number(r - 2)
                + "</v></c><c r=\"B" + n + "\"><v>" + QByteArray::number(100000 + r) + "</v></c></row>";
        strings += "<si><t>Item" + n + "</t></si>";
    }
    strings += "</sst>";
    return rows + kTail;
}

struct Reading
{
    long peakKb = 0;
    double longestGapMs = 0;
    int rows = -1; // -1: refused
};

// In a child process: reads path beside (or on) the GUI thread while a
// 10 ms timer ticks there.
Reading readInChild(const QString &path, bool onGuiThread)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        int argc = 1;
        char name[] = "bench_hostile_sheets";
        char *argv[] = {name, nullptr};
        QCoreApplication app(argc, argv);
        Reading out;
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        QTimer tick;
        tick.setInterval(10);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            out.longestGapMs = std::max(out.longestGapMs, (now - last) / 1e6);
            last = now;
        });
        DataSourceLoader loader;
        QObject::connect(&loader, &DataSourceLoader::loaded,
                         [&](const QString &, std::shared_ptr<const VariableData> data) {
                             out.rows = data ? data->rowCount() : -1;
                             app.quit();
                         });
        QTimer::singleShot(50, [&] {
            if (!onGuiThread) {
                loader.start(path);
                return;
            }
            VariableData data;
            out.rows = data.load(path) ? data.rowCount() : -1;
            QTimer::singleShot(30, &app, &QCoreApplication::quit);
        });
        tick.start();
        app.exec();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        out.peakKb = usage.ru_maxrss;
        (void)!write(pipeFds[1], &out, sizeof out);
        _exit(0);
    }
    close(pipeFds[1]);
    Reading in;
    (void)!read(pipeFds[0], &in, sizeof in);
    close(pipeFds[0]);
    waitpid(child, nullptr, 0);
    return in;
}

} // namespace

int main()
{
    qputenv("QT_LOGGING_RULES", "*.info=false;*.critical=false");
    QTemporaryDir dir;
    const auto file = [&dir](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    bool ok = writeTestXlsx(file("small.xlsx"), {{"Name"}, {"1"}, {"2"}, {"3"}, {"4"}, {"5"}, {"6"}, {"7"}, {"8"}, {"9"}});
    ok = ok && writeTestXlsxParts(file("row.xlsx"), kHead + "<row r=\"2000000000\"><c><v>1</v></c></row>" + kTail);
    QByteArray far = kHead;
    for (int r = 1; r <= 100000; ++r)
        far += "<row r=\"" + QByteArray::number(r) + "\"><c r=\"XFD" + QByteArray::number(r) + "\"><v>1</v></c></row>";
    ok = ok && writeTestXlsxParts(file("far.xlsx"), far + kTail);
    far.clear();
    far.squeeze();
    ok = ok && writeBomb(file("bomb.xlsx"));
    {
        QByteArray strings;
        const QByteArray rows = millionRows(strings);
        ok = ok && writeTestXlsxParts(file("million.xlsx"), rows, strings);
    }
    if (!ok) {
        std::fprintf(stderr, "cannot write the sheets\n");
        return 1;
    }
    const Reading base = readInChild(file("small.xlsx"), false);
    struct Case
    {
        const char *name;
        const char *file;
        int rows;
    };
    const Case cases[] = {{"row 2000000000", "row.xlsx", -1},
                          {"column XFD in 100k rows", "far.xlsx", 100000 - 1},
                          {"zip bomb of 1 GiB", "bomb.xlsx", -1},
                          {"1,000,000 rows", "million.xlsx", 1000000 - 1}};
    bool right = base.rows == 9;
    for (const Case &c : cases) {
        const Reading beside = readInChild(file(c.file), false);
        const Reading on = readInChild(file(c.file), true);
        right = right && beside.rows == c.rows && on.rows == c.rows;
        std::printf("%s: rows %d, peak %ld kB (on the GUI thread %ld kB), gap %.1f ms (on the GUI thread %.1f ms)\n",
                    c.name, beside.rows, beside.peakKb, on.peakKb, beside.longestGapMs, on.longestGapMs);
        bench::row(std::string("sheet peak memory, ") + c.name, beside.peakKb / 1024.0, "MB", "< 400 MB",
                   base.peakKb / 1024.0, "10-row sheet", beside.peakKb < 400 * 1024);
        bench::row(std::string("GUI gap reading, ") + c.name, beside.longestGapMs, "ms", "< 100 ms", on.longestGapMs,
                   "read on the GUI thread", beside.longestGapMs < 100);
    }
    if (!right)
        std::fprintf(stderr, "a sheet was read wrong\n");
    return right ? 0 : 1;
}
