// The face's label inspection, its picture geometry and the collect length.
#include "app/spoolsmith_app.h"

#include "app/cut/cut_document.h"
#include "app/inspection/label_inspection.h"
#include "app/inspection/report_opener.h"
#include "machine/trv610plus.h"
#include "app/task/task_counters.h"
#include "app/task/task_settings.h"

void SpoolsmithApp::setLabelInspection(std::function<void(const QImage &)> inspect)
{
    m_inspection->setInspection(std::move(inspect));
}

void SpoolsmithApp::checkLabelCapture(const QImage &img) { m_inspection->inspect(img); }
bool SpoolsmithApp::doMediaEdge(int firstEdge, int lastEdge) { return m_inspection->doMediaEdge(firstEdge, lastEdge); }
void SpoolsmithApp::writeLabelReport() { m_inspection->writeLabelReport(m_inspection->keptResult()); }
QString SpoolsmithApp::saveCheckImage() { return m_inspection->saveCheckImage(); }
void SpoolsmithApp::checkedImage(QImage &img, const QPolygonF &poly, int index)
{
    LabelInspection::checkedImage(img, poly, index);
}
double SpoolsmithApp::checkCameraScale() const { return m_inspection->checkCameraScale(); }
bool SpoolsmithApp::pagechecked() const { return m_inspection->pagechecked(); }
void SpoolsmithApp::openLabelExcel()
{
    openLabelReport(appPath(), [](const QString &text) {
        if (TRV610Plus *device = TRV610Plus::instance())
            device->setErrorMessage(text);
    });
}
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

void SpoolsmithApp::initInspectionPart(const AppServices &services)
{
    m_inspection = std::make_unique<LabelInspection>();
    LabelInspection::Hooks hooks;
    hooks.capturing = [this] { return capturing(); };
    hooks.labelTemplate = [this] { return m_cut->inspectionTemplate(); };
    hooks.cutPageSize = [this] { return m_cut->pageSize(); };
    hooks.rowSegments = [this] { return m_cut->rowSegments(); };
    hooks.colSegments = [this] { return m_cut->colSegments(); };
    hooks.switches = [this] {
        LabelInspection::Switches s;
        s.ocr = m_taskSettings->enableOCR();
        s.qr = m_taskSettings->enableQRCode();
        s.barcode = m_taskSettings->enableBARCode();
        s.modelPath = m_taskSettings->modelPath();
        return s;
    };
    hooks.checkedCopies = [this] { return checkedCopies(); };
    hooks.setCheckedCopies = [this](int copies) { setCheckedCopies(copies); };
    hooks.stopTaskWaiting = [this] { stopTask(true); };
    m_inspection->setServices(services, std::move(hooks));

    const auto direct = Qt::DirectConnection;
    LabelInspection *part = m_inspection.get();
    connect(part, &LabelInspection::imageWidthChanged, this, &SpoolsmithApp::imageWidthChanged, direct);
    connect(part, &LabelInspection::imageHeightChanged, this, &SpoolsmithApp::imageHeightChanged, direct);
    connect(part, &LabelInspection::segmentXChanged, this, &SpoolsmithApp::segmentXChanged, direct);
    connect(part, &LabelInspection::checkPaperTopChanged, this, &SpoolsmithApp::checkPaperTopChanged, direct);
    connect(part, &LabelInspection::checkPaperBottomChanged, this, &SpoolsmithApp::checkPaperBottomChanged, direct);
    connect(part, &LabelInspection::collectLenChanged, this, &SpoolsmithApp::collectLenChanged, direct);
    connect(part, &LabelInspection::checkCameraScaleChanged, this, &SpoolsmithApp::checkCameraScaleChanged, direct);
    connect(part, &LabelInspection::pagecheckedChanged, this, &SpoolsmithApp::pagecheckedChanged, direct);
    connect(part, &LabelInspection::lostViewUpdate, this, &SpoolsmithApp::lostViewUpdate, direct);
    part->attachViews(this);
}
