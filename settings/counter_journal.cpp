#include "settings/counter_journal.h"

#include <QDebug>
#include <QRegularExpression>
#include <QSettings>

#include <cmath>

namespace {

const QString kPrefix = QStringLiteral("Untaken.");
const QString kTotal = QStringLiteral("Total");
const QString kSetByHand = QStringLiteral("SetByHand");
const QString kSpells = QStringLiteral("Spells");
// A day left before its row was read: the keys it showed, and the row's
// version they were written at (OwedRow::base).
const QString kBase = QStringLiteral("Base");
const QString kRowVersion = QStringLiteral("RowVersion");
// Far beyond any real length or count, and exact in a double.
constexpr double kMaxCount = 1e15;
// A year of days many times over; a file holding more was not written by us.
constexpr int kMaxRows = 4000;
// A row gains a spell only at a start that cannot read it.
constexpr int kMaxSpells = 256;

QString groupOf(const QDate &row)
{
    return kPrefix + (row.isNull() ? kTotal : row.toString(Qt::ISODate));
}

// The amounts and sets under the settings' current group.
UntakenCounts readCounts(QSettings &settings, const QDate &row, const QString &where)
{
    UntakenCounts owed;
    owed.amounts.date = row;
    const QStringList set = settings.value(kSetByHand).toString().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int field = 0; field < counters::FieldCount; ++field) {
        const QVariant stored = settings.value(counters::keyName(field));
        bool ok = false;
        const double value = stored.toDouble(&ok);
        if (!stored.isValid())
            continue;
        if (!ok || !std::isfinite(value) || value < 0 || value > kMaxCount
            || (field > counters::Print && value != std::floor(value))) {
            qCritical() << "Config::Config" << "config.ini:" << where << counters::keyName(field) << stored
                        << "is not a count - left out";
            continue;
        }
        if (set.contains(counters::keyName(field)))
            owed.set(field, counters::typed(field, value));
        else
            counters::setFieldValue(owed.amounts, field, counters::typed(field, value));
    }
    return owed;
}

void writeCounts(QMap<QString, QVariant> &keys, const QString &prefix, const UntakenCounts &counts)
{
    QStringList set;
    for (int field = 0; field < counters::FieldCount; ++field) {
        keys.insert(prefix + counters::keyName(field), counters::fieldValue(counts.amounts, field));
        if (counts.setByHand & (1 << field))
            set << counters::keyName(field);
    }
    if (!set.isEmpty())
        keys.insert(prefix + kSetByHand, set.join(QLatin1Char(' ')));
}

} // namespace

namespace CounterJournal {

QMap<QDate, OwedRow> read(QSettings &settings)
{
    static const QRegularExpression spellId(QStringLiteral("^[0-9a-f]{1,32}$"));
    QMap<QDate, OwedRow> rows;
    const QStringList groups = settings.childGroups();
    for (const QString &group : groups) {
        if (!group.startsWith(kPrefix))
            continue;
        const QString name = group.mid(kPrefix.size());
        const QDate row = name == kTotal ? QDate() : QDate::fromString(name, Qt::ISODate);
        if ((name != kTotal && !row.isValid()) || rows.size() >= kMaxRows) {
            qCritical() << "Config::Config" << "config.ini: group" << group << "left out"
                        << (rows.size() >= kMaxRows ? "(too many rows)" : "(not a day)");
            continue;
        }
        settings.beginGroup(group);
        QList<CounterSpell> spells;
        const QStringList ids = settings.value(kSpells).toString().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bool named = !ids.isEmpty() && ids.size() <= kMaxSpells;
        for (const QString &id : ids)
            named = named && spellId.match(id).hasMatch() && settings.childGroups().contains(id);
        if (named) {
            for (const QString &id : ids) {
                settings.beginGroup(id);
                spells.append({id, readCounts(settings, row, group + QLatin1Char('/') + id)});
                settings.endGroup();
            }
        } else {
            if (!ids.isEmpty())
                qCritical() << "Config::Config" << "config.ini:" << group << "spells" << ids.mid(0, 4)
                            << "unreadable - the group counts as a whole";
            spells.append({QString(), readCounts(settings, row, group)});
        }
        OwedRow owed;
        owed.carried = spells;
        bool versioned = false;
        owed.baseVersion = settings.value(kBase + QLatin1Char('/') + kRowVersion).toLongLong(&versioned);
        if (versioned && owed.baseVersion > 0 && settings.childGroups().contains(kBase)) {
            settings.beginGroup(kBase);
            owed.base = readCounts(settings, row, group + QLatin1Char('/') + kBase);
            owed.hasBase = true;
            settings.endGroup();
        }
        settings.endGroup();
        rows.insert(row, owed);
    }
    return rows;
}

void write(QMap<QString, QVariant> &keys, const QDate &row, const OwedRow &owed, bool withBase)
{
    const QString group = groupOf(row) + QLatin1Char('/');
    writeCounts(keys, group, owed.sum());
    if (withBase && owed.hasBase && !owed.baseUnversioned) {
        writeCounts(keys, group + kBase + QLatin1Char('/'), owed.base);
        keys.insert(group + kBase + QLatin1Char('/') + kRowVersion, owed.baseVersion);
    }
    QStringList ids;
    for (const CounterSpell &spell : owed.carried + QList<CounterSpell>{owed.fresh}) {
        if (spell.id.isEmpty())
            continue;
        ids << spell.id;
        writeCounts(keys, group + spell.id + QLatin1Char('/'), spell.counts);
    }
    if (!ids.isEmpty())
        keys.insert(group + kSpells, ids.join(QLatin1Char(' ')));
}

bool isGroupKey(const QString &key)
{
    return key.startsWith(kPrefix);
}

} // namespace CounterJournal
