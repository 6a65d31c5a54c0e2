#include "machine/state/device_conditions.h"

#include <QCoreApplication>

namespace DeviceConditions {

QString banner(qulonglong state, const QString &limitText, bool scanAndTrim)
{
    const struct
    {
        qulonglong bit;
        const char *text;
    } banners[] = {
        {Gyroscope, scanAndTrim ? QT_TRANSLATE_NOOP("TRV610Plus", " 送纸限位 ") : QT_TRANSLATE_NOOP("TRV610Plus", " 排废限位 ")},
        {PrintRollerLimit, QT_TRANSLATE_NOOP("TRV610Plus", " 打印容纸限位 ")},
        {PrintRollerFull, QT_TRANSLATE_NOOP("TRV610Plus", " 打印容纸过多 ")},
        {FilmRollerLimit, QT_TRANSLATE_NOOP("TRV610Plus", " 覆膜容纸限位 ")},
        {FilmRollerFull, QT_TRANSLATE_NOOP("TRV610Plus", " 覆膜容纸过多 ")},
        {CollectRollerLimit, QT_TRANSLATE_NOOP("TRV610Plus", " 收纸容纸限位 ")},
        {CollectRollerFull, QT_TRANSLATE_NOOP("TRV610Plus", " 收纸容纸过多 ")},
        {Rectify, QT_TRANSLATE_NOOP("TRV610Plus", " 纠偏错误 ")},
        {DefectFailed, QT_TRANSLATE_NOOP("TRV610Plus", " 缺陷检测失败 ")},
    };
    QString text = limitText;
    for (const auto &b : banners) {
        if (state & b.bit)
            text += QCoreApplication::translate("TRV610Plus", b.text);
    }
    return text;
}

bool moveXAllowed(int direction, qulonglong state)
{
    switch (direction) {
    case -1: return (state & (FilmRollerLimit | CollectRollerFull)) == 0;
    case 0: return true;
    case 1: return (state & (FilmRollerFull | CollectRollerLimit)) == 0;
    default: return false;
    }
}

} // namespace DeviceConditions
