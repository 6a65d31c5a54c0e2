#pragma once

#include "app/capture/capture_sync.h"
#include "app/marks/mark_scan.h"
#include "machine/discovery/machine_discovery.h"
#include "settings/config.h"
#include "vision/film_slot.h"
#include "vision/mark_record.h"

#include <opencv2/core.hpp>

#include <QApplication>
#include <QHostAddress>
#include <QImage>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QProcess>
#include <QSizeF>
#include <QString>
#include <QTransform>
#include <QVariant>

#include <atomic>
#include <functional>
#include <memory>

class QCamera;
class QQmlApplicationEngine;
class GScene;
class GMarkItem;
class GraphicsView;
class ImageProvider;
class OcrLite;
class TRV610Plus;
class TaskSettings;
class TaskCounters;
class ProductionRecords;
class TaskControl;
class LabelInspection;
class CutDocument;
class PlotData;
class PageCodeSwitch;
class MarkScan;
class OcrEngine;
class CameraFrames;
class CaptureBroker;
class PrintFile;
class Printers;
class PrintBatcher;
class CdrChannel;
class ExternalPrograms;
class SettingChanges;
class OnlineServices;
class LanguageSwitch;
struct AppServices;

// The application object and controller that QML calls as "app".
class SpoolsmithApp : public QApplication
{
    Q_OBJECT
    Q_PROPERTY(QString version READ version WRITE setVersion NOTIFY versionChanged)
    Q_PROPERTY(int taskStatus READ taskStatus WRITE setTaskStatus NOTIFY taskStatusChanged)
    Q_PROPERTY(bool enabledTest READ enabledTest WRITE setEnabledTest NOTIFY enabledTestChanged)
    Q_PROPERTY(QString cutShowFile READ cutShowFile WRITE setCutShowFile NOTIFY cutShowFileChanged)
    Q_PROPERTY(QString cutFile READ cutFile WRITE setCutFile NOTIFY cutFileChanged)
    Q_PROPERTY(QString saveFile READ saveFile WRITE setSaveFile NOTIFY saveFileChanged)
    // How far a large cut file has come (0..100), -1 while none is opening.
    Q_PROPERTY(int cutLoadProgress READ cutLoadProgress NOTIFY cutLoadProgressChanged)
    Q_PROPERTY(QString printImgPath READ printImgPath WRITE setPrintImgPath NOTIFY printImgPathChanged)
    Q_PROPERTY(QString framePath READ framePath WRITE setFramePath NOTIFY framePathChanged)
    Q_PROPERTY(int fps READ fps WRITE setFps NOTIFY fpsChanged)
    // Job state and the print side (TaskCounters, PrintFile, Printers).
    Q_PROPERTY(QString printFile READ printFile WRITE setPrintFile NOTIFY printFileChanged)
    Q_PROPERTY(QString printerName READ printerName WRITE setPrinterName NOTIFY printerNameChanged)
    Q_PROPERTY(QString printCutFile READ printCutFile WRITE setPrintCutFile NOTIFY printCutFileChanged)
    Q_PROPERTY(QString printTip READ printTip WRITE setPrintTip NOTIFY printTipChanged)
    Q_PROPERTY(int cutTaskCopies READ cutTaskCopies WRITE setCutTaskCopies NOTIFY cutTaskCopiesChanged)
    Q_PROPERTY(int cutCopies READ cutCopies WRITE setCutCopies NOTIFY cutCopiesChanged)
    Q_PROPERTY(int printTaskCopies READ printTaskCopies WRITE setPrintTaskCopies NOTIFY printTaskCopiesChanged)
    Q_PROPERTY(int printCopies READ printCopies WRITE setPrintCopies NOTIFY printCopiesChanged)
    Q_PROPERTY(int imageWidth READ imageWidth WRITE setImageWidth NOTIFY imageWidthChanged)
    Q_PROPERTY(int imageHeight READ imageHeight WRITE setImageHeight NOTIFY imageHeightChanged)
    Q_PROPERTY(int segmentX READ segmentX WRITE setSegmentX NOTIFY segmentXChanged)
    Q_PROPERTY(int checkPaperTop READ checkPaperTop WRITE setCheckPaperTop NOTIFY checkPaperTopChanged)
    Q_PROPERTY(int checkPaperBottom READ checkPaperBottom WRITE setCheckPaperBottom NOTIFY checkPaperBottomChanged)
    Q_PROPERTY(bool enabledDataSource READ enabledDataSource WRITE setEnabledDataSource NOTIFY enabledDataSourceChanged)
    Q_PROPERTY(QString dataSource READ dataSource WRITE setDataSource NOTIFY dataSourceChanged)
    Q_PROPERTY(int dataIndex READ dataIndex WRITE setDataIndex NOTIFY dataIndexChanged)
    // How far the data source is read: -1 when no read runs, else 0..100.
    Q_PROPERTY(int dataSourceProgress READ dataSourceProgress NOTIFY dataSourceProgressChanged)

public:
    SpoolsmithApp(int &argc, char **argv);
    ~SpoolsmithApp() override;

