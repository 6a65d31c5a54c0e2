#include "app/inspection/label_inspection.h"

#include "app/not_built.h"
#include "core/property_store.h"

#include <QDebug>
#include <QtMath>

using spoolsmith::storeAndNotify;

void LabelInspection::setInspection(std::function<void(const QImage &)> inspect)
{
    std::lock_guard<std::mutex> lock(m_inspectionLock);
    m_inspection = std::move(inspect);
}

void LabelInspection::inspect(const QImage &image)
{
    std::lock_guard<std::mutex> lock(m_inspectionLock);
    if (m_inspection)
        m_inspection(image);
    else
        qInfo() << "SpoolsmithApp::labelCheckThread" << "label inspection not built yet, picture skipped";
}

QString LabelInspection::checkedImage()
{
    notBuilt("SpoolsmithApp::checkedImage", "the label inspection is not built");
    return QString();
}

void LabelInspection::openLabelExcel()
{
    notBuilt("SpoolsmithApp::openLabelExcel", "the inspection report is not built");
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

double LabelInspection::collectLen() const
{
    std::lock_guard<std::mutex> lock(m_collectLock);
    return m_collectLen;
}

void LabelInspection::setCollectLen(double length)
{
    {
        std::lock_guard<std::mutex> lock(m_collectLock);
        // The settings' float comparison: a length equal to float precision
        // is no change.
        if (qFuzzyCompare(float(m_collectLen), float(length)))
            return;
        qInfo() << "SpoolsmithApp::setCollectLen" << m_collectLen << "->" << length;
        m_collectLen = length;
    }
    emit collectLenChanged();
}
