#include "settings/param_limits.h"

#include "settings/config.h"
#include "settings/param_table.h"

#include <QDebug>
#include <QHash>

#include <cmath>
#include <limits>

namespace ParamLimits {

namespace {

constexpr double kIntMax = std::numeric_limits<qint32>::max();

const QHash<QString, Range> &ranges()
{
    static const QHash<QString, Range> table = [] {
        QHash<QString, Range> t;
        const auto add = [&t](std::initializer_list<const char *> keys, double min, double max) {
            for (const char *key : keys)
                t.insert(QStringLiteral("Spoolsmith/") + QLatin1String(key), Range{min, max});
        };
        // Gyroscope and roller readings, speeds of the motors.
        add({"Gyroscope_Trigger", "Gyroscope_Limit"}, -10000, 10000);
        add({"Gyroscope_speed", "Film_Speed", "Collect_Speed", "Rectify_Speed"}, 0, 10000);
        add({"Print_Roller_Trigger", "Print_Roller_Limit", "Print_Roller_Max", "Film_Roller_Trigger",
             "Film_Roller_Limit", "Film_Roller_Max", "Collect_Roller_Trigger", "Collect_Roller_Limit",
             "Collect_Roller_Max"},
            0, 10000);
        add({"Rectify_Span"}, 0, 1000000);
        add({"Rectify_Len"}, 0, 10000);
        add({"Poll_Time_Span"}, 10, 10000); // ms
        add({"printCopiesOnce", "printPagesOnce"}, 1, 100000);
        add({"Threshold", "iouThreshold"}, 0, 1);
        add({"pageSpacing"}, -100000, 100000);
        add({"Version"}, 0, 3);
        add({"Check_Camera_Rotation"}, 0, 359);
        add({"waitCapture"}, 1, 120000); // ms
        add({"waitTcpRet"}, 1, 10000); // ms
        add({"waitTcpRetMax"}, 1, 60000); // ms
        add({"package_size"}, 1, 1024); // KiB
        add({"MinPaperWidthPix"}, 0, 100000);
        add({"MaxRectifyOffset"}, 0, 100000);
        add({"film_roller_num", "collect_roller_num"}, 0, 16);
        add({"enablePrintQR", "markType"}, 0, 100);
        // The plain settings beside the table.
        add({"Show_Camera"}, 0, 16);
        add({"Mark_Camera_Offset_X", "Mark_Camera_Offset_Y", "Check_Camera_Offset_Y", "Tirm_Offset"}, -1e6, 1e6);
        add({"Mark_Camera_Width", "Mark_Camera_Height"}, 1, 100000);
        add({"Mark_Size"}, 0.01, 1000);
        add({"TirmY_Speed"}, 0, 100000);
        add({"Mark_Light", "Check_Light", "Check_BK_Light"}, 0, 100000);
        add({"Collect_Scale", "Tirm_Scale"}, 0.0001, 10000);
        add({"Language"}, 0, 100);
        add({"CheckCameraCenterX"}, -100000, 100000);
        return t;
    }();
    return table;
}

// The stored text as a number of the given kind; nullopt when it is none.
std::optional<double> number(const QVariant &stored, bool whole)
{
    bool ok = false;
    const QString text = stored.toString().trimmed();
    double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    if (whole && v != std::floor(v))
        return std::nullopt;
    return v;
}

std::optional<bool> boolean(const QVariant &stored)
{
    if (stored.typeId() == QMetaType::Bool)
        return stored.toBool();
    const QString text = stored.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return std::nullopt;
}

} // namespace

std::optional<Range> rangeOf(const QString &key)
{
    const auto it = ranges().constFind(key);
    if (it == ranges().constEnd())
        return std::nullopt;
    return *it;
}

QVariant checked(const QString &key, const QVariant &stored, QMetaType::Type type, const QVariant &fallback)
{
    QVariant value;
    const std::optional<Range> range = rangeOf(key);
    const auto inRange = [&](double v, double typeMin, double typeMax) {
        return v >= typeMin && v <= typeMax && (!range || (v >= range->min && v <= range->max));
    };
    switch (type) {
    case QMetaType::Int:
        if (const std::optional<double> v = number(stored, true); v && inRange(*v, -kIntMax - 1, kIntMax))
            value = int(*v);
        break;
    case QMetaType::UInt:
        if (const std::optional<double> v = number(stored, true);
            v && inRange(*v, 0, std::numeric_limits<quint32>::max()))
            value = uint(*v);
        break;
    case QMetaType::Double:
        if (const std::optional<double> v = number(stored, false);
            v && inRange(*v, -std::numeric_limits<double>::max(), std::numeric_limits<double>::max()))
            value = *v;
        break;
    case QMetaType::Float:
        if (const std::optional<double> v = number(stored, false);
            v && inRange(*v, -std::numeric_limits<float>::max(), std::numeric_limits<float>::max()))
            value = float(*v);
        break;
    case QMetaType::Bool:
        if (const std::optional<bool> v = boolean(stored))
            value = *v;
        break;
    default:
        value = stored.toString();
        break;
    }
    if (value.isValid())
        return value;
    qWarning() << "Config::updateValue" << "out of range or not a" << QMetaType(type).name() << ":" << key
               << stored.toString() << "- using the default" << fallback;
    return fallback;
}

int boundedInt(const Config *config, int id, int fallback)
{
    if (!config || !ParamTable::isValidId(id))
        return fallback;
    const QString key = QString::fromLatin1(ParamTable::entry(id).key);
    bool ok = false;
    const int v = config->getProperty(Config::ConfigParamType(id)).toInt(&ok);
    const std::optional<Range> range = rangeOf(key);
    if (!ok || (range && (v < range->min || v > range->max)))
        return fallback;
    return v;
}

} // namespace ParamLimits
