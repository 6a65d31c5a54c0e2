#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

namespace printing {

// The printer's device mode as the program edits it: the field mask says
// which values the driver honours.
struct DeviceMode
{
    static constexpr quint32 kPaperSize = 0x2;
    static constexpr quint32 kPaperLength = 0x4;
    static constexpr quint32 kPaperWidth = 0x8;
    static constexpr quint32 kCopies = 0x100;

    quint32 fields = 0;
    int paperSize = 0;   // 0: custom, then width and length apply
    int paperWidth = 0;  // tenths of a millimetre
    int paperLength = 0; // tenths of a millimetre
    int copies = 1;
};

// Job status bits as the spooler reports them.
namespace JobStatus {
constexpr quint32 Paused = 0x001;
constexpr quint32 Error = 0x002;
constexpr quint32 Deleting = 0x004;
constexpr quint32 Spooling = 0x008;
constexpr quint32 Printing = 0x010;
constexpr quint32 Offline = 0x020;
constexpr quint32 PaperOut = 0x040;
constexpr quint32 Printed = 0x080;
constexpr quint32 Deleted = 0x100;
constexpr quint32 BlockedByDriver = 0x200;
constexpr quint32 UserIntervention = 0x400;
constexpr quint32 Restarted = 0x800;
} // namespace JobStatus

// One opened printer: its device mode, then one document of pages drawn as
// images at the printer's resolution. Each call reports failure as false (a
// job id of 0) with lastError() set.
class PrintDevice
{
public:
    virtual ~PrintDevice() = default;

    virtual bool readDeviceMode(DeviceMode &mode) = 0;
    // The device context for this mode (null: the printer's defaults).
    virtual bool createContext(const DeviceMode *mode) = 0;
    // The printable area in device pixels (valid after createContext).
    virtual QSize pageResolution() const = 0;
    // Returns the job id, 0 on failure.
    virtual int startDoc(const QString &documentName) = 0;
    virtual bool startPage() = 0;
    // Copies the page image to the page at (0, 0), its own size.
    virtual bool drawPage(const QImage &image) = 0;
    virtual bool endPage() = 0;
    // False when the document did not reach the spooler: its job is then
    // cancelled and has left the queue.
    virtual bool endDoc() = 0;
    // The job's status bits; false once the job has left the queue.
    virtual bool jobStatus(int jobId, quint32 &status) = 0;
    virtual int lastError() const = 0;
};

class PrintSpooler
{
public:
    virtual ~PrintSpooler() = default;
    // Null when the printer does not open.
    virtual std::unique_ptr<PrintDevice> openPrinter(const QString &name) = 0;
    virtual QStringList printers() = 0;
};

} // namespace printing
