#pragma once

#include "app/app_services.h"
#include "app/inspection/check_image_saver.h"
#include "app/inspection/media_edge_check.h"
#include "platform/detector/read_data.h"

#include <opencv2/core.hpp>

#include <QImage>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPolygonF>
#include <QRect>
#include <QSizeF>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class LabelDetector;
struct FrameExpectation;

// The label inspection of the check-camera pictures, in this order:
// rotation, the template check, the detector, the paper check, the collect
// length and page detection, the report line, the kept result for the
// lost-label view. Pictures are inspected one at a time, each on the capture
// broker's label-check thread. A short state lock guards what other threads
// read (the kept result, the collect length, the paper fields), so the
// painter and the collect worker never wait for an inspection.
class LabelInspection : public QObject
{
    Q_OBJECT

public:
    // The detector switches of the job's settings.
    struct Switches
    {
        bool ocr = false;
        bool qr = false;
        bool barcode = false;
        QString modelPath;
    };
    // What the inspection needs of the rest of the application.
    struct Hooks
    {
        std::function<bool()> capturing;               // a capture request waits
        std::function<cv::Mat()> labelTemplate;        // the cut mask, empty without a cut file
        std::function<QSizeF()> cutPageSize;           // mm
        std::function<QList<QPair<double, double>>()> rowSegments;
        std::function<QList<QPair<double, double>>()> colSegments;
        std::function<Switches()> switches;
        std::function<int()> checkedCopies;
        std::function<void(int)> setCheckedCopies;
        std::function<void()> stopTaskWaiting;
    };
    using Detector = std::function<ReadData(const cv::Mat &picture, const cv::Mat &templ, bool ocr, bool qr,
                                            bool barcode, const std::string &modelPath)>;

    explicit LabelInspection(QObject *parent = nullptr);
    ~LabelInspection() override;

    void setServices(AppServices services, Hooks hooks);
    // The lost-label views paint the kept result and repaint on notifier's
    // lostViewUpdate(QRect); undone when this part goes.
    void attachViews(QObject *notifier);
    // Replaces the whole inspection (tests); empty restores it.
    void setInspection(std::function<void(const QImage &)> inspect);
    // Replaces the detector (tests); empty restores our own.
    void setDetector(Detector detector);

    // A check picture from the capture broker: inspected under the
    // inspection lock. While one is inspected, three more may wait; further
    // ones are dropped with a log line. False: dropped or failed, not
    // inspected.
    bool inspect(const QImage &image);
    int droppedPictures() const { return m_dropped.load(); }
    // The inspection proper; its caller holds the inspection lock. Returns
    // true when the paper drifted beyond the limit and the job must stop.
    bool checkLabelCapture(const QImage &img);
    // The paper check of one picture's edges; true: drifted too far.
    bool doMediaEdge(int firstEdge, int lastEdge);
    // Appends the page's line to "label.csv" (the first page only counts).
    void writeLabelReport(const ReadData &page);
    // Saves the last checked picture (and once the template); its path or
    // "disable save check image".
    QString saveCheckImage();

    // The last inspection, copied under the state lock (for painting).
    ReadData keptResult() const;
    QImage lastCheckedPicture() const { return m_saver.picture(); }
    QString templatePicturePath() const { return m_saver.templatePath(); }

    int imageWidth() const { return m_imageWidth.load(); }
    void setImageWidth(int width);
    int imageHeight() const { return m_imageHeight.load(); }
    void setImageHeight(int height);
    int segmentX() const { return m_segmentX.load(); }
    void setSegmentX(int x);
    int checkPaperTop() const { return m_checkPaperTop.load(); }
    void setCheckPaperTop(int top);
    int checkPaperBottom() const { return m_checkPaperBottom.load(); }
    void setCheckPaperBottom(int bottom);
    bool pagechecked() const { return m_pagechecked.load(); }
    // mm per picture pixel, 0 until a wide-enough paper was seen.
    double checkCameraScale() const;
    double lastPaperOffset() const;
    // How much web the collect worker takes before the next check picture.
    double collectLen() const;
    void setCollectLen(double length);
    // Forgets the previous paper centre of the paper-edge check.
    void resetPaperCenter();
    double prePaperCenter() const;

    // Draws poly (scaled by 0.05) and index into img.
    static void checkedImage(QImage &img, const QPolygonF &poly, int index);

signals:
    void imageWidthChanged();
    void imageHeightChanged();
    void segmentXChanged();
    void checkPaperTopChanged();
    void checkPaperBottomChanged();
    void collectLenChanged();
    void checkCameraScaleChanged();
    void pagecheckedChanged();
    void lostViewUpdate(const QRect &rect = QRect());

private:
    void setPagechecked(bool on);
    double nextCollectLength(int s, int pictureHeight);
    // What the pictures before tell the detector of this one.
    FrameExpectation expectation() const;

    AppServices m_services;
    Hooks m_hooks;
    std::mutex m_inspectionLock; // one inspection at a time
    std::atomic<int> m_waiting{0};
    std::atomic<int> m_dropped{0};
    std::mutex m_hookLock;       // the two replaceable parts below
    std::function<void(const QImage &)> m_inspection;
    Detector m_detector;
    std::unique_ptr<LabelDetector> m_ownDetector;

    mutable std::mutex m_stateLock; // short: the fields below only
    ReadData m_kept;
    double m_collectLen = 50.0;
    MediaEdgeCheck m_edges;

    CheckImageSaver m_saver;
    std::atomic<int> m_imageWidth{0};
    std::atomic<int> m_imageHeight{0};
    std::atomic<int> m_segmentX{-1};
    std::atomic<int> m_checkPaperTop{-1};
    std::atomic<int> m_checkPaperBottom{-1};
    std::atomic<bool> m_pagechecked{false};
    bool m_viewsAttached = false;
};
