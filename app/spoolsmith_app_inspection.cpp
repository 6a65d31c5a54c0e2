// The face's label inspection, its picture geometry and the collect length.
#include "app/spoolsmith_app.h"

#include "app/inspection/label_inspection.h"

void SpoolsmithApp::setLabelInspection(std::function<void(const QImage &)> inspect)
{
    m_inspection->setInspection(std::move(inspect));
}

QString SpoolsmithApp::checkedImage() { return m_inspection->checkedImage(); }
void SpoolsmithApp::openLabelExcel() { m_inspection->openLabelExcel(); }
int SpoolsmithApp::imageWidth() const { return m_inspection->imageWidth(); }
void SpoolsmithApp::setImageWidth(int width) { m_inspection->setImageWidth(width); }
int SpoolsmithApp::imageHeight() const { return m_inspection->imageHeight(); }
void SpoolsmithApp::setImageHeight(int height) { m_inspection->setImageHeight(height); }
int SpoolsmithApp::segmentX() const { return m_inspection->segmentX(); }
void SpoolsmithApp::setSegmentX(int x) { m_inspection->setSegmentX(x); }
int SpoolsmithApp::checkPaperTop() const { return m_inspection->checkPaperTop(); }
void SpoolsmithApp::setCheckPaperTop(int top) { m_inspection->setCheckPaperTop(top); }
int SpoolsmithApp::checkPaperBottom() const { return m_inspection->checkPaperBottom(); }
void SpoolsmithApp::setCheckPaperBottom(int bottom) { m_inspection->setCheckPaperBottom(bottom); }
double SpoolsmithApp::collectLen() const { return m_inspection->collectLen(); }
void SpoolsmithApp::setCollectLen(double length) { m_inspection->setCollectLen(length); }
void SpoolsmithApp::resetPaperCenter() { m_inspection->resetPaperCenter(); }
double SpoolsmithApp::prePaperCenter() const { return m_inspection->prePaperCenter(); }

void SpoolsmithApp::initInspectionPart()
{
    m_inspection = std::make_unique<LabelInspection>();
    const auto direct = Qt::DirectConnection;
    LabelInspection *part = m_inspection.get();
    connect(part, &LabelInspection::imageWidthChanged, this, &SpoolsmithApp::imageWidthChanged, direct);
    connect(part, &LabelInspection::imageHeightChanged, this, &SpoolsmithApp::imageHeightChanged, direct);
    connect(part, &LabelInspection::segmentXChanged, this, &SpoolsmithApp::segmentXChanged, direct);
    connect(part, &LabelInspection::checkPaperTopChanged, this, &SpoolsmithApp::checkPaperTopChanged, direct);
    connect(part, &LabelInspection::checkPaperBottomChanged, this, &SpoolsmithApp::checkPaperBottomChanged, direct);
    connect(part, &LabelInspection::collectLenChanged, this, &SpoolsmithApp::collectLenChanged, direct);
}