    // The process-wide application object, set by the program entry.
    static SpoolsmithApp *instance();
    static void setInstance(SpoolsmithApp *app);

    // Once Config and the driver exist: connections, log levels, task settings.
    bool initApp();
    // Keeps the engine; the camera hand-shake wires itself to its QML camera.
    void connectCamera(QQmlApplicationEngine *engine);
    // After the event loop: ends what the application runs.
    bool shutdown();

    Q_INVOKABLE void exitApp(int code = 0);
    Q_INVOKABLE int exitCode() const;
    Q_INVOKABLE bool allowedExit();
    Q_INVOKABLE QString appPath() const;
    Q_INVOKABLE QString currentDateTimeString() const;

    // A file or folder dialog's URL as a local path (dialog_path.cpp).
    Q_INVOKABLE QString toLocalPath(const QVariant &url) const;

    bool loadTaskSettings();

    QString version() const;
    void setVersion(const QString &version);
    int taskStatus() const;
    void setTaskStatus(int status);
    bool enabledTest() const;
    void setEnabledTest(bool on);

    // Cut file, cut scene and plot data (CutDocument, PlotData,
    // PageCodeSwitch).
    QString cutShowFile() const;
    void setCutShowFile(const QString &path);
    QString cutFile() const;
    int cutLoadProgress() const;
    void setCutFile(const QString &path);
    QString saveFile() const;
    void setSaveFile(const QString &path);
    void openTvaCutFile(const QString &path);
    // Rebuilds the driver's plot data through t; also returns it.
    QByteArray generatePltData(const QTransform &t);
    bool loadTemplate();
    // Returns once "bk.png" holds the last template (written off the GUI thread).
    void waitTemplateFile();
    QImage renderCutMask() const;
    Q_INVOKABLE QList<QPointF> currentPageMarkPoint(bool scan);
    Q_INVOKABLE int pageMarkType();
    Q_INVOKABLE QVariant getCutGraphicsView();
    GScene *cutScene() const;
    GraphicsView *cutView() const;
    QSizeF cutPageSize() const;
    cv::Mat inspectionTemplate() const;
    QString sceneFile() const;
    // Whether the cut scene holds any item; from any thread.
    bool cutSceneHasItems();
    // Page-code switch of the cut file, around the first mark scan.
    void setSwitchCutFile(bool on);
    bool switchCutFile() const;
    QString cutWorkCutFile() const;

    // Task settings, read by the job threads.
    bool taskEnablePrint() const;

