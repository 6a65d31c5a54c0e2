#pragma once

// The printing parts of the application built alone over settings in a
// temp dir, a driver (not linked) for the roller readings and the in-memory
// spooler; the log lines are kept for the cases to read.
#include "app/print/cdr_channel.h"
#include "app/print/print_batcher.h"
#include "app/print/print_file.h"
#include "app/print/printers.h"
#include "app/records/production_records.h"
#include "app/task/task_counters.h"
#include "app/task/task_settings.h"
#include "platform/printing/memory_spooler.h"
#include "platform/printing/system_spooler.h"
#include "tests/support/device_fixture.h"
#include "tests/support/recording_prompt.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <atomic>
#include <memory>
#include <mutex>

// Records log lines while it lives. The driver's cycles log from their own
// threads, so the handler and the destructor meet under one process-wide lock:
// a line logged while the capture goes is dropped, never written into it.
class LogCapture
{
public:
    LogCapture()
    {
        std::lock_guard<std::mutex> guard(selfLock());
        s_self = this;
        m_previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        std::lock_guard<std::mutex> guard(selfLock());
        s_self = nullptr;
    }
    QStringList lines() const
    {
        std::lock_guard<std::mutex> guard(selfLock());
        return m_lines;
    }
    int count(const QString &part) const { return int(lines().filter(part).size()); }

private:
    static void handle(QtMsgType, const QMessageLogContext &, const QString &text)
    {
        std::lock_guard<std::mutex> guard(selfLock());
        if (s_self)
            s_self->m_lines << text;
    }
    static std::mutex &selfLock()
    {
        static std::mutex m;
        return m;
    }
    static inline LogCapture *s_self = nullptr;
    QtMessageHandler m_previous = nullptr;
    QStringList m_lines;
};

struct PrintRig
{
    DeviceFixture fx;
    printing::MemorySpooler spooler;
    std::atomic<int> status{2};
    QStringList messages;
    std::unique_ptr<TaskSettings> settings;
    std::unique_ptr<TaskCounters> counters;
    std::unique_ptr<ProductionRecords> records;
    std::unique_ptr<PrintFile> file;
    std::unique_ptr<Printers> printers;
    std::unique_ptr<CdrChannel> channel;
    std::unique_ptr<PrintBatcher> batcher;

    bool setUp()
    {
        if (!fx.makeSettings())
            return false;
        fx.makeDevice();
        AppServices services{[this] { return fx.config.get(); }, [this] { return fx.device.get(); }};
        settings = std::make_unique<TaskSettings>(services);
        counters = std::make_unique<TaskCounters>();
        counters->setPrintTaskCopies(0);
        records = std::make_unique<ProductionRecords>(services, [this] { return status.load(); });
        file = std::make_unique<PrintFile>(*records);
        // Its data rows' files in the case's own folder: the program folder
        // is shared with the other test programs running beside it.
        PrintFile::Hooks fileHooks;
        fileHooks.appPath = [this] { return fx.dir->path(); };
        file->setHooks(fileHooks);
        printers = std::make_unique<Printers>(services);
        PrintParts parts{services, *counters, *file, *records, [this] { return status.load(); }};
        CdrChannel::Hooks hooks;
        hooks.taskStatus = [this] { return status.load(); };
        hooks.countPages = [parts](int pages) { countHandedOverPages(parts, pages); };
        CdrChannel::Timeouts timeouts;
        timeouts.mutexWait = std::chrono::milliseconds(300);
        timeouts.answerWait = std::chrono::milliseconds(300);
        channel = std::make_unique<CdrChannel>(hooks, timeouts);
        batcher = std::make_unique<PrintBatcher>(PrintBatcher::Parts{
            parts, *settings, *printers, *channel, [this](const QString &text) { messages << text; }});
        batcher->setPollTiming({std::chrono::milliseconds(2000), std::chrono::milliseconds(10)});
        printing::installSpooler(&spooler);
        // One page a request, copies by the program, unless a case says so.
        set(Config::CPT_Printer_Copies, false);
        set(Config::CPT_Wait_Print, false);
        return true;
    }
    void tearDown()
    {
        printing::installSpooler(nullptr);
        spooler.clear();
        status = 2;
        messages.clear();
        batcher.reset();
        channel.reset();
        printers.reset();
        file.reset();
        records.reset();
        counters.reset();
        settings.reset();
        fx.tearDown();
    }
    Config &config() { return *fx.config; }
    // Machine version 2 with its hot folder on: the hot-folder settings
    // exist only in a settings object read as version 2.
    void useHotFolder(const QString &folder)
    {
        set(Config::CPT_Version, 2);
        Config::setInstance(nullptr);
        fx.config.reset();
        fx.config = std::make_unique<Config>(fx.dir->path(), fx.dir->filePath(QStringLiteral("config.db")));
        Config::setInstance(fx.config.get());
        set(Config::CPT_Enable_RIIN_Input, true);
        set(Config::CPT_RIIN_Input, folder);
    }
    void set(Config::ConfigParamType key, const QVariant &value) { fx.config->setProperty(key, value); }
    // Printing on, a print file of the given page size, and its printer.
    void usePrintFile(const QString &path, const QSizeF &pageMm, const QString &printer)
    {
        set(Config::CPT_Enable_Print, true);
        settings->load();
        file->setPrintFile(path);
        file->setPrintPageSize(pageMm);
        printers->setPrinterName(printer);
    }
    QString writePdf(const QString &name, const QSizeF &pageMm)
    {
        const QString path = fx.dir->filePath(name);
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(pageMm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72);
        QPainter painter(&writer);
        // A grey band across the middle: something to see on the page image.
        const QRect r = painter.viewport();
        painter.fillRect(QRect(0, r.height() / 2 - 10, r.width(), 20), Qt::gray);
        painter.end();
        return path;
    }
};
