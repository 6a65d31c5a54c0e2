#include "platform/printing/cups_spooler.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cups/cups.h>

namespace printing {

namespace {

constexpr double kMmPerInch = 25.4;

class CupsDevice : public PrintDevice
{
public:
    explicit CupsDevice(QString name) : m_name(std::move(name)) {}
    ~CupsDevice() override
    {
        if (m_jobId != 0 && !m_finished && !m_left)
            cupsCancelJob2(CUPS_HTTP_DEFAULT, m_name.toLocal8Bit().constData(), m_jobId, 0);
    }

    bool readDeviceMode(DeviceMode &mode) override
    {
        // CUPS takes any page size and makes copies itself.
        mode.fields = DeviceMode::kPaperSize | DeviceMode::kCopies;
        mode.paperSize = 9; // A4
        mode.paperWidth = 2100;
        mode.paperLength = 2970;
        mode.copies = 1;
        return true;
    }
    bool createContext(const DeviceMode *mode) override
    {
        DeviceMode m;
        readDeviceMode(m);
        if (mode)
            m = *mode;
        m_mode = m;
        const bool custom = (m.fields & (DeviceMode::kPaperLength | DeviceMode::kPaperWidth))
            && m.paperWidth > 0 && m.paperLength > 0;
        m_pageMm = custom ? QSizeF(m.paperWidth / 10.0, m.paperLength / 10.0) : QSizeF(210.0, 297.0);
        m_resolution = QSize(int(m_pageMm.width() / kMmPerInch * CupsSpooler::kDpi),
                             int(m_pageMm.height() / kMmPerInch * CupsSpooler::kDpi));
        return true;
    }
    QSize pageResolution() const override { return m_resolution; }
    int startDoc(const QString &documentName) override
    {
        cups_option_t *options = nullptr;
        int count = 0;
        if (m_mode.copies > 1)
            count = cupsAddOption("copies", QByteArray::number(m_mode.copies).constData(), count, &options);
        // The queue's paper is the page's own size, not its default.
        const QByteArray media = "Custom." + QByteArray::number(m_pageMm.width(), 'f', 1) + "x"
            + QByteArray::number(m_pageMm.height(), 'f', 1) + "mm";
        count = cupsAddOption("media", media.constData(), count, &options);
        count = cupsAddOption("PageSize", media.constData(), count, &options);
        m_jobId = cupsCreateJob(CUPS_HTTP_DEFAULT, m_name.toLocal8Bit().constData(),
                                documentName.toLocal8Bit().constData(), count, options);
        cupsFreeOptions(count, options);
        if (m_jobId == 0) {
            m_error = int(cupsLastError());
            return 0;
        }
        m_pdf.setBuffer(&m_bytes);
        m_pdf.open(QIODevice::WriteOnly);
        m_writer = std::make_unique<QPdfWriter>(&m_pdf);
        m_writer->setResolution(CupsSpooler::kDpi);
        m_writer->setPageSize(QPageSize(m_pageMm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
        m_writer->setPageMargins(QMarginsF(0, 0, 0, 0));
        return m_jobId;
    }
    bool startPage() override
    {
        if (!m_writer)
            return false;
        if (!m_painter.isActive()) {
            if (!m_painter.begin(m_writer.get())) {
                m_error = -1;
                return false;
            }
        } else if (!m_writer->newPage()) {
            m_error = -1;
            return false;
        }
        return true;
    }
    bool drawPage(const QImage &image) override
    {
        if (!m_painter.isActive())
            return false;
        m_painter.drawImage(QRect(QPoint(0, 0), image.size()), image);
        return true;
    }
    bool endPage() override { return true; }
    bool endDoc() override
    {
        if (m_painter.isActive())
            m_painter.end();
        m_writer.reset();
        m_pdf.close();
        const QByteArray name = m_name.toLocal8Bit();
        if (cupsStartDocument(CUPS_HTTP_DEFAULT, name.constData(), m_jobId, "page", CUPS_FORMAT_PDF, 1)
            != HTTP_STATUS_CONTINUE)
            return cancelUnsent();
        if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, m_bytes.constData(), size_t(m_bytes.size()))
            != HTTP_STATUS_CONTINUE) {
            const int error = int(cupsLastError());
            cupsFinishDocument(CUPS_HTTP_DEFAULT, name.constData());
            return cancelUnsent(error);
        }
        m_finished = cupsFinishDocument(CUPS_HTTP_DEFAULT, name.constData()) == IPP_STATUS_OK;
        m_bytes.clear();
        return m_finished || cancelUnsent();
    }
    bool jobStatus(int jobId, quint32 &status) override
    {
        if (m_left)
            return false;
        ipp_t *request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
        const QByteArray uri = "ipp://localhost/jobs/" + QByteArray::number(jobId);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.constData());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
        ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
        if (!response || ippGetStatusCode(response) > IPP_STATUS_OK_CONFLICTING) {
            ippDelete(response);
            m_error = int(cupsLastError());
            return false;
        }
        int state = 0;
        QStringList reasons;
        if (ipp_attribute_t *a = ippFindAttribute(response, "job-state", IPP_TAG_ENUM))
            state = ippGetInteger(a, 0);
        if (ipp_attribute_t *a = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD))
            for (int i = 0; i < ippGetCount(a); ++i)
                reasons << QString::fromUtf8(ippGetString(a, i, nullptr));
        ippDelete(response);
        status = CupsSpooler::statusBits(state, reasons);
        // A finished job stays in CUPS's history: it is reported once and
        // then counts as gone from the queue.
        m_left = state >= IPP_JSTATE_CANCELED;
        return true;
    }
    int lastError() const override { return m_error; }

private:
    // A job whose document did not get through is withdrawn at once, so it
    // neither waits in the queue nor keeps a status poll asking after it.
    bool cancelUnsent(int error = int(cupsLastError()))
    {
        m_error = error;
        m_bytes.clear();
        if (m_jobId != 0 && !m_left)
            cupsCancelJob2(CUPS_HTTP_DEFAULT, m_name.toLocal8Bit().constData(), m_jobId, 0);
        m_left = true;
        return false;
    }

