#include "settings/counter_fields.h"

#include <QStringList>

namespace counters {

namespace {
const char *const kNames[FieldCount] = {"Cut", "Print", "Copies", "ScanMark", "ScanMarkOk"};
const char *const kLogNames[FieldCount] = {"cut", "print", "copies", "scan marks", "good scan marks"};
} // namespace

QVariant fieldValue(const WorkDataRecord &r, int field)
{
    switch (field) {
    case Cut: return r.cutLen;
    case Print: return r.printLen;
    case Copies: return r.copies;
    case ScanMark: return r.scanMark;
    default: return r.scanMarkOk;
    }
}

void setFieldValue(WorkDataRecord &r, int field, const QVariant &v)
{
    switch (field) {
    case Cut: r.cutLen = v.toDouble(); break;
    case Print: r.printLen = v.toDouble(); break;
    case Copies: r.copies = v.toUInt(); break;
    case ScanMark: r.scanMark = v.toUInt(); break;
    default: r.scanMarkOk = v.toUInt(); break;
    }
}

QVariant typed(int field, const QVariant &v)
{
    return field <= Print ? QVariant(v.toDouble()) : QVariant(quint32(v.toULongLong()));
}

bool sameField(const WorkDataRecord &a, const WorkDataRecord &b, int field)
{
    return field <= Print ? fieldValue(a, field).toDouble() == fieldValue(b, field).toDouble()
                          : fieldValue(a, field).toUInt() == fieldValue(b, field).toUInt();
}

int changedFields(const WorkDataRecord &before, const WorkDataRecord &after, bool total)
{
    int changed = 0;
    for (int field = 0; field < FieldCount; ++field)
        if (!sameField(before, after, field))
            changed |= fieldBit(total, field);
    return changed;
}

QString key(bool total, int field)
{
    return (total ? QStringLiteral("Total/") : QStringLiteral("Today/")) + keyName(field);
}

QString keyName(int field)
{
    return QString::fromLatin1(kNames[field]);
}

QString describe(const WorkDataRecord &r, int setByHand)
{
    QStringList values;
    for (int field : {Copies, Cut, Print, ScanMark, ScanMarkOk})
        values << QStringLiteral("%1 %2%3").arg(QLatin1String(kLogNames[field]), fieldValue(r, field).toString(),
                                                 (setByHand & (1 << field)) ? QStringLiteral(" (set by hand)")
                                                                            : QString());
    return values.join(QStringLiteral(", "));
}

QString rowName(const QDate &row)
{
    return row.isNull() ? QStringLiteral("the totals' row") : QStringLiteral("the row of ") + row.toString(Qt::ISODate);
}

} // namespace counters
