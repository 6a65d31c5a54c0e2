#include "app/task/task_counters.h"

#include "core/property_store.h"

using spoolsmith::storeAndNotify;

void TaskCounters::setCutTaskCopies(int copies)
{
    storeAndNotify(m_cutTaskCopies, copies, [this] { emit cutTaskCopiesChanged(); });
}

void TaskCounters::setCutCopies(int copies)
{
    storeAndNotify(m_cutCopies, copies, [this] { emit cutCopiesChanged(); });
}

void TaskCounters::setPrintTaskCopies(int copies)
{
    storeAndNotify(m_printTaskCopies, copies, [this] { emit printTaskCopiesChanged(); });
}

void TaskCounters::setPrintCopies(int copies)
{
    storeAndNotify(m_printCopies, copies, [this] { emit printCopiesChanged(); });
}

void TaskCounters::setCheckedCopies(int copies)
{
    storeAndNotify(m_checkedCopies, copies, [this] { emit checkedCopiesChanged(); });
}

void TaskCounters::reset()
{
    setPrintCopies(0);
    setCutCopies(0);
    setCheckedCopies(0);
    m_printCopiesAtStart.store(0);
    m_cutCopiesAtStart.store(0);
    // The operator starts the counts over: nothing is owed any more.
    m_owedAtStart.store(0);
}

void TaskCounters::startRun(double filmRoller, double printRoller, bool cuts)
{
    m_owedAtStart.store(owedCuts());
    m_runCuts.store(cuts);
    m_printCopiesAtStart.store(printCopies());
    m_cutCopiesAtStart.store(cutCopies());
    std::lock_guard<std::mutex> lock(m_lengthLock);
    m_cutLength = 0.0;
    m_printedLength = 0.0;
    m_filmRollerAtStart = filmRoller;
    m_printRollerAtStart = printRoller;
}

int TaskCounters::owedCuts() const
{
    // A print-only job's pages are never cut, so never owed.
    const int run = m_runCuts.load() ? runPrintCopies() - runCutCopies() : 0;
    return qMax(0, m_owedAtStart.load() + run);
}

void TaskCounters::takeOwedCut()
{
    int owed = m_owedAtStart.load();
    while (owed > 0 && !m_owedAtStart.compare_exchange_weak(owed, owed - 1)) {
    }
}

void TaskCounters::forgetOwedCuts()
{
    m_owedAtStart.store(0);
    m_printCopiesAtStart.store(printCopies());
    m_cutCopiesAtStart.store(cutCopies());
}

void TaskCounters::addCutCopy(double pageHeightMm)
{
    m_cutCopies.fetch_add(1);
    emit cutCopiesChanged();
    addCutLength(pageHeightMm);
}

double TaskCounters::cutLength() const
{
    std::lock_guard<std::mutex> lock(m_lengthLock);
    return m_cutLength;
}

void TaskCounters::addCutLength(double mm)
{
    std::lock_guard<std::mutex> lock(m_lengthLock);
    m_cutLength += mm;
}

double TaskCounters::printedLength() const
{
    std::lock_guard<std::mutex> lock(m_lengthLock);
    return m_printedLength;
}

void TaskCounters::addPrintedLength(double mm)
{
    std::lock_guard<std::mutex> lock(m_lengthLock);
    m_printedLength += mm;
}

double TaskCounters::printRollerAtStart() const
{
    std::lock_guard<std::mutex> lock(m_lengthLock);
    return m_printRollerAtStart;
}

double TaskCounters::filmRollerAtStart() const
{
    std::lock_guard<std::mutex> lock(m_lengthLock);
    return m_filmRollerAtStart;
}
