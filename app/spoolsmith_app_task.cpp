// The face's task control, copy counts and production records: each call
// goes to the part that holds it.
#include "app/spoolsmith_app.h"

#include "app/cut/cut_document.h"
#include "app/cut/page_code_switch.h"
#include "app/print/print_batcher.h"
#include "app/print/print_file.h"
#include "app/records/production_records.h"
#include "app/task/task_control.h"
#include "app/task/task_counters.h"
#include "app/task/task_settings.h"

bool SpoolsmithApp::loadTaskSettings() { return m_taskSettings->load(); }
bool SpoolsmithApp::taskEnablePrint() const { return m_taskSettings->enablePrint(); }
bool SpoolsmithApp::runOnce() const { return m_taskSettings->runOnce(); }
void SpoolsmithApp::trialCopyCut() { m_taskControl->trialCopyCut(); }

void SpoolsmithApp::startTask(bool recount, bool bExecOnce) { m_taskControl->startTask(recount, bExecOnce); }
bool SpoolsmithApp::isAllowedStart() { return m_taskControl->startChecks(); }
void SpoolsmithApp::reCount() { m_counters->reset(); }
bool SpoolsmithApp::finishedOneCopies() { return m_taskControl->finishedOneCopies(); }
bool SpoolsmithApp::printingOver() { return m_taskControl->printingOver(); }
void SpoolsmithApp::jobStarting(bool cuts) { m_taskControl->setJobCuts(cuts); }
void SpoolsmithApp::pauseTask(bool bWait) { m_taskControl->control(TaskControl::Kind::Pause, bWait); }
void SpoolsmithApp::resumeTask(bool bWait) { m_taskControl->control(TaskControl::Kind::Resume, bWait); }
void SpoolsmithApp::stopTask(bool bWait) { m_taskControl->control(TaskControl::Kind::Stop, bWait); }
bool SpoolsmithApp::controlBusy() const { return m_taskControl->busy(); }
int SpoolsmithApp::controlThreadCount() const { return m_taskControl->controlThreadCount(); }
void SpoolsmithApp::joinControlThreads() { m_taskControl->joinControlThreads(); }

int SpoolsmithApp::cutTaskCopies() const { return m_counters->cutTaskCopies(); }
void SpoolsmithApp::setCutTaskCopies(int copies) { m_counters->setCutTaskCopies(copies); }
int SpoolsmithApp::cutCopies() const { return m_counters->cutCopies(); }
void SpoolsmithApp::setCutCopies(int copies) { m_counters->setCutCopies(copies); }
int SpoolsmithApp::printTaskCopies() const { return m_counters->printTaskCopies(); }
void SpoolsmithApp::setPrintTaskCopies(int copies) { m_counters->setPrintTaskCopies(copies); }
int SpoolsmithApp::printCopies() const { return m_counters->printCopies(); }
void SpoolsmithApp::setPrintCopies(int copies) { m_counters->setPrintCopies(copies); }
int SpoolsmithApp::checkedCopies() const { return m_counters->checkedCopies(); }
void SpoolsmithApp::setCheckedCopies(int copies) { m_counters->setCheckedCopies(copies); }
double SpoolsmithApp::cutLength() const { return m_counters->cutLength(); }
void SpoolsmithApp::addCutLength(double mm) { m_counters->addCutLength(mm); }
double SpoolsmithApp::printedLength() const { return m_counters->printedLength(); }
void SpoolsmithApp::addPrintedLength(double mm) { m_counters->addPrintedLength(mm); }
double SpoolsmithApp::printRollerAtStart() const { return m_counters->printRollerAtStart(); }
double SpoolsmithApp::filmRollerAtStart() const { return m_counters->filmRollerAtStart(); }

