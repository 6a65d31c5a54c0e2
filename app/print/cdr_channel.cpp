#include "app/print/cdr_channel.h"

#include "app/print/cdr_job_record.h"
#include "platform/named_objects/named_event.h"
#include "platform/named_objects/named_mapping.h"
#include "platform/named_objects/named_mutex.h"

#include <QDebug>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace {

constexpr const char *kMutexName = "LPC_Mutex";
constexpr const char *kMappingName = "LabelPrintCut";
constexpr const char *kJobTakenName = "LPC_SRO";
constexpr const char *kJobWrittenName = "LPC_CWO";
constexpr const char *kOpenPrefix = "SpoolsmithApp::createCDRHandle";
constexpr const char *kHandOverPrefix = "SpoolsmithApp::printPdf";
constexpr int kStopped = 2;

// Another process may cut an object short at any time; memory past its end
// is never touched (that would kill this process), the object is refused.
void logShrunk(const char *prefix, const char *name, std::size_t size)
{
    qCritical() << prefix << name << "was cut short to" << size << "bytes; not used";
}

template<typename Object>
void dropIfStale(std::unique_ptr<Object> &object, const char *name)
{
    if (object && object->isCurrent() && !object->isWhole())
        logShrunk(kOpenPrefix, name, object->currentSize());
    if (object && (!object->isCurrent() || !object->isWhole()))
        object.reset();
}

} // namespace

CdrChannel::CdrChannel(Hooks hooks) : CdrChannel(std::move(hooks), Timeouts{}) {}

CdrChannel::CdrChannel(Hooks hooks, Timeouts timeouts) : m_hooks(std::move(hooks)), m_timeouts(timeouts) {}

CdrChannel::~CdrChannel() = default;

bool CdrChannel::createCDRHandle()
{
    const std::lock_guard<std::mutex> lock(m_handOverLock);
    return openHandles();
}

// Objects of a component that ended (or was started anew), and ones cut
// short, are closed so that the component's current ones are opened in
// their place.
void CdrChannel::dropStaleHandles()
{
    const bool hadMutex = m_mutex != nullptr;
    dropIfStale(m_mutex, kMutexName);
    dropIfStale(m_mapping, kMappingName);
    dropIfStale(m_jobTaken, kJobTakenName);
    dropIfStale(m_jobWritten, kJobWrittenName);
    // A component started anew owes no answer for the one before.
    if (hadMutex && !m_mutex)
        m_answerOwed = false;
}

bool CdrChannel::openHandles()
{
    dropStaleHandles();
    int error = 0;
    if (!m_mutex) {
        m_mutex = named::NamedMutex::open(kMutexName, error);
        if (!m_mutex) {
            if (error == ENOENT)
                qCritical() << kOpenPrefix << "OpenMutex fail: file not found!";
            else
                qCritical() << kOpenPrefix << "OpenMutex fail:" << error;
            return false;
        }
    }
    if (!m_mapping) {
        m_mapping = named::NamedMapping::open(kMappingName, error);
        if (!m_mapping) {
            qCritical() << kOpenPrefix << "OpenFileMapping" << error;
            return false;
        }
        // The whole record must fit the view: a smaller block would be
        // written past its end.
        if (m_mapping->size() < static_cast<std::size_t>(CdrJobRecord::kSize)) {
            qCritical() << kOpenPrefix << "MapViewOfFile" << EINVAL << "mapping of" << m_mapping->size()
                        << "bytes is smaller than the job record";
            m_mapping.reset();
            return false;
        }
    }
    const auto openEvent = [&error](std::unique_ptr<named::NamedEvent> &event, const char *name) {
        if (!event)
            event = named::NamedEvent::createOrOpen(name, error);
        if (!event)
            qCritical() << kOpenPrefix << "CreateEvent" << error;
        return event != nullptr;
    };
    return openEvent(m_jobTaken, kJobTakenName) && openEvent(m_jobWritten, kJobWrittenName);
}

bool CdrChannel::jobStopped() const
{
    return m_hooks.taskStatus && m_hooks.taskStatus() == kStopped;
}

