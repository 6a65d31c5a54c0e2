#pragma once

#include "app/print/job_status_poll.h"
#include "app/print/page_code_painter.h"
#include "app/print/print_parts.h"

#include <QString>

#include <functional>

namespace printing {
class PrintSpooler;
struct DeviceMode;
} // namespace printing

// Prints PDF pages straight to a printer: page 0 rendered at the printer's
// resolution, the page code drawn on it, the page sent as an image; the
// device mode carries the page size and, when the driver can, the copies.
class DirectPrinter
{
public:
    DirectPrinter(const PrintParts &parts, printing::PrintSpooler &spooler) : m_parts(parts), m_spooler(spooler) {}

    void setPollTiming(JobStatusPoll::Timing timing) { m_pollTiming = timing; }
    // The request was stopped (the job's stop, the program's end): no
    // further page goes into the document, and the status poll ends.
    void setStopped(std::function<bool()> stopped) { m_stopped = std::move(stopped); }
    // A print that failed (no printer, no document, a page not drawn, a
    // document refused), with the operator's message.
    void setFailed(std::function<void(const QString &)> failed) { m_failed = std::move(failed); }
    // True when at least one page reached the printer. A page that cannot
    // be drawn ends the print before it is put in the document.
    bool print(const QString &file, const QString &printerName, int pages);

    // Page 0 of file at size pixels on white, 32-bit RGB; null when it
    // cannot be read.
    static QImage renderPage(const QString &file, const QSize &size);

private:
    // Draws the code of a page on its image as the marker type says.
    void drawCode(QImage &image, quint32 code);

    PrintParts m_parts;
    printing::PrintSpooler &m_spooler;
    PageCodePainter m_painter;
    JobStatusPoll::Timing m_pollTiming;
    std::function<bool()> m_stopped;
    std::function<void(const QString &)> m_failed;
};