    // Mark scan and film slots (MarkScan).
    Q_INVOKABLE void scanMark(const QImage &img);
    void scanQR(const QImage &img, FilmSlot &slot);
    void scanOCR(const QImage &img, FilmSlot &slot);
    Q_INVOKABLE void clearFilm(int index = 0);
    Q_INVOKABLE void markedImage(QImage &img, int x, int y, int l, double scale);
    int findMarks(int d, const QImage &img, MarkRecord *records, int n);
    QList<FilmSlot> filmSlots() const;
    QPointF lastMarkPosition() const;
    float lastMarkDiameter() const;
    void resetLastMark();
    int markIndex() const;
    void setMarkIndex(int index);
    // While on, the next scans read the page code until one is accepted; the
    // cut-file switch turns it on and off around the page search.
    void setPageCodeSearch(bool on);
    bool pageCodeSearch() const;
    quint32 scannedPageCode() const;
    // The cut page's mark type (-1 no mark item); installed by the cut scene.
    void setCutMarkTypeReader(std::function<int()> reader);
    // Text blocks of the OCR engine for page codes printed as text;
    // installed by the OCR engine, none until then.
    using OcrTextBlock = ::OcrTextBlock;
    void setOcrReader(std::function<QList<OcrTextBlock>(const QImage &bgr, double detectorScale)> reader);
    // Production records (ProductionRecords): the run's work record (what
    // is printed), the work record of the page being cut, and the task record
    // of the printed batch whose page code was read last.
    void beginWorkRecord();
    void setWorkRecordCutFile(const QString &file);
    void setWorkRecordPrintFile(const QString &file);
    void setWorkRecordDataSource(const QString &file);
    // The counting half of a finished cut copy: the run's cut count, the
    // day's and total copies and cut length, and the batch's records.
    void recordCutCopy(double pageHeightMm);
    void updateTaskWorkRecords();
    // Records one printed page that the printer prints copies times; returns
    // its page code, 0 when no code is used or none could be had.
    int updatePrintRecord(uint copies, int dataIndex = -1);
    // The code read from a printed page (0: none); looking it up loads the
    // batch's task record and the work record of the job that printed it.
    void setPageCode(quint32 code);
    quint32 pageCode() const;
    bool lookUpPageCode(quint32 code);
    WorkRecord printWorkRecord() const;
    WorkRecord cutWorkRecord() const;
    TaskRecord taskRecord() const;

    // --- Capture hand-shake (CaptureBroker) ---
    // Asks camera 1 (mark) or 2 (check) for one picture and blocks until it
    // has been evaluated or the capture wait passed; never on the GUI thread
    // with the QML camera (the picture could only come after the wait).
    Q_INVOKABLE bool doCapture(const QVariant &camera);
    bool capturing() const;
    CaptureSync &captureRecord(int camera);
    // Wires a camera object with the signals capture(QVariant),
    // capturedMarkImage(int, QVariant), capturedLabelImage(int, QVariant).
    bool connectCameraObject(QObject *camera);
    // Label-check threads still to be joined; shut-down joins them.
    int labelCheckThreadCount() const;
    void joinLabelChecks();
    // Replaces the label inspection run on each check-camera picture
    // (tests); empty restores it.
    void setLabelInspection(std::function<void(const QImage &)> inspect);
    // --- Label inspection (LabelInspection) ---
    // One check picture, on a label-check thread under the inspection lock.
    void checkLabelCapture(const QImage &img);
    // The paper check of one picture's edges; true: drifted beyond the limit.
    bool doMediaEdge(int firstEdge, int lastEdge);
    void writeLabelReport();
    QString saveCheckImage();
    // Draws poly (scaled by 0.05) and index into img.
    Q_INVOKABLE void checkedImage(QImage &img, const QPolygonF &poly, int index);
    double checkCameraScale() const;
    bool pagechecked() const;
    // Makes this object what the driver and its job steps call
    // (task_app_bridge.cpp).
    void installTaskBridge();
    // The web fed by the page search counts as cut length.
    void addCutLength(double mm);

public slots:
    void capturedMarkImage(int id, const QVariant &img);
    void capturedLabelImage(int id, const QVariant &img);

public slots:
    void onPropertyChanged(Config::ConfigParamType key, const QVariant &value);
    void onOpenScene(const QString &path);
    void checkCameraChanged();

public:
    // Cameras, frames and OCR (CameraFrames, OcrEngine).
    // The provider is handed once to the QML engine, which then owns it.
    ImageProvider *takeImageProvider();
    QCamera *checkCamera() const;
    OcrLite &ocr();
    // Start-up, in this order: the check camera (the first industrial one
    // when none is set), the OCR models, then, when the check camera is an
    // industrial camera that was found, open it and run the frame loop.
    // At start-up the models load in the background (background true) after
    // the window's first frame; initOcr(false) loads them before it returns.
    void chooseCheckCamera();
    bool initOcr(bool background = false);
    bool startCameraFrames();
    void stopCameraFrames();
    bool frameLoopRunning() const;
    quint64 frameLoopCycles() const;
    QImage currentFrame() const;
    // The print preview gets a new address each time it is stored.
    void setPrintPreview(const QImage &image);
    QImage imageForUrl(const QString &url) const;
    QString printImgPath() const;
    void setPrintImgPath(const QString &path);
    QString framePath() const;
    void setFramePath(const QString &path);
    int fps() const;
    void setFps(int fps);
    Q_INVOKABLE bool saveFrame(const QString &fileName);
    Q_INVOKABLE bool startRecorder(const QString &fileName);
    Q_INVOKABLE void stopRecorder();

