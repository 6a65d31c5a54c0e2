#include "app/marks/mark_scan.h"

#include "settings/config.h"

#include "vision/film_view.h"
#include "vision/mark_finder.h"
#include "vision/mark_locate.h"
#include "vision/page_code.h"
#include "vision/qr_page_code_reader.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFont>
#include <QPainter>
#include <QPen>

namespace {

// The mark of a scan in capture pixels: the reduced picture need not be a
// whole-number fraction of the capture.
QPointF markInCapture(const QImage &img, const FilmSlot &slot)
{
    return slot.markPos * (double(img.width()) / slot.image.width());
}

} // namespace

MarkScan::MarkScan(AppServices services, Hooks hooks, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_hooks(std::move(hooks))
    , m_filmSlots(kFilmSlotCount)
    , m_qrReader(std::make_unique<QrPageCodeReader>())
{
    // The film views repaint on this object's filmViewUpdate.
    FilmView::setSource(this, [this]() { return filmSlots(); });
    m_countFlush.setSingleShot(true);
    m_countFlush.setInterval(kCountFlushMs);
    connect(&m_countFlush, &QTimer::timeout, this, &MarkScan::flushScanCounts);
}

MarkScan::~MarkScan()
{
    FilmView::setSource(nullptr, {});
    flushScanCounts();
}

void MarkScan::acceptPageCode(quint32 code)
{
    m_scannedPageCode.store(code);
    m_hooks.setPageCode(code);
    emit pageCodeScanned(code);
}

QList<FilmSlot> MarkScan::filmSlots() const
{
    std::lock_guard<std::mutex> lock(m_filmLock);
    return m_filmSlots;
}

QPointF MarkScan::lastMarkPosition() const
{
    std::lock_guard<std::mutex> lock(m_filmLock);
    return {m_lastMarkX, m_lastMarkY};
}

float MarkScan::lastMarkDiameter() const
{
    std::lock_guard<std::mutex> lock(m_filmLock);
    return m_lastMarkD;
}

void MarkScan::resetLastMark()
{
    std::lock_guard<std::mutex> lock(m_filmLock);
    m_lastMarkX = m_lastMarkY = 0.0;
    m_lastMarkD = 0.0f;
}

void MarkScan::setPageCodeSearch(bool on)
{
    if (on)
        m_scannedPageCode.store(0);
    m_pageCodeSearch.store(on);
}

void MarkScan::setCutMarkTypeReader(std::function<int()> reader)
{
    m_cutMarkTypeReader = std::move(reader);
}

void MarkScan::setOcrReader(std::function<QList<OcrTextBlock>(const QImage &, double)> reader)
{
    m_ocrReader = std::move(reader);
}

void MarkScan::countScan(bool ok)
{
    (ok ? m_pendingScansOk : m_pendingScans).fetch_add(1);
    // A second without scans writes them; while a job scans they go with
    // its next copy.
    m_countFlush.start();
}

WorkDataRecord MarkScan::takeScanCounts()
{
    WorkDataRecord counts;
    counts.scanMark = m_pendingScans.exchange(0);
    counts.scanMarkOk = m_pendingScansOk.exchange(0);
    return counts;
}

void MarkScan::flushScanCounts()
{
    const WorkDataRecord counts = takeScanCounts();
    Config *config = m_services.config ? m_services.config() : nullptr;
    if (config && (counts.scanMark != 0 || counts.scanMarkOk != 0))
        config->addCounts(counts);
}

void MarkScan::scanMark(const QImage &img)
{
    resetLastMark();
    Config *config = m_services.config();
    countScan(false);
    QElapsedTimer clock;
    clock.start();

    MarkLocateParams params;
    if (config) {
        params.markSize = config->markSize();
        params.cameraWidth = config->markCameraWidth();
        params.cameraHeight = config->markCameraHeight();
    }
    params.pairMode = m_cutMarkTypeReader && m_cutMarkTypeReader() == 1;
    params.markIndex = markIndex();
    const MarkLocateResult found = locateMark(img, params);

    if (!params.pairMode && found.candidates > 1 && config
        && config->getProperty(Config::CPT_SAVE_Check_Img).toBool()) {
        const QDateTime now = QDateTime::currentDateTime();
        const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/point/")
            + now.date().toString(QStringLiteral("yyyy-MM-dd"));
        QDir().mkpath(dir);
        const QString path = dir + QLatin1Char('/') + now.toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss-zzz"))
            + QStringLiteral(".jpg");
        if (!img.save(path))
            qCritical() << "SpoolsmithApp::scanMark" << "save failed" << path;
        qWarning() << "SpoolsmithApp::scanMark" << "scan point " << found.candidates << "save" << path;
    }
    {
        std::lock_guard<std::mutex> lock(m_filmLock);
        m_lastMarkX = found.position.x();
        m_lastMarkY = found.position.y();
        m_lastMarkD = found.diameter;
    }
    const int index = markIndex();
    qInfo() << "SpoolsmithApp::scanMark" << index << clock.elapsed() << "ms.";

    FilmSlot slot;
    slot.image = found.small;
    slot.markPos = found.position;
    slot.score = found.diameter;

    // Read on every page whose search has the switch on, until a valid code
    // is had; not only on the job's first page.
    if (pageCodeSearch() && scannedPageCode() == 0 && config) {
        switch (config->getProperty(Config::CPT_Enable_Print_Marker_Type).toUInt()) {
        case 2: scanQR(img, slot); break;
        case 1: scanOCR(img, slot); break;
        default: break;
        }
    }

    const bool running = m_hooks.taskStatus() == 1;
    {
        std::lock_guard<std::mutex> lock(m_filmLock);
        m_filmSlots[0] = slot;
        if (index >= 1 && index <= 4 && running)
            m_filmSlots[index] = slot;
    }
    emit filmViewUpdate(QRect());

    if (!found.position.isNull()) {
        countScan(true);
    }
}

void MarkScan::scanQR(const QImage &img, FilmSlot &slot)
{
    QElapsedTimer clock;
    clock.start();
    if (img.isNull() || !m_qrReader)
        return;
    // The code is printed beside the mark: with a mark found, look only there.
    QRect region;
    const Config *config = m_services.config();
    if (!slot.markPos.isNull() && config && !slot.image.isNull())
        region = pageCodeRegion(markInCapture(img, slot), config->markSize(), img.size());
    const PageCodeRead read = m_qrReader->read(img, region);
    if (!read.text.isEmpty()) {
        const float k = float(double(slot.image.width()) / img.width());
        slot.text = read.text;
        slot.points.clear();
        for (const QPointF &p : read.points)
            slot.points.append(QPointF(p.x() * k, p.y() * k));
        qInfo() << "SpoolsmithApp::scanQR" << "类型：" << read.type;
        qInfo() << "SpoolsmithApp::scanQR" << "条码：" << read.text;
        if (read.code == 0)
            qWarning() << "SpoolsmithApp::scanQR" << "not a page code" << read.text;
        else if (pageCodeSearch() && scannedPageCode() == 0)
            acceptPageCode(read.code);
    }
    qInfo() << "SpoolsmithApp::scanQR" << clock.elapsed() << "ms.";
}

void MarkScan::scanOCR(const QImage &img, FilmSlot &slot)
{
    QElapsedTimer clock;
    clock.start();
    if (!m_ocrReader) {
        qCritical() << "SpoolsmithApp::scanOCR" << "no OCR engine";
        return;
    }
    // With the mark found, the detector works on the code's line beside it,
    // not the whole picture.
    const Config *config = m_services.config();
    const bool known = config && !slot.markPos.isNull() && !slot.image.isNull();
    const QList<OcrTextBlock> blocks = readPageCodeBesideMark(m_ocrReader, img, known ? markInCapture(img, slot) : QPointF(),
                                                              known ? config->markSize() : 0.0, kOcrReadyWaitMs);
    const float k = float(double(slot.image.width()) / std::max(1, img.width()));
    for (const OcrTextBlock &block : blocks) {
        qInfo() << "SpoolsmithApp::scanOCR" << "Text: " << block.text << ", Confidence: " << block.score;
        slot.text = block.text;
        slot.points.clear();
        for (const QPointF &p : block.box)
            slot.points.append(QPointF(p.x() * k, p.y() * k));
        qInfo() << "SpoolsmithApp::scanOCR" << "Text: " << slot.points;
        uint32_t code = 0;
        if (parsePageCode(block.text, &code) && pageCodeSearch() && scannedPageCode() == 0)
            acceptPageCode(code);
    }
    qInfo() << "SpoolsmithApp::scanOCR" << clock.elapsed() << "ms.";
}

void MarkScan::clearFilm(int index)
{
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(m_filmLock);
        if (index == -1) {
            for (FilmSlot &slot : m_filmSlots)
                if (slot.score != -1.0f) {
                    slot.score = -1.0f;
                    changed = true;
                }
        } else if (index >= 0 && index < m_filmSlots.size() && m_filmSlots[index].score != -1.0f) {
            m_filmSlots[index].score = -1.0f;
            changed = true;
        }
    }
    if (changed)
        emit filmViewUpdate(QRect());
}

void MarkScan::markedImage(QImage &img, int x, int y, int l, double scale)
{
    if (img.isNull())
        return;
    QPainter painter(&img);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(Qt::red, 4));
    painter.drawEllipse(int(x * scale - l * 0.5 * scale), int(y * scale - l * 0.5 * scale), int(l * scale),
                        int(l * scale));
    QFont font = painter.font();
    font.setBold(true);
    font.setPointSize(8);
    painter.setFont(font);
    painter.drawText(QPoint(2, 15), QStringLiteral("Pos:(%1, %2) d:%3").arg(x).arg(y).arg(l));
}
