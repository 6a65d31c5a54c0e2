#include "settings/counter_journal.h"

#include <QDebug>
#include <QFile>
#include <QHash>
#include <QSettings>

#include <cmath>

namespace {

const QString kPrefix = QStringLiteral("Untaken.");
const QString kTotal = QStringLiteral("Total");
const QString kSetByHand = QStringLiteral("SetByHand");
// Far beyond any real length or count, and exact in a double.
constexpr double kMaxCount = 1e15;
// A year of days many times over; a file holding more was not written by us.
constexpr int kMaxRows = 4000;

QString groupOf(const QDate &row)
{
    return kPrefix + (row.isNull() ? kTotal : row.toString(Qt::ISODate));
}

bool isCounterSection(const QString &section)
{
    return section == QLatin1String("Today") || section == QLatin1String("Total") || section.startsWith(kPrefix);
}

// The counters' sections as the file on disk holds them, read past QSettings:
// its objects on one file share what they hold in memory.
QHash<QString, QString> sectionsOnDisk(const QString &path)
{
    QHash<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    QString section;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && isCounterSection(section))
            keys.insert(section + QLatin1Char('/') + line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return keys;
}

} // namespace

namespace CounterJournal {

QMap<QDate, UntakenCounts> read(QSettings &settings)
{
    QMap<QDate, UntakenCounts> rows;
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
        UntakenCounts owed;
        owed.amounts.date = row;
        settings.beginGroup(group);
        const QStringList set = settings.value(kSetByHand).toString().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (int field = 0; field < counters::FieldCount; ++field) {
            const QVariant stored = settings.value(counters::keyName(field));
            bool ok = false;
            const double value = stored.toDouble(&ok);
            if (!stored.isValid())
                continue;
            if (!ok || !std::isfinite(value) || value < 0 || value > kMaxCount
                || (field > counters::Print && value != std::floor(value))) {
                qCritical() << "Config::Config" << "config.ini:" << group << counters::keyName(field) << stored
                            << "is not a count - left out";
                continue;
            }
            if (set.contains(counters::keyName(field)))
                owed.set(field, counters::typed(field, value));
            else
                counters::setFieldValue(owed.amounts, field, counters::typed(field, value));
        }
        settings.endGroup();
        rows.insert(row, owed);
    }
    return rows;
}

void write(QSettings &settings, const QDate &row, const UntakenCounts &owed)
{
    settings.beginGroup(groupOf(row));
    QStringList set;
    for (int field = 0; field < counters::FieldCount; ++field) {
        settings.setValue(counters::keyName(field), counters::fieldValue(owed.amounts, field));
        if (owed.setByHand & (1 << field))
            set << counters::keyName(field);
    }
    if (set.isEmpty())
        settings.remove(kSetByHand);
    else
        settings.setValue(kSetByHand, set.join(QLatin1Char(' ')));
    settings.endGroup();
}

void remove(QSettings &settings, const QDate &row)
{
    settings.remove(groupOf(row));
}

bool onDisk(QSettings &settings)
{
    if (settings.status() == QSettings::NoError)
        return true;
    QHash<QString, QString> inMemory;
    for (const QString &section : settings.childGroups()) {
        if (!isCounterSection(section))
            continue;
        settings.beginGroup(section);
        for (const QString &key : settings.childKeys())
            inMemory.insert(section + QLatin1Char('/') + key, settings.value(key).toString());
        settings.endGroup();
    }
    return sectionsOnDisk(settings.fileName()) == inMemory;
}

} // namespace CounterJournal