    // --- Paper-centre reference (LabelInspection) ---
    // Forgets the previous paper centre of the paper-edge check.
    void resetPaperCenter();
    double prePaperCenter() const;
    // --- Task control (TaskControl, TaskSettings, TaskCounters) ---
    Q_INVOKABLE void startTask(bool recount = false, bool bExecOnce = false);
    Q_INVOKABLE bool isAllowedStart();
    Q_INVOKABLE void reCount();
    Q_INVOKABLE bool finishedOneCopies();
    // Variable data prints no more and every page the job printed is cut.
    bool printingOver();
    // The driver starts a job that cuts or only prints (its kind to its end).
    void jobStarting(bool cuts);
    bool runOnce() const;
    // A trial copy's cut is complete (the job's thread).
    void trialCopyCut();
    bool controlBusy() const;
    // Pause, resume and stop threads still to be joined.
    int controlThreadCount() const;
    // Ends and joins the pause, resume and stop threads; shut-down calls it.
    void joinControlThreads();
    double cutLength() const;
    double printedLength() const;
    void addPrintedLength(double mm);
    double printRollerAtStart() const;
    double filmRollerAtStart() const;

    // --- Job properties (TaskCounters, LabelInspection, PrintFile) ---
    int cutTaskCopies() const;
    void setCutTaskCopies(int copies);
    int cutCopies() const;
    void setCutCopies(int copies);
    int printTaskCopies() const;
    void setPrintTaskCopies(int copies);
    int printCopies() const;
    void setPrintCopies(int copies);
    int checkedCopies() const;
    void setCheckedCopies(int copies);
    int imageWidth() const;
    void setImageWidth(int width);
    int imageHeight() const;
    void setImageHeight(int height);
    int segmentX() const;
    void setSegmentX(int x);
    int checkPaperTop() const;
    void setCheckPaperTop(int top);
    int checkPaperBottom() const;
    void setCheckPaperBottom(int bottom);
    double collectLen() const;
    void setCollectLen(double length);
    QString printTip() const;
    void setPrintTip(const QString &tip);
    QString printCutFile() const;
    void setPrintCutFile(const QString &path);
    GScene *printScene() const;
    QSizeF printPageSize() const;
    // Set when a print file is opened.
    void setPrintPageSize(const QSizeF &mm);
    QImage printPreview() const;
    Q_INVOKABLE bool setLanguage(int language);

