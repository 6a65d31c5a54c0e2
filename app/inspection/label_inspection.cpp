#include "app/inspection/label_inspection.h"

#include "app/inspection/label_report.h"

#include "core/property_store.h"
#include "machine/trv610plus.h"
#include "platform/detector/label_detector.h"
#include "settings/config.h"
#include "vision/lost_label_view.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QElapsedTimer>
#include <QFont>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QTransform>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <exception>

using spoolsmith::storeAndNotify;

namespace {
const char *const kWhere = "SpoolsmithApp::checkLabelCapture";
// While one picture is inspected, three more may wait their turn: a burst
// of late pictures is still inspected, a camera that floods is not.
constexpr int kMostPictures = 4;

QImage imageOf(const cv::Mat &m)
{
    if (m.empty() || m.depth() != CV_8U)
        return {};
    if (m.channels() == 3)
        return QImage(m.data, m.cols, m.rows, int(m.step), QImage::Format_RGB888).copy();
    // A grey template is saved in colour, as it was rendered.
    if (m.channels() == 1)
        return QImage(m.data, m.cols, m.rows, int(m.step), QImage::Format_Grayscale8)
            .convertToFormat(QImage::Format_RGB888);
    return {};
}
} // namespace

LabelInspection::LabelInspection(QObject *parent)
    : QObject(parent)
    , m_ownDetector(std::make_unique<LabelDetector>())
{
}

LabelInspection::~LabelInspection()
{
    if (m_viewsAttached)
        LostLabelView::setSource(nullptr, {});
}

void LabelInspection::attachViews(QObject *notifier)
{
    // Copied under the short state lock: the painter never waits for an
    // inspection.
    LostLabelView::setSource(notifier, [this] {
        LostLabelView::Snapshot s;
        s.result = keptResult();
        s.segmentX = segmentX();
        return s;
    });
    m_viewsAttached = true;
}

void LabelInspection::setServices(AppServices services, Hooks hooks)
{
    std::lock_guard<std::mutex> lock(m_inspectionLock);
    m_services = std::move(services);
    m_hooks = std::move(hooks);
}

void LabelInspection::setInspection(std::function<void(const QImage &)> inspect)
{
    std::lock_guard<std::mutex> lock(m_hookLock);
    m_inspection = std::move(inspect);
}

void LabelInspection::setDetector(Detector detector)
{
    std::lock_guard<std::mutex> lock(m_hookLock);
    m_detector = std::move(detector);
}

bool LabelInspection::inspect(const QImage &image)
{
    if (m_waiting.fetch_add(1) >= kMostPictures) {
        m_waiting.fetch_sub(1);
        m_dropped.fetch_add(1);
        qWarning() << "SpoolsmithApp::labelCheckThread" << "four pictures in hand, this one is dropped";
        return false;
    }
    bool drifted = false;
    bool inspected = true;
    {
        std::lock_guard<std::mutex> lock(m_inspectionLock);
        std::function<void(const QImage &)> replaced;
        {
            std::lock_guard<std::mutex> hookLock(m_hookLock);
            replaced = m_inspection;
        }
        try {
            if (replaced)
                replaced(image);
            else
                drifted = checkLabelCapture(image);
        } catch (const std::exception &e) {
            qCritical() << kWhere << "inspection failed:" << e.what();
            inspected = false;
        }
    }
    m_waiting.fetch_sub(1);
    // The stop waits for the machine: requested only once this picture's
    // collect length and report line are written and no lock is held.
    if (drifted) {
        Config *config = m_services.config ? m_services.config() : nullptr;
        const double limit = config ? config->getProperty(Config::CPT_Max_RectifyOffset).toDouble() : 15.0;
        if (m_hooks.stopTaskWaiting)
            m_hooks.stopTaskWaiting();
        if (TRV610Plus *device = m_services.device ? m_services.device() : nullptr)
            device->setErrorMessage(QCoreApplication::translate("SpoolsmithApp", "纸张偏移大于")
                                    + QString::number(int(std::trunc(limit))) + QStringLiteral("mm"));
    }
    return inspected;
}

