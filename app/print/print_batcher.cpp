#include "app/print/print_batcher.h"

#include "app/print/cdr_channel.h"
#include "app/print/print_file.h"
#include "app/print/printers.h"
#include "app/task/task_counters.h"
#include "app/task/task_settings.h"
#include "machine/trv610plus.h"
#include "platform/printing/system_spooler.h"
#include "platform/prompt/prompt.h"
#include "platform/scene/gscene.h"
#include "settings/config.h"

#include <QCoreApplication>
#include <QDebug>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char *kPrefix = "SpoolsmithApp::printPdf";

// The operator's texts keep the translation context they were written in.
QString text(const char *source)
{
    return QCoreApplication::translate("SpoolsmithApp", source) + QStringLiteral(" \n");
}

} // namespace

PrintBatcher::PrintBatcher(Parts parts) : m_parts(std::move(parts)) {}

PrintBatcher::~PrintBatcher()
{
    endTestPrints();
}

PrintBatcher::Decision PrintBatcher::decide(const Rollers &r)
{
    Decision d;
    int n = r.copiesOnce;
    if (r.printTaskCopies > 0 && r.printCopies + n > r.printTaskCopies)
        n = r.printTaskCopies - r.printCopies;
    // The preset's pages are out: never a page past it.
    if (n < 1)
        return d;
    const double buffer = (r.printedLength - r.cutLength) / 10.0 - (r.printRollerAtStart - r.printRoller) * 4.0
        - 2 * (r.filmRollerAtStart - r.filmRoller);
    const double room = (r.printRollerMax - r.printRoller) * 4.0;
    if (std::max(0.0, buffer) > room)
        return d;
    d.trigger = (r.printRollerTrigger - r.printRoller) * 4.0;
    // A page height of 0 has no pages to the trigger; the caller refuses it.
    d.toTrigger = r.pageHeightMm > 0 ? int(d.trigger * 10.0 / r.pageHeightMm) : 0;
    d.pages = std::max(std::min(d.toTrigger, n), 1);
    d.print = true;
    return d;
}

void PrintBatcher::print()
{
    const PrintParts &p = m_parts.print;
    Config *config = p.services.config();
    const QString file = p.file.printFile();
    if (!config || !m_parts.settings.enablePrint() || file.isEmpty() || m_jobPrintFailed.load())
        return;
    // Variable data without its row ready (past the last one, a row that
    // failed, a sheet being read): not even an empty document goes out.
    if (p.file.enabledDataSource() && p.file.rowMissing())
        return;
    const QString printer = m_parts.printers.printerName();
    const double height = p.file.printPageSize().height();
    if (!(height > 0)) {
        // No page loaded: nothing to print and nothing to count.
        qCritical() << "SpoolsmithApp::print" << "print page height is" << height << "- nothing printed";
        return;
    }
    Rollers r;
    r.printedLength = p.counters.printedLength();
    r.cutLength = p.counters.cutLength();
    r.printRollerAtStart = p.counters.printRollerAtStart();
    r.filmRollerAtStart = p.counters.filmRollerAtStart();
    if (TRV610Plus *device = p.services.device()) {
        r.printRoller = device->printRoller();
        r.filmRoller = device->filmRoller();
    }
    r.printRollerMax = config->printRollerMax();
    r.printRollerTrigger = config->printRollerTrigger();
    r.pageHeightMm = height;
    r.copiesOnce = config->getProperty(Config::CPT_printCopiesOnce).toInt();
    r.printTaskCopies = p.counters.printTaskCopies();
    r.printCopies = p.counters.printCopies();
    const Decision d = decide(r);
    if (!d.print)
        return;
    qInfo() << "SpoolsmithApp::print" << d.trigger << d.toTrigger;
    printRequest(file, printer, d.pages, true);
}

bool PrintBatcher::printPdf(const QString &file, const QString &printerName, int pages)
{
    return printRequest(file, printerName, pages, false);
}

bool PrintBatcher::printRequest(const QString &file, const QString &printerName, int pages, bool forJob)
{
    const std::lock_guard<std::mutex> lock(m_printLock);
    m_failure.clear();
    // A job's print never begins after its stop was asked.
    if (m_closing.load() || (forJob && m_parts.stopAsked && m_parts.stopAsked())) {
        qInfo() << kPrefix << "the job has stopped, nothing printed";
        return false;
    }
    // Begun during a job: the job's stop ends it.
    m_requestForJob = jobRunning();
    const bool printed = printBatch(file, printerName, pages);
    if (forJob && !m_failure.isEmpty() && jobRunning()) {
        qCritical() << "SpoolsmithApp::print" << "printing failed, the job prints no more:" << m_failure.trimmed();
        m_jobPrintFailed.store(true);
    }
    return printed;
}

bool PrintBatcher::jobRunning() const
{
    const PrintParts &p = m_parts.print;
    return p.taskStatus && p.taskStatus() != 2;
}

bool PrintBatcher::jobStopped() const
{
    return !jobRunning() || (m_parts.stopAsked && m_parts.stopAsked());
}

bool PrintBatcher::requestStopped() const
{
    return m_closing.load() || (m_requestForJob && jobStopped());
}

void PrintBatcher::fail(const QString &message)
{
    m_failure = message;
    if (m_parts.showMessage)
        m_parts.showMessage(message);
}

