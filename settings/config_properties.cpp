// The typed properties of the settings object.
#include "settings/config.h"

#include "core/property_store.h"

#define SPOOLSMITH_PLAIN_GETTER(type, name, member)         \
    type Config::name() const                               \
    {                                                       \
        std::lock_guard<std::recursive_mutex> lock(m_lock); \
        return member;                                      \
    }

// Signal first, then the key, as every persisted setter does.
#define SPOOLSMITH_PLAIN_SETTER(type, setter, member, key, persist, signal)      \
    void Config::setter(type v)                                                   \
    {                                                                             \
        spoolsmith::storeAndNotify(m_lock, member, std::decay_t<type>(v), [&] {   \
            emit signal();                                                        \
            if (persist)                                                          \
                writeKey(QStringLiteral(key), QVariant::fromValue(v));            \
        });                                                                       \
    }

SPOOLSMITH_PLAIN_GETTER(QString, ident, m_ident)
SPOOLSMITH_PLAIN_SETTER(const QString &, setIdent, m_ident, "Spoolsmith/Ident", true, identChanged)
SPOOLSMITH_PLAIN_GETTER(QString, markCamera, m_markCamera)
SPOOLSMITH_PLAIN_SETTER(const QString &, setMarkCamera, m_markCamera, "Spoolsmith/Mark_Camera", true, markCameraChanged)
SPOOLSMITH_PLAIN_GETTER(QString, checkCamera, m_checkCamera)
SPOOLSMITH_PLAIN_GETTER(int, showCamera, m_showCamera)
SPOOLSMITH_PLAIN_GETTER(bool, trim, m_trim)
SPOOLSMITH_PLAIN_SETTER(bool, setTrim, m_trim, "Spoolsmith/Trim", true, trimChanged)
SPOOLSMITH_PLAIN_GETTER(double, markCameraOffsetX, m_markCameraOffsetX)
SPOOLSMITH_PLAIN_SETTER(double, setMarkCameraOffsetX, m_markCameraOffsetX, "Spoolsmith/Mark_Camera_Offset_X", true, markCameraOffsetXChanged)
SPOOLSMITH_PLAIN_GETTER(double, markCameraOffsetY, m_markCameraOffsetY)
SPOOLSMITH_PLAIN_SETTER(double, setMarkCameraOffsetY, m_markCameraOffsetY, "Spoolsmith/Mark_Camera_Offset_Y", true, markCameraOffsetYChanged)
SPOOLSMITH_PLAIN_GETTER(double, checkCameraOffsetY, m_checkCameraOffsetY)
SPOOLSMITH_PLAIN_SETTER(double, setCheckCameraOffsetY, m_checkCameraOffsetY, "Spoolsmith/Check_Camera_Offset_Y", true, checkCameraOffsetYChanged)
SPOOLSMITH_PLAIN_GETTER(bool, autoRoll, m_autoRoll)
SPOOLSMITH_PLAIN_SETTER(bool, setAutoRoll, m_autoRoll, "Spoolsmith/AutoRoll", true, autoRollChanged)
// The mark-camera picture size and mark size are forced at every start, so
// their run-time changes are not kept.
SPOOLSMITH_PLAIN_GETTER(int, markCameraWidth, m_markCameraWidth)
SPOOLSMITH_PLAIN_SETTER(int, setMarkCameraWidth, m_markCameraWidth, "", false, markCameraWidthChanged)
SPOOLSMITH_PLAIN_GETTER(int, markCameraHeight, m_markCameraHeight)
SPOOLSMITH_PLAIN_SETTER(int, setMarkCameraHeight, m_markCameraHeight, "", false, markCameraHeightChanged)
SPOOLSMITH_PLAIN_GETTER(double, markSize, m_markSize)
SPOOLSMITH_PLAIN_SETTER(double, setMarkSize, m_markSize, "", false, markSizeChanged)
SPOOLSMITH_PLAIN_GETTER(int, tirmYSpeed, m_tirmYSpeed)
SPOOLSMITH_PLAIN_SETTER(int, setTirmYSpeed, m_tirmYSpeed, "Spoolsmith/TirmY_Speed", true, tirmYSpeedChanged)
SPOOLSMITH_PLAIN_GETTER(double, tirmOffset, m_tirmOffset)
SPOOLSMITH_PLAIN_SETTER(double, setTirmOffset, m_tirmOffset, "Spoolsmith/Tirm_Offset", true, tirmOffsetChanged)
SPOOLSMITH_PLAIN_GETTER(int, markLight, m_markLight)
SPOOLSMITH_PLAIN_SETTER(int, setMarkLight, m_markLight, "Spoolsmith/Mark_Light", true, markLightChanged)
SPOOLSMITH_PLAIN_GETTER(int, checkBKLight, m_checkBKLight)
SPOOLSMITH_PLAIN_SETTER(int, setCheckBKLight, m_checkBKLight, "Spoolsmith/Check_BK_Light", true, checkBKLightChanged)
SPOOLSMITH_PLAIN_GETTER(int, checkLight, m_checkLight)
SPOOLSMITH_PLAIN_SETTER(int, setCheckLight, m_checkLight, "Spoolsmith/Check_Light", true, checkLightChanged)
SPOOLSMITH_PLAIN_GETTER(double, collectScale, m_collectScale)
SPOOLSMITH_PLAIN_SETTER(double, setCollectScale, m_collectScale, "Spoolsmith/Collect_Scale", true, collectScaleChanged)
SPOOLSMITH_PLAIN_GETTER(double, tirmScale, m_tirmScale)
SPOOLSMITH_PLAIN_SETTER(double, setTirmScale, m_tirmScale, "Spoolsmith/Tirm_Scale", true, tirmScaleChanged)
SPOOLSMITH_PLAIN_GETTER(int, language, m_language)
SPOOLSMITH_PLAIN_SETTER(int, setLanguage, m_language, "Spoolsmith/Language", true, languageChanged)
SPOOLSMITH_PLAIN_GETTER(double, checkCameraCenterX, m_checkCameraCenterX)
SPOOLSMITH_PLAIN_SETTER(double, writeCheckCameraCenterX, m_checkCameraCenterX, "", false, checkCameraCenterXChanged)
SPOOLSMITH_PLAIN_GETTER(bool, rectifyInit, m_rectifyInit)
SPOOLSMITH_PLAIN_SETTER(bool, setRectifyInit, m_rectifyInit, "", false, rectifyInitChanged)
SPOOLSMITH_PLAIN_GETTER(bool, rectifyReset, m_rectifyReset)
SPOOLSMITH_PLAIN_GETTER(bool, trimReset, m_trimReset)