bool LabelInspection::checkLabelCapture(const QImage &img)
{
    Config *config = m_services.config ? m_services.config() : nullptr;
    if (!config || !config->enableScanAndTrim())
        return false;

    QImage picture = img;
    const int turn = 90 - config->checkCameraRotation();
    if (turn != 0)
        picture = picture.transformed(QTransform().rotate(turn), Qt::SmoothTransformation);

    const cv::Mat templ = m_hooks.labelTemplate ? m_hooks.labelTemplate() : cv::Mat();
    if (templ.empty()) {
        const bool capturing = m_hooks.capturing && m_hooks.capturing();
        TRV610Plus *device = m_services.device ? m_services.device() : nullptr;
        if (!capturing && device)
            device->setErrorMessage(QCoreApplication::translate("SpoolsmithApp", "切割文件未打开 \n"));
        return false;
    }

    const QImage bgr = picture.convertToFormat(QImage::Format_BGR888);
    m_saver.setPicture(bgr);
    const Switches sw = m_hooks.switches ? m_hooks.switches() : Switches();
    ReadData result;
    QElapsedTimer clock;
    clock.start();
    if (!bgr.isNull()) {
        const cv::Mat frame(bgr.height(), bgr.width(), CV_8UC3, const_cast<uchar *>(bgr.constBits()),
                            size_t(bgr.bytesPerLine()));
        Detector detector;
        {
            std::lock_guard<std::mutex> lock(m_hookLock);
            detector = m_detector;
        }
        try {
            if (detector)
                result = detector(frame, templ, sw.ocr, sw.qr, sw.barcode, sw.modelPath.toStdString());
            else
                result = m_ownDetector->process(frame, templ, sw.ocr, sw.qr, sw.barcode, sw.modelPath.toStdString(),
                                                expectation());
        } catch (const std::exception &e) {
            qCritical() << kWhere << "process_frame fatal" << e.what() << saveCheckImage();
            result = ReadData();
        }
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (seconds > 0.5)
        qInfo().nospace() << kWhere << "  recognition: " << seconds << " s. ";

    if (result.segmentX < 1) {
        qCritical() << kWhere << "recognition error";
        qCritical() << kWhere << "input image width: " << bgr.width();
        qCritical() << kWhere << "input image height: " << bgr.height();
        qCritical() << kWhere << "input image channels: " << 3;
        qCritical() << kWhere << "template image width: " << templ.cols;
        qCritical() << kWhere << "template image height: " << templ.rows;
        qCritical() << kWhere << "template image channels: " << templ.channels();
        qCritical() << kWhere << "last_edge:" << result.last_edge;
        qCritical() << kWhere << "first_edge" << result.first_edge;
        qCritical() << kWhere << "segmentX" << result.segmentX;
    }
    if (result.last_edge - result.first_edge < 1)
        result = ReadData();

    const bool drifted = doMediaEdge(result.first_edge, result.last_edge);
    setCollectLen(nextCollectLength(result.segmentX, bgr.height()));

    if (m_pagechecked.load()) {
        writeLabelReport(result);
        setPagechecked(false);
    }

    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_kept = result;
    }
    setImageHeight(bgr.height());
    setImageWidth(bgr.width());
    emit lostViewUpdate(QRect());
    return drifted;
}

