// The production counters as the settings object's properties: each forwards
// to ProductionCounters, which keeps the rows, the keys and the day.
#include "settings/config.h"

#include "settings/counter_fields.h"
#include "settings/production_counters.h"

#include <utility>

using namespace counters;

void Config::updateCounterValues(bool save)
{
    // A second read of the settings never moves a counter: they are ahead of
    // the file, or the file of them, only as the counters themselves know.
    // The write pass writes them with every snapshot of the file.
    if (!save && !std::exchange(m_countersRead, true))
        m_counters->readFile(liveStorePath());
}

void Config::emitCounterSignal(bool total, int field)
{
    switch (field) {
    case Cut: total ? emit totalCutChanged() : emit todayCutChanged(); break;
    case Print: total ? emit totalPrintChanged() : emit todayPrintChanged(); break;
    case Copies: total ? emit totalCopiesChanged() : emit todayCopiesChanged(); break;
    case ScanMark: total ? emit totalScanMarkChanged() : emit todayScanMarkChanged(); break;
    case ScanMarkOk: total ? emit totalScanMarkOkChanged() : emit todayScanMarkOkChanged(); break;
    default: break;
    }
}

void Config::emitCounterChanges(int changed)
{
    if (changed & kDayMoved)
        emit todayChanged();
    for (bool total : {false, true})
        for (int field : {Copies, Cut, Print, ScanMark, ScanMarkOk})
            if (changed & fieldBit(total, field))
                emitCounterSignal(total, field);
}

void Config::setCounter(bool total, int field, const QVariant &value)
{
    m_counters->set(total, field, value);
}

void Config::addCounts(const WorkDataRecord &delta)
{
    m_counters->add(delta);
}

void Config::setToday(const QDate &date)
{
    m_counters->moveTo(date);
}

ProductionCounters &Config::counters()
{
    return *m_counters;
}

WorkDataRecord Config::dayRecord() const { return m_counters->day(); }
WorkDataRecord Config::totalRecord() const { return m_counters->total(); }
QDate Config::today() const { return m_counters->today(); }
QDateTime Config::now() const { return m_counters->now(); }

double Config::todayCut() const { return dayRecord().cutLen; }
void Config::setTodayCut(double v) { setCounter(false, Cut, v); }
double Config::todayPrint() const { return dayRecord().printLen; }
void Config::setTodayPrint(double v) { setCounter(false, Print, v); }
int Config::todayCopies() const { return int(dayRecord().copies); }
void Config::setTodayCopies(int v) { setCounter(false, Copies, quint32(v)); }
int Config::todayScanMark() const { return int(dayRecord().scanMark); }
void Config::setTodayScanMark(int v) { setCounter(false, ScanMark, quint32(v)); }
int Config::todayScanMarkOk() const { return int(dayRecord().scanMarkOk); }
void Config::setTodayScanMarkOk(int v) { setCounter(false, ScanMarkOk, quint32(v)); }
double Config::totalCut() const { return totalRecord().cutLen; }
void Config::setTotalCut(double v) { setCounter(true, Cut, v); }
double Config::totalPrint() const { return totalRecord().printLen; }
void Config::setTotalPrint(double v) { setCounter(true, Print, v); }
// The whole-number totals are held in 32 bits; a larger value keeps its low
// 32 bits.
quint64 Config::totalCopies() const { return totalRecord().copies; }
void Config::setTotalCopies(quint64 v) { setCounter(true, Copies, quint32(v)); }
quint64 Config::totalScanMark() const { return totalRecord().scanMark; }
void Config::setTotalScanMark(quint64 v) { setCounter(true, ScanMark, quint32(v)); }
quint64 Config::totalScanMarkOk() const { return totalRecord().scanMarkOk; }
void Config::setTotalScanMarkOk(quint64 v) { setCounter(true, ScanMarkOk, quint32(v)); }