    // --- Print side, printers, external programs and online services
    // (PrintFile, Printers, PrintBatcher, ExternalPrograms, OnlineServices) ---
    QString printFile() const;
    void setPrintFile(const QString &path);
    QString printerName() const;
    void setPrinterName(const QString &name);
    bool enabledDataSource() const;
    void setEnabledDataSource(bool on);
    QString dataSource() const;
    void setDataSource(const QString &path);
    int dataSourceProgress() const;
    int dataIndex() const;
    void setDataIndex(int index);
    Q_INVOKABLE void openPrintPdf(const QString &path);
    Q_INVOKABLE void chooseDataSource(const QString &path);
    Q_INVOKABLE QStringList printersName();
    Q_INVOKABLE void printerPreference(const QString &printerName);
    Q_INVOKABLE bool printPdfFile(const QString &file, const QString &printerName);
    Q_INVOKABLE void print();
    // Prints pages of file by the path the settings and printer choose;
    // true when the pages went out.
    bool printPdf(const QString &file, QString printerName, int pages);
    // Where the page code goes beside the mark, in page millimetres.
    static QRectF pageCodeRect(GMarkItem *mark, uint markerType);
    // Opens the print component's objects not open yet (CdrChannel).
    bool createCDRHandle();
    Q_INVOKABLE void firewall();
    Q_INVOKABLE void openLabelExcel();
    // The external programs' processes of machine version 2 (ExternalPrograms).
    bool openProcess(QProcess *process);
    bool closeWndByPid(QProcess *process);
    bool closeProcess(QProcess *process);
    // The online services 1000 ms after initApp; an empty server address
    // skips them.
    void startOnlineServices();

public slots:
    void stopTask(bool bWait = false);
    void pauseTask(bool bWait = false);
    void resumeTask(bool bWait = false);
    void upgrade();
    void checkUpdate();
    void slotprinterPreference();
    void slotFinished(int exitCode, QProcess::ExitStatus exitStatus);

signals:
    // To the camera object: take a picture for the request token (its camera
    // is token % 10).
    void capture(const QVariant &camera);
    void printCutFileChanged();
    void printFileChanged();
    void printerNameChanged();
    void cutTaskCopiesChanged();
    void cutCopiesChanged();
    void printTaskCopiesChanged();
    void printCopiesChanged();
    void checkedCopiesChanged();
    void collectLenChanged();
    void imageWidthChanged();
    void imageHeightChanged();
    void segmentXChanged();
    void checkCameraScaleChanged();
    void checkPaperTopChanged();
    void checkPaperBottomChanged();
    void pagecheckedChanged();
    void dataSourceChanged();
    void dataIndexChanged();
    void dataSourceProgressChanged();
    void enabledDataSourceChanged();
    void printTipChanged();
    void lostViewUpdate(const QRect &rect = QRect());

public:
    // --- Machine discovery (MachineDiscovery, beside the driver) ---
    static constexpr quint16 kDiscoveryPort = MachineDiscovery::kPort;
    // The idents of the machines heard in the last 11 s, ascending.
    Q_INVOKABLE QStringList onlineDevices() const;
    QList<DiscoveredDevice> discoveredDevices() const;
    // "DeviceModel/<code>" of dev.ini in the program folder, or empty.
    QString deviceModelName(unsigned int code) const;
    // Base-36 value of a four-character type code ("07x3" is 10263).
    static unsigned int typeCodeValue(const QString &type);
    // Listens on another address or port (tests listen on loopback only).
    bool bindDiscovery(const QHostAddress &address, quint16 port);
    quint16 discoveryPort() const;

signals:
    void versionChanged();
    void taskStatusChanged();
    void enabledTestChanged();
    void filmViewUpdate(const QRect &rect = QRect());
    // A valid page code was read while the page-code search was on.
    void pageCodeScanned(quint32 code);
    void cutShowFileChanged();
    void cutFileChanged();
    void cutLoadProgressChanged();
    void saveFileChanged();
    void openScene(const QString &cutFile);
    void printImgPathChanged();
    void framePathChanged();
    void fpsChanged();

private:
    void initInspectionPart(const AppServices &services);
    void initTaskParts(const AppServices &services);
    void initCutParts(const AppServices &services);
    void initCameraParts(const AppServices &services);
    void initPrintParts(const AppServices &services);
    // Printing is on but nothing could be printed: no preview, and not the
    // print component's channel.
    bool printFileMissing() const;

    QString m_version = QStringLiteral("2.1.5");
    std::atomic<int> m_taskStatus{2};
    std::atomic<int> m_exitCode{0};
    bool m_enabledTest = false;
    QQmlApplicationEngine *m_engine = nullptr;

    // The parts this face forwards to; each holds its own state and locks.
    // Destroyed bottom-up: the parts that own threads go first and join
    // them while the parts their threads use still exist.
    std::unique_ptr<LanguageSwitch> m_language;
    std::unique_ptr<TaskSettings> m_taskSettings;
    std::unique_ptr<TaskCounters> m_counters;
    std::unique_ptr<ProductionRecords> m_records;
    std::unique_ptr<LabelInspection> m_inspection;
    std::unique_ptr<CutDocument> m_cut;
    std::unique_ptr<PlotData> m_plotData;
    std::unique_ptr<MarkScan> m_markScan;
    std::unique_ptr<PageCodeSwitch> m_pageCodeSwitch;
    std::unique_ptr<OcrEngine> m_ocr;
    std::unique_ptr<PrintFile> m_printFile;
    std::unique_ptr<Printers> m_printers;
    std::unique_ptr<CdrChannel> m_cdrChannel;
    std::unique_ptr<PrintBatcher> m_printBatcher; // its test prints use the channel
    std::unique_ptr<ExternalPrograms> m_external;
    std::unique_ptr<SettingChanges> m_settingChanges;
    std::unique_ptr<OnlineServices> m_online;
    std::unique_ptr<CameraFrames> m_frames;       // the frame thread
    std::unique_ptr<CaptureBroker> m_capture;     // the label-check threads
    std::unique_ptr<TaskControl> m_taskControl;   // the control threads
    MachineDiscovery *m_discovery = nullptr;      // a child of this object

private slots:
    void slotUdpRecv();
    void slotUdpTimer();
};