FrameExpectation LabelInspection::expectation() const
{
    FrameExpectation expect;
    const QSizeF page = m_hooks.cutPageSize ? m_hooks.cutPageSize() : QSizeF();
    Config *config = m_services.config ? m_services.config() : nullptr;
    std::lock_guard<std::mutex> lock(m_stateLock);
    const double scale = m_edges.scale(); // mm per pixel
    expect.paperWidth = m_edges.previousWidth() > 0.0 ? m_edges.previousWidth()
                        : scale > 0.0                 ? page.width() / scale
                                                      : 0.0;
    // The page found last, moved on by what was collected since, on a grid
    // of page height plus spacing: a regular label grid fits one row off
    // nearly as well as in place.
    const int previous = m_segmentX.load();
    if (scale > 0.0 && page.height() > 0.0 && previous >= 1) {
        const double spacing = config ? config->pageSpacing() : 0.0;
        expect.page.pitch = (page.height() + std::max(0.0, spacing)) / scale;
        expect.page.start = previous - m_collectLen / scale;
    }
    return expect;
}

double LabelInspection::nextCollectLength(int s, int pictureHeight)
{
    const int previous = segmentX();
    const double scale = checkCameraScale();
    if (s < 1) {
        // The page moved on by what was collected; only a page that was
        // found, at a known scale, can be followed back.
        if (previous >= 1 && scale > 0.0)
            setSegmentX(int(std::trunc(previous - collectLen() / scale)));
        return 50.0;
    }
    if (s > previous && !m_pagechecked.load())
        setPagechecked(true);
    setSegmentX(s);
    Config *config = m_services.config ? m_services.config() : nullptr;
    const double centre = config ? config->checkCameraCenterX() : 635.0;
    const double pos = centre + (s - pictureHeight * 0.5) * scale;
    const double pageHeight = m_hooks.cutPageSize ? m_hooks.cutPageSize().height() : 0.0;
    if (pageHeight <= 0.0)
        return 50.0;
    // floor, not truncation: a position before the camera centre still
    // lies between two page starts.
    const double k = std::floor(pos / pageHeight);
    return std::min({pos - pageHeight * k, pageHeight * (k + 1) - pos, 50.0});
}

bool LabelInspection::doMediaEdge(int firstEdge, int lastEdge)
{
    setCheckPaperTop(firstEdge);
    setCheckPaperBottom(lastEdge);
    Config *config = m_services.config ? m_services.config() : nullptr;
    const double pageWidth = m_hooks.cutPageSize ? m_hooks.cutPageSize().width() : 0.0;
    if (!config || pageWidth <= 0.0)
        return false;
    const int minWidth = config->getProperty(Config::CPT_Min_PaperWidthPix).toInt();
    const double maxOffset = config->getProperty(Config::CPT_Max_RectifyOffset).toDouble();
    MediaEdgeCheck::Outcome o;
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        o = m_edges.check(firstEdge, lastEdge, pageWidth, minWidth, maxOffset);
    }
    if (o.scaleChanged)
        emit checkCameraScaleChanged();
    const char *where = "SpoolsmithApp::doMediaEdge";
    switch (o.event) {
    case MediaEdgeCheck::Event::None:
        return false;
    case MediaEdgeCheck::Event::WidthJump:
        qCritical() << where << "cut page width" << pageWidth << "m_prePaperWidth" << o.previousWidth << "w"
                    << o.width << "save image" << saveCheckImage();
        return false;
    case MediaEdgeCheck::Event::WidthChanged:
        qWarning() << where << "paper width" << o.previousWidth << "->" << o.width
                   << "in consecutive pictures: taken as the new width, centre" << o.centre;
        return false;
    case MediaEdgeCheck::Event::Drift:
        qWarning() << where << "x: " << o.centre << " m_prePaperCenter: " << o.previousCentre << "offset: " << o.offset
                   << "save image" << saveCheckImage();
        return true;
    case MediaEdgeCheck::Event::Offset:
        qInfo() << where << "x: " << o.centre << " m_prePaperCenter: " << o.previousCentre << "offset: " << o.offset;
        return false;
    }
    return false;
}