bool PrintBatcher::printBatch(const QString &file, const QString &printerName, int pages)
{
    const PrintParts &p = m_parts.print;
    Config *config = p.services.config();
    if (!config)
        return false;
    const double height = p.file.printPageSize().height();
    const QString hotFolder = config->getProperty(Config::CPT_RIIN_Input).toString();
    const bool channel = CdrChannel::isChannelPrinter(printerName);
    if (!(height > 0) && !channel) {
        qCritical() << kPrefix << "print page height is" << height << "- nothing printed";
        return false;
    }
    if (config->version() == 2 && config->getProperty(Config::CPT_Enable_RIIN_Input).toBool()
        && !hotFolder.isEmpty()) {
        const auto stopped = [this] { return requestStopped(); };
        if (HotFolder(p, m_hotFolderClock).copyPages(hotFolder, file, pages, height, stopped))
            return true;
        fail(text(QT_TRANSLATE_NOOP("SpoolsmithApp", "热文件夹无法写入，请检查热文件夹路径")));
        return false;
    }

    qDebug() << kPrefix << printerName << file << p.counters.printCopies();
    if (printerName.isEmpty() || (file.isEmpty() && !channel)) {
        qCritical() << kPrefix << "printPdf failed, printerName is null or printFile is null";
        if (printerName.isEmpty())
            fail(text(QT_TRANSLATE_NOOP("SpoolsmithApp", "未选择打印机")));
        return false;
    }
    if (pages < 1)
        return false;
    // The component is told only a page count: with variable data it gets a
    // job a row, the row's print file written before it.
    const int m = channel && p.file.enabledDataSource() ? 1 : config->getProperty(Config::CPT_printPagesOnce).toInt();
    const bool split = pages > m && m > 0
        && (p.file.enabledDataSource() || !config->getProperty(Config::CPT_Printer_Copies).toBool());
    if (split) {
        for (int remaining = pages; remaining > 0;) {
            // Nothing more goes out once the job stopped; no failure to tell.
            if (requestStopped()) {
                qInfo() << kPrefix << "print stopped," << remaining << "pages not sent";
                return false;
            }
            const int batch = std::min(remaining, m);
            // Variable data goes on from the row the batch before left.
            const QString batchFile = p.file.enabledDataSource() ? p.file.printFile() : file;
            // A batch that failed part-way ends the request too.
            if (!printBatch(batchFile, printerName, batch) || !m_failure.isEmpty())
                return false;
            if (channel)
                m_parts.channel.pauseAfterHandOver(m_requestForJob);
            remaining -= batch;
        }
        return true;
    }
    if (channel)
        return handOver(file, pages);
    DirectPrinter direct(p, printing::systemSpooler());
    direct.setPollTiming(m_pollTiming);
    direct.setStopped([this] { return requestStopped(); });
    direct.setFailed([this](const QString &message) { fail(message); });
    return direct.print(file, printerName, pages);
}

bool PrintBatcher::handOver(const QString &file, int pages)
{
    // The end of the data ends the print; no failure to tell.
    QString rowFile = file;
    if (!takeNextPageFile(m_parts.print, rowFile, kPrefix))
        return false;
    if (!m_parts.channel.handOver(pages, m_requestForJob)) {
        // A hand-over the job's stop or the program's end cut short, or
        // refused after them, is no failure to tell.
        if (!requestStopped())
            fail(text(QT_TRANSLATE_NOOP("SpoolsmithApp", "打印组件未接收打印任务，请检查CorelDRAW")));
        return false;
    }
    rowPrinted(m_parts.print);
    return true;
}

bool PrintBatcher::printPdfFile(const QString &file, const QString &printerName)
{
    const PrintParts &p = m_parts.print;
    Config *config = p.services.config();
    if (!config)
        return false;
    const QString title = QCoreApplication::applicationName();
    if (p.taskStatus && p.taskStatus() != 2) {
        // The job's pages and a test page would share counters and records.
        m_parts.showMessage(QCoreApplication::translate("SpoolsmithApp", "任务运行中，不能测试打印") + QStringLiteral(" \n"));
        return false;
    }
    if (!config->getProperty(Config::CPT_Enable_Print).toBool()) {
        Prompt::instance()->information(title, QCoreApplication::translate("SpoolsmithApp", "禁用打印"));
        return false;
    }
    // QML hands over "" for no file, never a null string: both mean none.
    if (file.isEmpty() && !CdrChannel::isChannelPrinter(printerName)) {
        Prompt::instance()->information(title, QCoreApplication::translate("SpoolsmithApp", "打印文件未打开 \n"));
        return false;
    }
    if (config->getProperty(Config::CPT_Enable_Print_Marker_Type).toUInt() != 0
        && p.file.printScene()->gItemAll().isEmpty()) {
        Prompt::instance()->information(title, QCoreApplication::translate("SpoolsmithApp", "切割文件未打开 \n"));
        return false;
    }
    const int pages = config->getProperty(Config::CPT_printCopiesOnce).toInt();
    const ThreadGroup::Handle started = m_testPrints.start([this, file, printerName, pages] {
        printPdf(file, printerName, pages);
    });
    if (!started) {
        qCritical() << "SpoolsmithApp::printPdfFile" << "no thread for the test print";
        return false;
    }
    return true;
}

void PrintBatcher::endTestPrints()
{
    m_closing = true;
    m_parts.channel.close();
    joinTestPrints();
}

void PrintBatcher::joinTestPrints()
{
    // A page stuck in the spooler's poll ends within the poll's bound.
    m_testPrints.joinAll(m_pollTiming.limit + std::chrono::seconds(10));
}
