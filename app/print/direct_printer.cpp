#include "app/print/direct_printer.h"

#include "app/print/print_file.h"
#include "app/records/production_records.h"
#include "app/task/task_counters.h"
#include "platform/printing/print_spooler.h"
#include "platform/scene/gpage.h"
#include "platform/scene/gscene.h"
#include "settings/config.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QPainter>
#include <QPdfDocument>

namespace {

constexpr const char *kPrefix = "SpoolsmithApp::printPdf";
constexpr const char *kNotStarted = QT_TRANSLATE_NOOP("SpoolsmithApp", "打印机无法开始打印，请检查打印机");

// The operator's texts keep the translation context they were written in.
QString text(const char *source)
{
    return QCoreApplication::translate("SpoolsmithApp", source) + QStringLiteral(" \n");
}

QVariant setting(const PrintParts &parts, Config::ConfigParamType key)
{
    Config *config = parts.services.config();
    return config ? config->getProperty(key) : QVariant();
}

} // namespace

QImage DirectPrinter::renderPage(const QString &file, const QSize &size)
{
    QPdfDocument document;
    if (document.load(file) != QPdfDocument::Error::None || document.pageCount() < 1)
        return {};
    const QImage rendered = document.render(0, size);
    if (rendered.isNull())
        return {};
    QImage page(rendered.size(), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.drawImage(0, 0, rendered);
    return page;
}

void DirectPrinter::drawCode(QImage &image, quint32 code)
{
    const uint markerType = setting(m_parts, Config::CPT_Enable_Print_Marker_Type).toUInt();
    GScene *scene = m_parts.file.printScene();
    const GMarkItem *mark = scene ? scene->page()->markItem() : nullptr;
    const QRectF rect = PageCodePainter::pageCodeRect(mark, markerType);
    if (rect.isEmpty())
        return;
    m_painter.draw(image, m_parts.file.printPageSize(), code, markerType, rect);
}

bool DirectPrinter::print(const QString &fileIn, const QString &printerName, int pages)
{
    QElapsedTimer started;
    started.start();
    QString file = fileIn;
    const auto stopped = [this] { return m_stopped && m_stopped(); };
    const QSizeF pageMm = m_parts.file.printPageSize();
    std::unique_ptr<printing::PrintDevice> device = m_spooler.openPrinter(printerName);
    printing::DeviceMode mode;
    bool hasMode = device && device->readDeviceMode(mode);
    if (hasMode) {
        using DM = printing::DeviceMode;
        if (mode.fields & DM::kPaperSize) {
            if ((mode.fields & (DM::kPaperLength | DM::kPaperWidth)) != (DM::kPaperLength | DM::kPaperWidth)) {
                mode.paperSize = 0;
                mode.fields |= DM::kPaperLength | DM::kPaperWidth;
            }
            mode.paperWidth = int(pageMm.width() * 10);
            mode.paperLength = int(pageMm.height() * 10);
        }
        if (!m_parts.file.enabledDataSource() && (mode.fields & DM::kCopies)
            && setting(m_parts, Config::CPT_Printer_Copies).toBool()) {
            mode.copies = pages;
            pages = 1; // the driver makes the copies
        }
    }
    // What each page that went out advances; applied only once the spooler
    // has accepted the document, so a document it refuses counts nothing.
    struct PrintedPage
    {
        quint32 code = 0;
        int copies = 1;
        int lastPage = 0;
        int dataIndex = -1;
    };
    QList<PrintedPage> printedPages;
    const int firstRow = m_parts.file.enabledDataSource() ? m_parts.file.dataIndex() : -1;
    int printedUpTo = m_parts.counters.printCopies();
    bool sent = false;
    int jobId = 0;
    QString failure;
    if (!device || !device->createContext(hasMode ? &mode : nullptr)) {
        qCritical() << kPrefix << "CreateDCA failed" << printedUpTo + 1 << printerName
                    << (device ? device->lastError() : 0);
        failure = text(QT_TRANSLATE_NOOP("SpoolsmithApp", "打印机无法打开，请检查打印机"));
    } else if ((jobId = device->startDoc(printerName)) == 0) {
        qCritical() << kPrefix << "StartDocA failed" << printedUpTo + 1 << printerName << device->lastError();
        failure = text(kNotStarted);
    } else {
        const QSize size = device->pageResolution();
        const bool drawLine = setting(m_parts, Config::CPT_Enable_DrawLine).toBool();
        bool pageFailed = false;
        for (int i = 0; i < pages; ++i) {
            if (!takeNextPageFile(m_parts, file, kPrefix))
                break;
            // The pages drawn so far still go out, and count.
            if (i > 0 && stopped()) {
                qInfo() << kPrefix << "print stopped," << pages - i << "pages not drawn";
                break;
            }
            // Drawn before its page is opened: a page that cannot be drawn
            // never leaves a blank, uncounted label in the document.
            QImage image = renderPage(file, size);
            if (image.isNull()) {
                qCritical() << kPrefix << "page image failed" << printedUpTo + 1 << file << "- printing stops";
                failure = text(QT_TRANSLATE_NOOP("SpoolsmithApp", "打印页面无法生成，请检查打印文件"));
                break;
            }
            if (!device->startPage()) {
                qCritical() << kPrefix << "StartPage failed" << printedUpTo + 1 << printerName << device->lastError();
                pageFailed = true;
                continue;
            }
            const int c = hasMode ? std::max(1, mode.copies) : 1;
            // The code is taken first so that it can be drawn; its records are
            // written once the document was accepted.
            const quint32 code = m_parts.records.takePageCode();
            if (code != 0)
                drawCode(image, code);
            const int first = printedUpTo + 1;
            int last = first;
            QString label = QString::number(first);
            if (!m_parts.file.enabledDataSource() && c > 1) {
                last = printedUpTo + c;
                label = QStringLiteral("%1 - %2").arg(first).arg(last);
            }
            qInfo() << kPrefix << label;
            if (drawLine) {
                QPainter painter(&image);
                painter.drawLine(0, 0, image.width() - 1, 0);
                painter.drawLine(image.width() - 1, image.height() - 1, 0, image.height() - 1);
            }
            if (!device->drawPage(image)) {
                qCritical() << kPrefix << "BitBlt failed" << first << printerName << device->lastError();
                device->endPage();
                pageFailed = true;
                continue;
            }
            qDebug() << kPrefix << "print succeed" << last;
            const int dataIndex = m_parts.file.enabledDataSource() ? m_parts.file.dataIndex() : -1;
            printedPages.append({code, c, last, dataIndex});
            printedUpTo = last;
            // The row is given back when the document is refused.
            rowPrinted(m_parts);
            device->endPage();
        }
        if (printedPages.isEmpty()) {
            // No empty document goes out: the job is withdrawn with the device.
            qCritical() << kPrefix << "no page in the document, job withdrawn" << jobId << printerName;
            if (failure.isEmpty() && pageFailed)
                failure = text(kNotStarted);
        } else if (!(sent = device->endDoc())) {
            // A spooler that sends the document only now can still refuse
            // it; its job is then cancelled, with nothing left to wait for.
            qCritical() << kPrefix << "EndDoc failed, job cancelled" << jobId << printerName << device->lastError()
                        << printedPages.size() << "pages not counted";
            // The rows go back as they were, the last one too (printing it
            // moved the data to its end without changing the row).
            if (firstRow >= 0 && (m_parts.file.dataIndex() != firstRow || m_parts.file.rowMissing()))
                m_parts.file.setDataIndex(firstRow);
            failure = text(QT_TRANSLATE_NOOP("SpoolsmithApp", "打印文档发送失败，请检查打印机"));
        }
    }
    if (!failure.isEmpty() && m_failed)
        m_failed(failure);
    if (sent) {
        for (const PrintedPage &page : printedPages) {
            if (page.code != 0)
                m_parts.records.recordPrintedPage(page.code, uint(page.copies), page.dataIndex);
            countPrintedPage(m_parts, page.copies, page.lastPage, pageMm.height());
        }
    }
    const bool printed = sent && !printedPages.isEmpty();
    if (sent && jobId != 0 && setting(m_parts, Config::CPT_Wait_Print).toBool()) {
        const qint64 ms = JobStatusPoll::run(*device, jobId, stopped, m_pollTiming);
        qInfo() << kPrefix << "查询打印任务状态时间" << ms / 1000.0 << " s.";
    }
    device.reset();
    qInfo() << kPrefix << "打印时长" << started.elapsed() / 1000.0 << " s.";
    return printed;
}
