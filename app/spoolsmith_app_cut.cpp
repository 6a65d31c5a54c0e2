// The face's cut document, plot data, page-code switch and mark scan.
#include "app/spoolsmith_app.h"

#include "app/capture/capture_broker.h"
#include "app/cut/cut_document.h"
#include "app/cut/page_code_switch.h"
#include "app/cut/plot_data.h"
#include "app/marks/mark_scan.h"
#include "app/records/production_records.h"
#include "app/marks/ocr_engine.h"
#include "app/records/production_records.h"
#include "vision/mark_finder.h"
#include "vision/page_code_ocr.h"

#include <QTimer>

#include <chrono>

QString SpoolsmithApp::cutShowFile() const { return m_cut->cutShowFile(); }
void SpoolsmithApp::setCutShowFile(const QString &path) { m_cut->setCutShowFile(path); }
QString SpoolsmithApp::cutFile() const { return m_cut->cutFile(); }
int SpoolsmithApp::cutLoadProgress() const { return m_cut->loadPercent(); }
void SpoolsmithApp::setCutFile(const QString &path) { m_cut->setCutFile(path); }
QString SpoolsmithApp::saveFile() const { return m_cut->saveFile(); }
void SpoolsmithApp::setSaveFile(const QString &path) { m_cut->setSaveFile(path); }
void SpoolsmithApp::openTvaCutFile(const QString &path) { m_cut->openTvaCutFile(path); }
void SpoolsmithApp::onOpenScene(const QString &path) { m_cut->openCheckedInScene(path); }
QByteArray SpoolsmithApp::generatePltData(const QTransform &t) { return m_plotData->generate(t); }
bool SpoolsmithApp::loadTemplate() { return m_cut->loadTemplate(); }
void SpoolsmithApp::waitTemplateFile() { m_cut->waitTemplateFile(); }
QImage SpoolsmithApp::renderCutMask() const { return m_cut->renderCutMask(); }
QList<QPointF> SpoolsmithApp::currentPageMarkPoint(bool scan) { return m_cut->currentPageMarkPoint(scan); }
int SpoolsmithApp::pageMarkType() { return m_cut->pageMarkType(); }
QVariant SpoolsmithApp::getCutGraphicsView() { return m_cut->graphicsView(); }
GScene *SpoolsmithApp::cutScene() const { return m_cut->scene(); }
GraphicsView *SpoolsmithApp::cutView() const { return m_cut->view(); }
QSizeF SpoolsmithApp::cutPageSize() const { return m_cut->pageSize(); }
cv::Mat SpoolsmithApp::inspectionTemplate() const { return m_cut->inspectionTemplate(); }
QString SpoolsmithApp::sceneFile() const { return m_cut->sceneFile(); }
void SpoolsmithApp::setSwitchCutFile(bool on) { m_pageCodeSwitch->setSwitchCutFile(on); }
bool SpoolsmithApp::switchCutFile() const { return m_pageCodeSwitch->switchCutFile(); }
QString SpoolsmithApp::cutWorkCutFile() const { return m_pageCodeSwitch->cutWorkCutFile(); }

void SpoolsmithApp::scanMark(const QImage &img) { m_markScan->scanMark(img); }
void SpoolsmithApp::scanQR(const QImage &img, FilmSlot &slot) { m_markScan->scanQR(img, slot); }
void SpoolsmithApp::scanOCR(const QImage &img, FilmSlot &slot) { m_markScan->scanOCR(img, slot); }
void SpoolsmithApp::clearFilm(int index) { m_markScan->clearFilm(index); }
void SpoolsmithApp::markedImage(QImage &img, int x, int y, int l, double scale)
{
    MarkScan::markedImage(img, x, y, l, scale);
}
int SpoolsmithApp::findMarks(int d, const QImage &img, MarkRecord *records, int n)
{
    return ::findMarks(d, img, records, n);
}
QList<FilmSlot> SpoolsmithApp::filmSlots() const { return m_markScan->filmSlots(); }
QPointF SpoolsmithApp::lastMarkPosition() const { return m_markScan->lastMarkPosition(); }
float SpoolsmithApp::lastMarkDiameter() const { return m_markScan->lastMarkDiameter(); }
void SpoolsmithApp::resetLastMark() { m_markScan->resetLastMark(); }
int SpoolsmithApp::markIndex() const { return m_markScan->markIndex(); }
void SpoolsmithApp::setMarkIndex(int index) { m_markScan->setMarkIndex(index); }
void SpoolsmithApp::setPageCodeSearch(bool on) { m_markScan->setPageCodeSearch(on); }
bool SpoolsmithApp::pageCodeSearch() const { return m_markScan->pageCodeSearch(); }
quint32 SpoolsmithApp::scannedPageCode() const { return m_markScan->scannedPageCode(); }
void SpoolsmithApp::setCutMarkTypeReader(std::function<int()> reader)
{
    m_markScan->setCutMarkTypeReader(std::move(reader));
}
void SpoolsmithApp::setOcrReader(std::function<QList<OcrTextBlock>(const QImage &, double)> reader)
{
    m_markScan->setOcrReader(std::move(reader));
}
OcrLite &SpoolsmithApp::ocr() { return m_ocr->lite(); }
bool SpoolsmithApp::initOcr(bool background)
{
    // The mark scan reads page codes through the engine; a read that comes
    // before the models are loaded waits for them, bounded.
    setOcrReader([this](const QImage &bgr, double detectorScale) {
        return m_ocr->read(bgr, std::chrono::milliseconds(MarkScan::kOcrReadyWaitMs), detectorScale);
    });
    if (!background)
        return m_ocr->init();
    // After the event loop has started the window exists to wait for.
    QTimer::singleShot(0, this, [this] { m_ocr->startAfterFirstFrame(this, 2000); });
    return true;
}

