#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>

// The label inspection of the check-camera pictures: the inspection itself
// (installed once it is built; until then a picture is only acknowledged),
// the check-picture geometry, the collect length it sets, the paper-edge
// reference and the report. Pictures are inspected one at a time, each on
// the capture broker's label-check thread.
class LabelInspection : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    void setInspection(std::function<void(const QImage &)> inspect);
    // Runs the inspection on image under the inspection lock.
    void inspect(const QImage &image);
    // The picture of the last inspection; not built yet.
    QString checkedImage();
    // The inspection report in the spreadsheet program; not built yet.
    void openLabelExcel();

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
    // How much web the collect worker takes before the next check picture.
    double collectLen() const;
    void setCollectLen(double length);
    // Forgets the previous paper centre of the paper-edge check.
    void resetPaperCenter() { m_prePaperCenter.store(0.0); }
    double prePaperCenter() const { return m_prePaperCenter.load(); }

signals:
    void imageWidthChanged();
    void imageHeightChanged();
    void segmentXChanged();
    void checkPaperTopChanged();
    void checkPaperBottomChanged();
    void collectLenChanged();

private:
    std::mutex m_inspectionLock; // one inspection at a time
    std::function<void(const QImage &)> m_inspection;
    std::atomic<int> m_imageWidth{0};
    std::atomic<int> m_imageHeight{0};
    std::atomic<int> m_segmentX{-1};
    std::atomic<int> m_checkPaperTop{-1};
    std::atomic<int> m_checkPaperBottom{-1};
    mutable std::mutex m_collectLock;
    double m_collectLen = 50.0;
    std::atomic<double> m_prePaperCenter{0.0};
};
