#include "settings/param_table.h"

#include <QCoreApplication>

#include <climits>
#include <cmath>

namespace ParamTable {

namespace {

using T = QMetaType::Type;
using G = Group;

const std::array<Entry, kCount> &table()
{
    static const std::array<Entry, kCount> t{{
        {0, "Spoolsmith/Gyroscope_Trigger", T::Double, 3.0, G::Basic, QT_TRANSLATE_NOOP("Config", "陀螺仪触发值")},
        {1, "Spoolsmith/Gyroscope_Limit", T::Double, 20.0, G::Basic, QT_TRANSLATE_NOOP("Config", "陀螺仪限位")},
        {2, "Spoolsmith/Gyroscope_speed", T::Double, 50.0, G::Basic, QT_TRANSLATE_NOOP("Config", "陀螺仪对应速度")},
        {3, "Spoolsmith/Print_Roller_Trigger", T::Double, 80.0, G::Basic, QT_TRANSLATE_NOOP("Config", "打印辊触发值")},
        {4, "Spoolsmith/Print_Roller_Limit", T::Double, 60.0, G::Basic, QT_TRANSLATE_NOOP("Config", "打印辊上限位")},
        {5, "Spoolsmith/Print_Roller_Max", T::Double, 100.0, G::Basic, QT_TRANSLATE_NOOP("Config", "打印辊下限位")},
        {6, "Spoolsmith/Film_Roller_Trigger", T::Double, 80.0, G::Basic, QT_TRANSLATE_NOOP("Config", "覆膜辊触发值")},
        {7, "Spoolsmith/Film_Roller_Limit", T::Double, 60.0, G::Basic, QT_TRANSLATE_NOOP("Config", "覆膜辊上限位")},
        {8, "Spoolsmith/Film_Roller_Max", T::Double, 100.0, G::Basic, QT_TRANSLATE_NOOP("Config", "覆膜辊下限位")},
        {9, "Spoolsmith/Film_Speed", T::Double, 30.0, G::Basic, QT_TRANSLATE_NOOP("Config", "覆膜速度")},
        {10, "Spoolsmith/Collect_Roller_Trigger", T::Double, 80.0, G::Basic, QT_TRANSLATE_NOOP("Config", "收纸辊触发值")},
        {11, "Spoolsmith/Collect_Roller_Limit", T::Double, 60.0, G::Basic, QT_TRANSLATE_NOOP("Config", "收纸辊上限位")},
        {12, "Spoolsmith/Collect_Roller_Max", T::Double, 100.0, G::Basic, QT_TRANSLATE_NOOP("Config", "收纸辊下限位")},
        {13, "Spoolsmith/Collect_Speed", T::Double, 30.0, G::Basic, QT_TRANSLATE_NOOP("Config", "收纸速度")},
        {14, "Spoolsmith/Rectify_Speed", T::Double, 30.0, G::Basic, QT_TRANSLATE_NOOP("Config", "纠偏速度")},
        {15, "Spoolsmith/Rectify_Span", T::Int, 500, G::Hidden, ""},
        {16, "Spoolsmith/Rectify_Len", T::Double, 0.5, G::Hidden, ""},
        {17, "Spoolsmith/Poll_Time_Span", T::Int, 100, G::Hidden, ""},
        {18, "Spoolsmith/printCopiesOnce", T::Int, 1, G::Print, QT_TRANSLATE_NOOP("Config", "打印份数")},
        {19, "Spoolsmith/printPagesOnce", T::Int, 1, G::Print, QT_TRANSLATE_NOOP("Config", "最大页数")},
        {20, "LogSetting/LOG_ERROR", T::Bool, true, G::Log, QT_TRANSLATE_NOOP("Config", "错误")},
        {21, "LogSetting/LOG_WARNNING", T::Bool, true, G::Log, QT_TRANSLATE_NOOP("Config", "警告")},
        {22, "LogSetting/LOG_INFO", T::Bool, true, G::Log, QT_TRANSLATE_NOOP("Config", "信息")},
        {23, "LogSetting/LOG_DEBUG", T::Bool, false, G::Log, QT_TRANSLATE_NOOP("Config", "调试")},
        {24, "Spoolsmith/enableGyroscope", T::Bool, true, G::Hidden, ""},
        {25, "Spoolsmith/enablePrint", T::Bool, true, G::Flow, QT_TRANSLATE_NOOP("Config", "打印")},
        {26, "Spoolsmith/enablePrintRoller", T::Bool, true, G::Flow, QT_TRANSLATE_NOOP("Config", "使用打印辊")},
        {27, "Spoolsmith/enableDrawLine", T::Bool, false, G::Hidden, ""},
        {28, "Spoolsmith/enableRectify", T::Bool, false, G::Hidden, ""},
        {29, "Spoolsmith/enableOCR", T::Bool, false, G::Detection, QT_TRANSLATE_NOOP("Config", "文字识别")},
        {30, "Spoolsmith/enableQRCode", T::Bool, true, G::Detection, QT_TRANSLATE_NOOP("Config", "二维码识别")},
        {31, "Spoolsmith/enableBARCode", T::Bool, true, G::Detection, QT_TRANSLATE_NOOP("Config", "条形码识别")},
        {32, "Spoolsmith/modelPath", T::QString, QStringLiteral("./config.json"), G::Hidden, ""},
        {33, "Spoolsmith/Threshold", T::Double, 0.6, G::Hidden, ""},
        {34, "Spoolsmith/iouThreshold", T::Double, 0.6, G::Hidden, ""},
        {35, "Spoolsmith/enableScanAndTrim", T::Bool, true, G::Hidden, ""},
        {36, "Spoolsmith/pageSpacing", T::Double, 0.0, G::Hidden, ""},
        {37, "Spoolsmith/Version", T::Int, 0, G::Hidden, ""},
        {38, "Spoolsmith/Check_Camera_Rotation", T::Int, 0, G::Hidden, ""},
        {39, "Spoolsmith/saveCheckImg", T::Bool, false, G::Hidden, ""},
        {40, "Spoolsmith/Printer_Name", T::QString, QString(), G::Hidden, ""},
        {41, "Spoolsmith/Printer_Copies", T::Bool, true, G::Print, QT_TRANSLATE_NOOP("Config", "支持多页副本")},
        {42, "Spoolsmith/waitPrint", T::Bool, false, G::Hidden, ""},
        {43, "Spoolsmith/waitCapture", T::Int, 10000, G::Hidden, ""},
        {44, "Spoolsmith/waitTcpRet", T::Int, 500, G::Hidden, ""},
        {45, "Spoolsmith/waitTcpRetMax", T::Int, 10000, G::Hidden, ""},
        {46, "Spoolsmith/RIIN_Path", T::QString, QString(), G::Print, QT_TRANSLATE_NOOP("Config", "RIIN路径")},
        {47, "Spoolsmith/RIIN_Input", T::QString, QString(), G::Print, QT_TRANSLATE_NOOP("Config", "热文件夹路径")},
        {48, "Spoolsmith/enable_RIIN_Input", T::Bool, false, G::Print, QT_TRANSLATE_NOOP("Config", "热文件夹")},
        {49, "Spoolsmith/Printer_Soft_Path", T::QString, QString(), G::Print, QT_TRANSLATE_NOOP("Config", "打印机软件路径")},
        {50, "Spoolsmith/package_size", T::Int, 1, G::Hidden, ""},
        {51, "Spoolsmith/MinPaperWidthPix", T::Int, 1000, G::Hidden, ""},
        {52, "Spoolsmith/MaxRectifyOffset", T::Int, 15, G::Hidden, ""},
        {53, "Spoolsmith/film_roller_num", T::Int, 1, G::Hidden, ""},
        {54, "Spoolsmith/collect_roller_num", T::Int, 1, G::Hidden, ""},
        {55, "Spoolsmith/enablePrintQR", T::Int, 0, G::Print, QT_TRANSLATE_NOOP("Config", "打印标记类型")},
        {56, "Spoolsmith/markType", T::Int, 0, G::Basic, QT_TRANSLATE_NOOP("Config", "切割标记类型")},
        {57, "Spoolsmith/plt_dir", T::QString, QString(), G::Basic, QT_TRANSLATE_NOOP("Config", "切割文件路径")},
        {58, "Spoolsmith/Cut_Inverse", T::Bool, false, G::Basic, QT_TRANSLATE_NOOP("Config", "反切")},
        // Empty: online services skip an empty host, so nothing leaves the
        // machine until an operator names a server.
        {59, "Spoolsmith/IP", T::QString, QString(), G::Hidden, ""},
    }};
    return t;
}

} // namespace

const Entry &entry(int id)
{
    Q_ASSERT(isValidId(id));
    return table()[size_t(id)];
}

bool isValidId(int id)
{
    return id >= 0 && id < kCount;
}

const std::array<int, 56> &registrationOrder()
{
    static const std::array<int, 56> order{
        0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 9, 13, 14, 57, 58, 56, 37, 38,
        16, 15, 51, 52, 17, 50, 53, 54, 20, 21, 22, 23, 25, 26, 35, 28, 27, 24,
        40, 42, 43, 44, 45, 36, 39, 29, 30, 31, 32, 33, 34, 59, 18, 19, 41, 55};
    return order;
}

const std::array<int, 4> &version2Extras()
{
    static const std::array<int, 4> extras{46, 47, 48, 49};
    return extras;
}

QVariant convert(const QVariant &value, QMetaType::Type type)
{
    if (value.typeId() == type)
        return value;
    bool ok = false;
    switch (type) {
    case QMetaType::Int: {
        int v = value.toInt(&ok);
        if (!ok) {
            // "3.0" or 2.7 from QML: take the whole part rather than zero.
            const double d = value.toDouble(&ok);
            // Beyond the int range the cast is undefined: zero instead.
            ok = ok && std::isfinite(d) && d >= double(INT_MIN) && d <= double(INT_MAX);
            v = ok ? int(d) : 0;
        }
        return v;
    }
    case QMetaType::UInt: {
        const uint v = value.toUInt(&ok);
        return ok ? v : 0u;
    }
    case QMetaType::Double: {
        const double v = value.toDouble(&ok);
        return ok ? v : 0.0;
    }
    case QMetaType::Float: {
        const float v = value.toFloat(&ok);
        return ok ? v : 0.0f;
    }
    case QMetaType::Bool: {
        if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray) {
            const QString s = value.toString().trimmed().toLower();
            return s == QLatin1String("true") || s == QLatin1String("1");
        }
        return value.toBool();
    }
    case QMetaType::QString:
        return value.toString();
    default:
        return value;
    }
}

} // namespace ParamTable
