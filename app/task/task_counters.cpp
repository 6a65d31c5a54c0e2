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
}

void TaskCounters::startRun(double filmRoller, double printRoller)
{
    m_printCopiesAtStart.store(printCopies());
    m_cutCopiesAtStart.store(cutCopies());
    std::lock_guard<std::mutex> lock(m_lengthLock);
    m_cutLength = 0.0;
    m_printedLength = 0.0;
    m_filmRollerAtStart = filmRoller;
    m_printRollerAtStart = printRoller;
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
