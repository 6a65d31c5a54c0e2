#include "platform/printing/memory_spooler.h"

namespace printing {

class MemoryDevice : public PrintDevice
{
public:
    MemoryDevice(MemorySpooler &spooler, QString name) : m_spooler(spooler), m_name(std::move(name)) {}

    bool readDeviceMode(DeviceMode &mode) override
    {
        std::lock_guard<std::recursive_mutex> lock(m_spooler.m_lock);
        const auto &p = m_spooler.m_printers[m_name];
        if (!p.modeReadable) {
            m_error = 1804; // no device mode
            return false;
        }
        mode = p.mode;
        return true;
    }
    bool createContext(const DeviceMode *mode) override
    {
        std::lock_guard<std::recursive_mutex> lock(m_spooler.m_lock);
        const auto &p = m_spooler.m_printers[m_name];
        if (p.failContext) {
            m_error = 1801;
            return false;
        }
        m_hasMode = mode != nullptr;
        if (mode)
            m_mode = *mode;
        m_resolution = p.resolution;
        return true;
    }
    QSize pageResolution() const override { return m_resolution; }
    int startDoc(const QString &) override
    {
        std::lock_guard<std::recursive_mutex> lock(m_spooler.m_lock);
        if (m_spooler.m_printers[m_name].failStartDoc) {
            m_error = 1804;
            return 0;
        }
        m_jobId = m_spooler.m_nextJob++;
        m_statusLeft = m_spooler.m_printers[m_name].statusSequence;
        return m_jobId;
    }
    bool startPage() override
    {
        std::lock_guard<std::recursive_mutex> lock(m_spooler.m_lock);
        const int number = ++m_spooler.m_pagesStarted;
        m_pageOpen = !m_spooler.m_printers[m_name].failStartPages.contains(number);
        if (!m_pageOpen)
            m_error = 1450;
        return m_pageOpen;
    }
    bool drawPage(const QImage &image) override
    {
        std::lock_guard<std::recursive_mutex> lock(m_spooler.m_lock);
        if (!m_pageOpen)
            return false;
        MemorySpooler::Page page;
        page.printer = m_name;
        page.jobId = m_jobId;
        page.image = image.copy();
        page.mode = m_mode;
        page.hadMode = m_hasMode;
        m_spooler.m_pages.append(page);
        return true;
    }
    bool endPage() override
    {
        m_pageOpen = false;
        return true;
    }
    bool endDoc() override
    {
        std::lock_guard<std::recursive_mutex> lock(m_spooler.m_lock);
        if (m_spooler.m_printers[m_name].failEndDoc) {
            m_error = 1722; // the spooler went away
            m_statusLeft.clear(); // cancelled: gone from the queue
            ++m_spooler.m_jobsCancelled;
            return false;
        }
        ++m_spooler.m_documentsEnded;
        return true;
    }
    bool jobStatus(int jobId, quint32 &status) override
    {
        std::lock_guard<std::recursive_mutex> lock(m_spooler.m_lock);
        ++m_spooler.m_statusPolls;
        if (jobId != m_jobId || m_statusLeft.isEmpty())
            return false;
        status = m_statusLeft.takeFirst();
        return true;
    }
    int lastError() const override { return m_error; }

private:
    MemorySpooler &m_spooler;
    QString m_name;
    DeviceMode m_mode;
    bool m_hasMode = false;
    QSize m_resolution;
    int m_jobId = 0;
    bool m_pageOpen = false;
    int m_error = 0;
    QList<quint32> m_statusLeft;
};

void MemorySpooler::addPrinter(const QString &name, const Printer &printer)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!m_printers.contains(name))
        m_order.append(name);
    m_printers.insert(name, printer);
}

MemorySpooler::Printer &MemorySpooler::printer(const QString &name)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_printers[name];
}

QList<MemorySpooler::Page> MemorySpooler::pages() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_pages;
}

int MemorySpooler::documentsEnded() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_documentsEnded;
}

int MemorySpooler::pagesStarted() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_pagesStarted;
}

int MemorySpooler::statusPolls() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_statusPolls;
}

int MemorySpooler::jobsCancelled() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_jobsCancelled;
}

void MemorySpooler::clear()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_printers.clear();
    m_order.clear();
    m_pages.clear();
    m_pagesStarted = 0;
    m_documentsEnded = 0;
    m_jobsCancelled = 0;
    m_statusPolls = 0;
}

std::unique_ptr<PrintDevice> MemorySpooler::openPrinter(const QString &name)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!m_printers.contains(name))
        return nullptr;
    return std::make_unique<MemoryDevice>(*this, name);
}

QStringList MemorySpooler::printers()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_order;
}

} // namespace printing