// A job's wait ends when it stops, one begun after the stop at once; a test
// print waits its full bound. Either ends when the program does.
std::function<bool()> CdrChannel::stopCheck(bool forJob) const
{
    if (!forJob)
        return [this] { return m_closing.load(); };
    return [this] { return m_closing.load() || jobStopped(); };
}

const char *CdrChannel::stopCause() const
{
    return m_closing ? "the program's end" : "the job's stop";
}

void CdrChannel::close()
{
    m_closing = true;
}

bool CdrChannel::handOver(int pageCount, bool forJob)
{
    const std::lock_guard<std::mutex> lock(m_handOverLock);
    if (m_closing) {
        qCritical() << kHandOverPrefix << "the program is ending; no hand-over";
        return false;
    }
    // A hand-over that waited its turn past the job's stop is not made.
    if (forJob && jobStopped()) {
        qInfo() << kHandOverPrefix << "the job has stopped; no hand-over of" << pageCount << "pages";
        return false;
    }
    if (!openHandles())
        return false;
    const auto stopped = stopCheck(forJob);
    if (!awaitOwedAnswer(stopped))
        return false;
    if (!writeRecord(pageCount, stopped))
        return false;
    // An answer that came after an earlier hand-over gave up must not count
    // as the answer to this one.
    if (!m_jobTaken->reset()) {
        logShrunk(kHandOverPrefix, kJobTakenName, m_jobTaken->currentSize());
        return false;
    }
    if (!m_jobWritten->set()) {
        logShrunk(kHandOverPrefix, kJobWrittenName, m_jobWritten->currentSize());
        return false;
    }
    switch (awaitTaken(stopped, "the job")) {
    case Answer::Taken:
        break;
    case Answer::ComponentGone:
        return false;
    case Answer::NotAnswered:
        if (!readOrWithdrawn(pageCount))
            return false;
        m_answerOwed = true;
        countPages(pageCount);
        return true;
    }
    countPages(pageCount);
    if (!m_jobTaken->reset())
        logShrunk(kHandOverPrefix, kJobTakenName, m_jobTaken->currentSize());
    return true;
}

void CdrChannel::countPages(int pageCount)
{
    if (m_hooks.countPages)
        m_hooks.countPages(pageCount);
}

// The component resets "LPC_CWO" once it has read the record, under the
// mutex: still set, the record is emptied, so that a component reading it
// late gets no pages.
bool CdrChannel::readOrWithdrawn(int pageCount)
{
    // Either side holds the mutex only to copy the record; the program's
    // end does not skip the withdrawal.
    const auto bound = std::min<std::chrono::milliseconds>(m_timeouts.mutexWait, std::chrono::milliseconds(1000));
    int error = 0;
    const auto locked = m_mutex->lock(bound, {}, &error);
    if (locked != named::NamedMutex::LockResult::Acquired && locked != named::NamedMutex::LockResult::Abandoned) {
        qCritical() << kHandOverPrefix << "job of" << pageCount << "pages not withdrawn, LPC_Mutex not had"
                    << int(locked) << error << "- nothing counted";
        m_jobWritten->reset();
        return false;
    }
    if (!m_jobWritten->isSet()) {
        m_mutex->unlock();
        qWarning() << kHandOverPrefix << "the print component had read the job of" << pageCount
                   << "pages: counted, its answer awaited before the next job";
        return true;
    }
    CdrJobRecord empty;
    empty.pageCount = 0;
    const auto bytes = empty.bytes();
    const bool emptied = m_mapping->write(bytes.data(), bytes.size());
    m_jobWritten->reset();
    m_mutex->unlock();
    if (!emptied)
        logShrunk(kHandOverPrefix, kMappingName, m_mapping->currentSize());
    qCritical() << kHandOverPrefix << "job of" << pageCount << "pages withdrawn before the print component read it";
    return false;
}