// Needs the records (the page code) and the task status: built after the
// task parts.
void SpoolsmithApp::initCutParts(const AppServices &services)
{
    CutDocument::Hooks cutHooks;
    cutHooks.taskStatus = [this] { return taskStatus(); };
    cutHooks.rebuildPlotData = [this] { generatePltData(QTransform()); };
    cutHooks.offerPrintFile = [this](const QString &path) {
        if (m_printFile && printFile().isEmpty())
            setPrintFile(path);
    };
    // The capture part is built later; it is looked up when a template loads.
    cutHooks.requestCheckPicture = [this] {
        if (m_capture)
            m_capture->requestCheckPicture();
    };
    m_cut = std::make_unique<CutDocument>(services, cutHooks);
    m_plotData = std::make_unique<PlotData>(services, *m_cut);

    MarkScan::Hooks scanHooks;
    scanHooks.taskStatus = [this] { return taskStatus(); };
    scanHooks.setPageCode = [this](quint32 code) { setPageCode(code); };
    m_markScan = std::make_unique<MarkScan>(services, scanHooks);
    m_records->setPendingCounts([this] { return m_markScan->takeScanCounts(); });
    // Pair marks are scanned by the cut page's mark type.
    setCutMarkTypeReader([this] { return pageMarkType(); });
    m_ocr = std::make_unique<OcrEngine>();

    PageCodeSwitch::Hooks switchHooks;
    switchHooks.setPageCodeSearch = [this](bool on) { setPageCodeSearch(on); };
    switchHooks.stopTask = [this] { stopTask(false); };
    m_pageCodeSwitch = std::make_unique<PageCodeSwitch>(services, *m_cut, *m_records, switchHooks);
    // Only the operator's openings change the cut file; a page-code switch
    // opens into the scene alone.
    connect(m_cut.get(), &CutDocument::cutFileChanged, this, [this] { m_pageCodeSwitch->forgetPageCutFile(); },
            Qt::DirectConnection);

    const auto direct = Qt::DirectConnection;
    connect(m_cut.get(), &CutDocument::cutShowFileChanged, this, &SpoolsmithApp::cutShowFileChanged, direct);
    connect(m_cut.get(), &CutDocument::cutFileChanged, this, &SpoolsmithApp::cutFileChanged, direct);
    connect(m_cut.get(), &CutDocument::loadPercentChanged, this, &SpoolsmithApp::cutLoadProgressChanged, direct);
    connect(m_cut.get(), &CutDocument::saveFileChanged, this, &SpoolsmithApp::saveFileChanged, direct);
    connect(m_cut.get(), &CutDocument::openScene, this, &SpoolsmithApp::openScene, direct);
    // Reported from any thread; the document acts on the GUI thread.
    connect(this, &SpoolsmithApp::taskStatusChanged, m_cut.get(), &CutDocument::taskStatusChanged,
            Qt::QueuedConnection);
    connect(m_markScan.get(), &MarkScan::filmViewUpdate, this, &SpoolsmithApp::filmViewUpdate, direct);
    connect(m_markScan.get(), &MarkScan::pageCodeScanned, this, &SpoolsmithApp::pageCodeScanned, direct);
}
bool SpoolsmithApp::cutSceneHasItems() { return m_cut->hasItems(); }