void SpoolsmithApp::beginWorkRecord() { m_records->beginWorkRecord(); }
void SpoolsmithApp::setWorkRecordCutFile(const QString &file) { m_records->setWorkRecordCutFile(file); }
void SpoolsmithApp::setWorkRecordPrintFile(const QString &file) { m_records->setWorkRecordPrintFile(file); }
void SpoolsmithApp::setWorkRecordDataSource(const QString &file) { m_records->setWorkRecordDataSource(file); }
void SpoolsmithApp::recordCutCopy(double pageHeightMm) { m_records->recordCutCopy(pageHeightMm); }
void SpoolsmithApp::updateTaskWorkRecords() { m_records->updateTaskWorkRecords(); }
int SpoolsmithApp::updatePrintRecord(uint copies, int dataIndex) { return m_records->updatePrintRecord(copies, dataIndex); }
void SpoolsmithApp::setPageCode(quint32 code) { m_records->setPageCode(code); }
quint32 SpoolsmithApp::pageCode() const { return m_records->pageCode(); }
bool SpoolsmithApp::lookUpPageCode(quint32 code) { return m_records->lookUpPageCode(code); }
WorkRecord SpoolsmithApp::printWorkRecord() const { return m_records->printWorkRecord(); }
WorkRecord SpoolsmithApp::cutWorkRecord() const { return m_records->cutWorkRecord(); }
TaskRecord SpoolsmithApp::taskRecord() const { return m_records->taskRecord(); }

// Builds the task parts and forwards their signals as the face's own, on
// the thread that changed the value (QML receives them queued).
void SpoolsmithApp::initTaskParts(const AppServices &services)
{
    m_taskSettings = std::make_unique<TaskSettings>(services);
    m_counters = std::make_unique<TaskCounters>();
    m_records = std::make_unique<ProductionRecords>(services, [this] { return taskStatus(); });
    TaskControl::Hooks hooks;
    hooks.taskStatus = [this] { return taskStatus(); };
    hooks.setTaskStatus = [this](int status) { setTaskStatus(status); };
    hooks.printFileMissing = [this] { return printFileMissing(); };
    using Row = PrintFile::RowState;
    hooks.dataSourceEnded = [this] {
        return m_printFile->enabledDataSource() && m_printFile->rowState() == Row::Ended;
    };
    hooks.dataRowFailed = [this] {
        const Row row = m_printFile->rowState();
        return m_printFile->enabledDataSource() && (row == Row::Failed || row == Row::Unreadable);
    };
    hooks.dataSourceReading = [this] {
        return m_printFile->enabledDataSource() && m_printFile->dataSourceReading();
    };
    hooks.dataSourceUnreadable = [this] {
        return m_printFile->enabledDataSource() && m_printFile->rowState() == Row::Unreadable;
    };
    // The print parts are built after these.
    hooks.printFailed = [this] { return m_printBatcher && m_printBatcher->jobPrintFailed(); };
    // The cut parts are built after these.
    hooks.cutFileOpening = [this] { return m_cut && m_cut->opening(); };
    hooks.prepareRun = [this] {
        if (m_printBatcher)
            m_printBatcher->startJob();
        if (m_pageCodeSwitch)
            m_pageCodeSwitch->forgetPageCutFile();
        setMarkIndex(1);
        if (segmentX() != 0)
            setSegmentX(0);
    };
    hooks.cutPageHeight = [this] { return cutPageSize().height(); };
    hooks.guiThread = thread();
    m_taskControl = std::make_unique<TaskControl>(services, *m_taskSettings, *m_counters, *m_records, hooks);

    const auto direct = Qt::DirectConnection;
    connect(m_counters.get(), &TaskCounters::cutTaskCopiesChanged, this, &SpoolsmithApp::cutTaskCopiesChanged, direct);
    connect(m_counters.get(), &TaskCounters::cutCopiesChanged, this, &SpoolsmithApp::cutCopiesChanged, direct);
    connect(m_counters.get(), &TaskCounters::printTaskCopiesChanged, this, &SpoolsmithApp::printTaskCopiesChanged,
            direct);
    connect(m_counters.get(), &TaskCounters::printCopiesChanged, this, &SpoolsmithApp::printCopiesChanged, direct);
    connect(m_counters.get(), &TaskCounters::checkedCopiesChanged, this, &SpoolsmithApp::checkedCopiesChanged,
            direct);
}