    QString m_name;
    DeviceMode m_mode;
    QSizeF m_pageMm;
    QSize m_resolution;
    int m_jobId = 0;
    int m_error = 0;
    bool m_finished = false;
    bool m_left = false;
    QByteArray m_bytes;
    QBuffer m_pdf;
    std::unique_ptr<QPdfWriter> m_writer;
    QPainter m_painter;
};

} // namespace

quint32 CupsSpooler::statusBits(int jobState, const QStringList &reasons)
{
    quint32 bits = 0;
    switch (jobState) {
    case IPP_JSTATE_PENDING: bits = JobStatus::Spooling; break;
    case IPP_JSTATE_HELD: bits = JobStatus::Paused; break;
    case IPP_JSTATE_PROCESSING: bits = JobStatus::Printing; break;
    case IPP_JSTATE_STOPPED: bits = JobStatus::Error; break;
    case IPP_JSTATE_CANCELED: bits = JobStatus::Deleted; break;
    case IPP_JSTATE_ABORTED: bits = JobStatus::Error | JobStatus::Deleted; break;
    case IPP_JSTATE_COMPLETED: bits = JobStatus::Printed; break;
    default: break;
    }
    for (const QString &r : reasons) {
        if (r.startsWith(QLatin1String("media-empty")) || r.startsWith(QLatin1String("media-needed")))
            bits |= JobStatus::PaperOut;
        else if (r.startsWith(QLatin1String("printer-stopped")) || r.contains(QLatin1String("offline")))
            bits |= JobStatus::Offline;
        else if (r.startsWith(QLatin1String("job-hold-until")))
            bits |= JobStatus::Paused;
    }
    return bits;
}

std::unique_ptr<PrintDevice> CupsSpooler::openPrinter(const QString &name)
{
    const QByteArray n = name.toLocal8Bit();
    if (n.isEmpty() || n.size() > 255)
        return nullptr;
    cups_dest_t *dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, n.constData(), nullptr);
    if (!dest)
        return nullptr;
    cupsFreeDests(1, dest);
    return std::make_unique<CupsDevice>(name);
}

QStringList CupsSpooler::printers()
{
    cups_dest_t *dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QString::fromLocal8Bit(dests[i].name);
    cupsFreeDests(count, dests);
    return names;
}

} // namespace printing