bool CdrChannel::awaitOwedAnswer(const std::function<bool()> &stopped)
{
    if (!m_answerOwed)
        return true;
    switch (awaitTaken(stopped, "the job read before")) {
    case Answer::Taken:
        m_answerOwed = false;
        if (!m_jobTaken->reset()) {
            logShrunk(kHandOverPrefix, kJobTakenName, m_jobTaken->currentSize());
            return false;
        }
        return true;
    case Answer::ComponentGone:
        m_answerOwed = false;
        return false;
    case Answer::NotAnswered:
        qCritical() << kHandOverPrefix << "no new job while the print component owes the answer to the last one";
        return false;
    }
    return false;
}

// The record, whole, under the component's mutex.
bool CdrChannel::writeRecord(int pageCount, const std::function<bool()> &stopped)
{
    int error = 0;
    switch (m_mutex->lock(m_timeouts.mutexWait, stopped, &error)) {
    case named::NamedMutex::LockResult::Acquired:
        break;
    case named::NamedMutex::LockResult::Abandoned:
        // Its holder ended while writing or reading: the record is written
        // whole below, so the block is sound again.
        qWarning() << kHandOverPrefix << "LPC_Mutex was abandoned by its holder; taken over";
        break;
    case named::NamedMutex::LockResult::TimedOut:
        qCritical() << kHandOverPrefix << "LPC_Mutex not free within" << m_timeouts.mutexWait.count() << "ms";
        return false;
    case named::NamedMutex::LockResult::Cancelled:
        qCritical() << kHandOverPrefix << "hand-over ended by" << stopCause() << "while waiting for LPC_Mutex";
        return false;
    case named::NamedMutex::LockResult::Failed:
        qCritical() << kHandOverPrefix << "LPC_Mutex lock failed" << error;
        return false;
    case named::NamedMutex::LockResult::Shrunk:
        logShrunk(kHandOverPrefix, kMutexName, m_mutex->currentSize());
        return false;
    }
    CdrJobRecord record;
    record.pageCount = pageCount;
    const auto bytes = record.bytes();
    const bool written = m_mapping->write(bytes.data(), bytes.size());
    m_mutex->unlock();
    if (!written)
        logShrunk(kHandOverPrefix, kMappingName, m_mapping->currentSize());
    return written;
}

CdrChannel::Answer CdrChannel::awaitTaken(const std::function<bool()> &stopped, const char *what)
{
    // The component's end is noticed at once, not only after the time-out.
    const auto componentGone = [this] { return !m_jobWritten->isCurrent() || !m_mutex->isCurrent(); };
    constexpr std::chrono::milliseconds kLivenessPeriod{200};
    auto nextLivenessCheck = std::chrono::steady_clock::now() + kLivenessPeriod;
    const auto givenUp = [&] {
        if (stopped && stopped())
            return true;
        const auto now = std::chrono::steady_clock::now();
        if (now < nextLivenessCheck)
            return false;
        nextLivenessCheck = now + kLivenessPeriod;
        return componentGone();
    };
    switch (m_jobTaken->wait(m_timeouts.answerWait, givenUp)) {
    case named::NamedEvent::WaitResult::Signalled:
        break;
    case named::NamedEvent::WaitResult::TimedOut:
        qCritical() << kHandOverPrefix << "the print component did not take" << what << "within"
                    << m_timeouts.answerWait.count() << "ms";
        return Answer::NotAnswered;
    case named::NamedEvent::WaitResult::Cancelled:
        if (stopped && stopped()) {
            qCritical() << kHandOverPrefix << "hand-over ended by" << stopCause() << "while waiting for LPC_SRO";
            return Answer::NotAnswered;
        }
        qCritical() << kHandOverPrefix << "the print component ended before taking" << what;
        return Answer::ComponentGone;
    case named::NamedEvent::WaitResult::Shrunk:
        logShrunk(kHandOverPrefix, kJobTakenName, m_jobTaken->currentSize());
        return Answer::ComponentGone;
    }
    return Answer::Taken;
}

void CdrChannel::pauseAfterHandOver(bool forJob)
{
    const auto stopped = stopCheck(forJob);
    const auto until = std::chrono::steady_clock::now() + m_timeouts.pause;
    while (std::chrono::steady_clock::now() < until && !(stopped && stopped()))
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(20), until - std::chrono::steady_clock::now()));
}
