#pragma once

#include "platform/printing/print_spooler.h"

#include <QList>
#include <QMap>
#include <QStringList>

#include <mutex>

namespace printing {

// A spooler in memory for tests: keeps every page image with the device
// mode its document was started with, and fails on command.
class MemorySpooler : public PrintSpooler
{
public:
    struct Printer
    {
        DeviceMode mode;            // what readDeviceMode gives
        bool modeReadable = true;
        QSize resolution{2480, 3508}; // A4 at 300 dpi
        bool failContext = false;
        bool failStartDoc = false;
        bool failEndDoc = false;
        QList<int> failStartPages; // 1-based page numbers of the run
        // Status answers of a job, one per poll; after the last, the job
        // has left the queue.
        QList<quint32> statusSequence;
    };
    struct Page
    {
        QString printer;
        int jobId = 0;
        QImage image;
        DeviceMode mode;
        bool hadMode = false;
    };

    void addPrinter(const QString &name, const Printer &printer);
    Printer &printer(const QString &name);
    QList<Page> pages() const;
    int documentsEnded() const;
    // Pages opened in a document, drawn or not.
    int pagesStarted() const;
    // Jobs withdrawn because their document was refused at its end.
    int jobsCancelled() const;
    int statusPolls() const;
    // Forgets the printers and what they printed.
    void clear();

    std::unique_ptr<PrintDevice> openPrinter(const QString &name) override;
    QStringList printers() override;

private:
    friend class MemoryDevice;
    mutable std::recursive_mutex m_lock;
    QMap<QString, Printer> m_printers;
    QStringList m_order; // as added, like a system's list
    QList<Page> m_pages;
    int m_nextJob = 1;
    int m_pagesStarted = 0;
    int m_documentsEnded = 0;
    int m_jobsCancelled = 0;
    int m_statusPolls = 0;
};

} // namespace printing