// The reset flags are triggers: every write signals.
void Config::setRectifyReset(bool v)
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        m_rectifyReset = v;
    }
    emit rectifyResetCanged();
}

void Config::setTrimReset(bool v)
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        m_trimReset = v;
    }
    emit trimResetChanged();
}

bool Config::usedQMLCamera() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_usedQMLCamera.value(m_showCamera, true);
}

void Config::setUsedQMLCamera(bool v)
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        m_usedQMLCamera[m_showCamera] = v;
    }
    emit usedQMLCameraChanged();
}

// Table-backed properties: the value lives in the parameter table and every
// write goes through setProperty, which also emits the change signal.

int Config::checkCameraRotation() const { return getProperty(CPT_Check_Camera_Rotation).toInt(); }
void Config::setCheckCameraRotation(int v) { setProperty(CPT_Check_Camera_Rotation, v); }

double Config::gyroscopeTrigger() const { return getProperty(CPT_Gyroscope_Trigger).toDouble(); }
void Config::setGyroscopeTrigger(double v)
{
    if (gyroscopeTrigger() == v)
        return;
    setProperty(CPT_Gyroscope_Trigger, v);
}

#define SPOOLSMITH_TABLE_DOUBLE(getter, setter, id)  \
    double Config::getter() const                     \
    {                                                 \
        return getProperty(id).toDouble();            \
    }                                                 \
    void Config::setter(double v)                     \
    {                                                 \
        if (spoolsmith::sameValue(getter(), v))       \
            return;                                   \
        setProperty(id, v);                           \
    }

SPOOLSMITH_TABLE_DOUBLE(gyroscopeLimit, setGyroscopeLimit, CPT_Gyroscope_Limit)
SPOOLSMITH_TABLE_DOUBLE(printRollerTrigger, setPrintRollerTrigger, CPT_Print_Roller_Trigger)
SPOOLSMITH_TABLE_DOUBLE(printRollerLimit, setPrintRollerLimit, CPT_Print_Roller_Limit)
SPOOLSMITH_TABLE_DOUBLE(printRollerMax, setPrintRollerMax, CPT_Print_Roller_Max)
SPOOLSMITH_TABLE_DOUBLE(filmRollerTrigger, setFilmRollerTrigger, CPT_Film_Roller_Trigger)
SPOOLSMITH_TABLE_DOUBLE(filmRollerLimit, setFilmRollerLimit, CPT_Film_Roller_Limit)
SPOOLSMITH_TABLE_DOUBLE(filmRollerMax, setFilmRollerMax, CPT_Film_Roller_Max)
SPOOLSMITH_TABLE_DOUBLE(collectRollerTrigger, setCollectRollerTrigger, CPT_Collect_Roller_Trigger)
SPOOLSMITH_TABLE_DOUBLE(collectRollerLimit, setCollectRollerLimit, CPT_Collect_Roller_Limit)
SPOOLSMITH_TABLE_DOUBLE(collectRollerMax, setCollectRollerMax, CPT_Collect_Roller_Max)

bool Config::enableGyroscope() const { return getProperty(CPT_Enable_Gyroscope).toBool(); }
void Config::setEnableGyroscope(bool v) { setProperty(CPT_Enable_Gyroscope, v); }
bool Config::enablePrint() const { return getProperty(CPT_Enable_Print).toBool(); }
void Config::setEnablePrint(bool v) { setProperty(CPT_Enable_Print, v); }
bool Config::enablePrintRoller() const { return getProperty(CPT_Enable_Print_Roller).toBool(); }
void Config::setEnablePrintRoller(bool v) { setProperty(CPT_Enable_Print_Roller, v); }
bool Config::enableRectify() const { return getProperty(CPT_Enable_Rectify).toBool(); }
void Config::setEnableRectify(bool v)
{
    if (enableRectify() == v)
        return;
    setProperty(CPT_Enable_Rectify, v);
}
bool Config::enableScanAndTrim() const { return getProperty(CPT_Enable_ScanAndTrim).toBool(); }
void Config::setEnableScanAndTrim(bool v) { setProperty(CPT_Enable_ScanAndTrim, v); }
double Config::pageSpacing() const { return getProperty(CPT_PageSpacing).toDouble(); }
void Config::setPageSpacing(double v) { setProperty(CPT_PageSpacing, v); }