void LabelInspection::writeLabelReport(const ReadData &page)
{
    const int copies = m_hooks.checkedCopies ? m_hooks.checkedCopies() : 0;
    if (copies == 0) {
        if (m_hooks.setCheckedCopies)
            m_hooks.setCheckedCopies(1);
        return;
    }
    const Switches sw = m_hooks.switches ? m_hooks.switches() : Switches();
    LabelReportInput in;
    in.labels = page.labels;
    in.segmentX = segmentX();
    in.paperTop = checkPaperTop();
    in.scale = checkCameraScale();
    if (m_hooks.rowSegments)
        in.rows = m_hooks.rowSegments();
    if (m_hooks.colSegments)
        in.cols = m_hooks.colSegments();
    in.ocr = sw.ocr;
    in.qr = sw.qr;
    in.barcode = sw.barcode;
    in.time = QDateTime::currentDateTime();
    appendLabelReport(QStringLiteral("label.csv"), labelReportLine(in));
    if (m_hooks.setCheckedCopies)
        m_hooks.setCheckedCopies(copies + 1);
}

QString LabelInspection::saveCheckImage()
{
    Config *config = m_services.config ? m_services.config() : nullptr;
    const bool enabled = config && config->getProperty(Config::CPT_SAVE_Check_Img).toBool();
    const QImage templ = enabled && m_hooks.labelTemplate ? imageOf(m_hooks.labelTemplate()) : QImage();
    return m_saver.save(enabled, QCoreApplication::applicationDirPath(), templ);
}

ReadData LabelInspection::keptResult() const
{
    std::lock_guard<std::mutex> lock(m_stateLock);
    return m_kept;
}

void LabelInspection::checkedImage(QImage &img, const QPolygonF &poly, int index)
{
    if (img.isNull())
        return;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Qt::red, 2));
    p.drawPolygon(QTransform::fromScale(0.05, 0.05).map(poly));
    QFont font;
    font.setBold(true);
    font.setPointSize(5);
    p.setFont(font);
    p.drawText(10, 10, QStringLiteral("%1").arg(index));
}

void LabelInspection::setImageWidth(int width)
{
    storeAndNotify(m_imageWidth, width, [this] { emit imageWidthChanged(); });
}

void LabelInspection::setImageHeight(int height)
{
    storeAndNotify(m_imageHeight, height, [this] { emit imageHeightChanged(); });
}

void LabelInspection::setSegmentX(int x)
{
    storeAndNotify(m_segmentX, x, [this] { emit segmentXChanged(); });
}

void LabelInspection::setCheckPaperTop(int top)
{
    storeAndNotify(m_checkPaperTop, top, [this] { emit checkPaperTopChanged(); });
}

void LabelInspection::setCheckPaperBottom(int bottom)
{
    storeAndNotify(m_checkPaperBottom, bottom, [this] { emit checkPaperBottomChanged(); });
}

void LabelInspection::setPagechecked(bool on)
{
    storeAndNotify(m_pagechecked, on, [this] { emit pagecheckedChanged(); });
}

double LabelInspection::checkCameraScale() const
{
    std::lock_guard<std::mutex> lock(m_stateLock);
    return m_edges.scale();
}

double LabelInspection::lastPaperOffset() const
{
    std::lock_guard<std::mutex> lock(m_stateLock);
    return m_edges.lastOffset();
}

double LabelInspection::collectLen() const
{
    std::lock_guard<std::mutex> lock(m_stateLock);
    return m_collectLen;
}

void LabelInspection::setCollectLen(double length)
{
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        // The settings' float comparison: a length equal to float precision
        // is no change.
        if (qFuzzyCompare(float(m_collectLen), float(length)))
            return;
        qInfo() << "SpoolsmithApp::setCollectLen" << m_collectLen << "->" << length;
        m_collectLen = length;
    }
    emit collectLenChanged();
}

void LabelInspection::resetPaperCenter()
{
    std::lock_guard<std::mutex> lock(m_stateLock);
    m_edges.resetCentre();
}

double LabelInspection::prePaperCenter() const
{
    std::lock_guard<std::mutex> lock(m_stateLock);
    return m_edges.previousCentre();
}
