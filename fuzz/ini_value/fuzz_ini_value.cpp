// Any bytes as a settings file: every table setting read from it is of its
// declared type, finite and in its range, as the program would use it, and
// what the counters' groups say a row is owed is a count.
#include "settings/counter_journal.h"
#include "settings/param_limits.h"
#include "settings/param_table.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void check(const ParamTable::Entry &entry, const QVariant &value)
{
    if (value.typeId() != entry.type)
        std::abort();
    if (entry.type == QMetaType::Int || entry.type == QMetaType::UInt || entry.type == QMetaType::Double
        || entry.type == QMetaType::Float) {
        const double v = value.toDouble();
        const auto range = ParamLimits::rangeOf(QString::fromLatin1(entry.key));
        if (!std::isfinite(v) || (range && (v < range->min || v > range->max)))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Every refused value is logged; the lines only slow the search down.
    static const QtMessageHandler quiet = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    (void)quiet;
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("config.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    QSettings settings(path, QSettings::IniFormat);
    for (int id = 0; id < ParamTable::kCount; ++id) {
        if (!ParamTable::isValidId(id))
            continue;
        const ParamTable::Entry &entry = ParamTable::entry(id);
        const QString key = QString::fromLatin1(entry.key);
        const QVariant stored = settings.value(key, entry.defaultValue);
        check(entry, ParamLimits::checked(key, stored, entry.type, entry.defaultValue));
        // What the program then converts a value to when it is set.
        if (ParamTable::convert(stored, entry.type).typeId() != entry.type)
            std::abort();
    }
    const QMap<QDate, OwedRow> owed = CounterJournal::read(settings);
    if (owed.size() > 4000)
        std::abort();
    for (const OwedRow &row : owed) {
        if (row.carried.size() > 256)
            std::abort();
        for (const CounterSpell &spell : row.carried + QList<CounterSpell>{{QString(), row.base}})
            for (const double v : {spell.counts.amounts.cutLen, spell.counts.amounts.printLen})
                if (!std::isfinite(v) || v < 0 || v > 1e15)
                    std::abort();
    }
    return 0;
}
