// Reading every key with its default at start, and writing all back.
#include "settings/config.h"

#include "settings/production_counters.h"
#include "settings/param_limits.h"
#include "settings/param_table.h"

#include <QDebug>
#include <QSettings>

void Config::initParams(bool save)
{
    if (!save) {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        m_groups.clear();
        m_titleLog = tr("日志输出设置");
        m_titleBasic = tr("基础设置");
        m_titleDetection = tr("检测设置");
        m_titlePrint = tr("打印设置");
        m_titleFlow = tr("流程设置");
    }
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        openLiveStore();
    }
    // Outside the settings' lock: the counters' lock is taken before it.
    m_counters->setWriter(m_writer.get());

    updateValue(QStringLiteral("Spoolsmith/Ident"), m_ident, QString(), save);
    updateValue(QStringLiteral("Spoolsmith/Mark_Camera"), m_markCamera, QString(), save);
    updateValue(QStringLiteral("Spoolsmith/Check_Camera"), m_checkCamera, QString(), save);
    updateValue(QStringLiteral("Spoolsmith/Show_Camera"), m_showCamera, 0, save);
    updateValue(QStringLiteral("Spoolsmith/Trim"), m_trim, false, save);
    updateValue(QStringLiteral("Spoolsmith/Mark_Camera_Offset_X"), m_markCameraOffsetX, 0.0, save);
    updateValue(QStringLiteral("Spoolsmith/Mark_Camera_Offset_Y"), m_markCameraOffsetY, 0.0, save);
    updateValue(QStringLiteral("Spoolsmith/Check_Camera_Offset_Y"), m_checkCameraOffsetY, 0.0, save);
    updateValue(QStringLiteral("Spoolsmith/AutoRoll"), m_autoRoll, false, save);
    updateValue(QStringLiteral("Spoolsmith/Mark_Camera_Width"), m_markCameraWidth, 320, save);
    updateValue(QStringLiteral("Spoolsmith/Mark_Camera_Height"), m_markCameraHeight, 240, save);
    updateValue(QStringLiteral("Spoolsmith/Mark_Size"), m_markSize, 3.5, save);
    updateValue(QStringLiteral("Spoolsmith/TirmY_Speed"), m_tirmYSpeed, 150, save);
    updateValue(QStringLiteral("Spoolsmith/Tirm_Offset"), m_tirmOffset, 500.0, save);
    updateCounterValues(save);
    updateValue(QStringLiteral("Spoolsmith/Mark_Light"), m_markLight, 0, save);
    updateValue(QStringLiteral("Spoolsmith/Check_Light"), m_checkLight, 0, save);
    updateValue(QStringLiteral("Spoolsmith/Check_BK_Light"), m_checkBKLight, 0, save);
    updateValue(QStringLiteral("Spoolsmith/Collect_Scale"), m_collectScale, 1.0, save);
    updateValue(QStringLiteral("Spoolsmith/Tirm_Scale"), m_tirmScale, 1.0, save);
    updateValue(QStringLiteral("Spoolsmith/Language"), m_language,
                QLocale::system().language() == QLocale::English ? 1 : 0, save);
    updateValue(QStringLiteral("Spoolsmith/CheckCameraCenterX"), m_checkCameraCenterX, 635.0, save);

    registerTableParams(save);

    if (save) {
        // The store follows the INI file, which wins at start unless the
        // store is ahead of it; then the day the clock names. The file is
        // written at once, and waited for only when the store does not
        // hold what the counters show.
        if (!std::exchange(m_countersBegun, true))
            m_counters->begin();
        else
            syncSettings();
        return;
    }
    applyStartRules();
}

void Config::registerTableParams(bool save)
{
    auto registerOne = [&](int id) {
        const ParamTable::Entry &e = ParamTable::entry(id);
        const QString label = e.label[0] ? tr(e.label) : QString();
        const QString key = QString::fromLatin1(e.key);
        const auto cid = ConfigParamType(id);
        const QString group = groupTitle(int(e.group));
        switch (e.type) {
        case QMetaType::Int: updateValue(key, e.defaultValue.toInt(), save, cid, group, label); break;
        case QMetaType::Double: updateValue(key, e.defaultValue.toDouble(), save, cid, group, label); break;
        case QMetaType::Bool: updateValue(key, e.defaultValue.toBool(), save, cid, group, label); break;
        default: updateValue(key, e.defaultValue.toString(), save, cid, group, label); break;
        }
    };
    for (int id : ParamTable::registrationOrder())
        registerOne(id);
    if (getProperty(CPT_Version).toInt() == 2) {
        for (int id : ParamTable::version2Extras())
            registerOne(id);
    }
}

QString Config::groupTitle(int group) const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    switch (ParamTable::Group(group)) {
    case ParamTable::Group::Basic: return m_titleBasic;
    case ParamTable::Group::Log: return m_titleLog;
    case ParamTable::Group::Flow: return m_titleFlow;
    case ParamTable::Group::Detection: return m_titleDetection;
    case ParamTable::Group::Print: return m_titlePrint;
    case ParamTable::Group::Hidden: break;
    }
    return QString();
}

void Config::applyStartRules()
{
    bool autoRollWasOn = false;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        autoRollWasOn = m_autoRoll;
        m_autoRoll = false;
    }
    // The automatic roll mode is never on after a start.
    if (autoRollWasOn) {
        emit autoRollChanged();
        writeKey(QStringLiteral("Spoolsmith/AutoRoll"), false);
    }

    if (version() == 1)
        setEnableGyroscope(enablePrint());

    if (enableScanAndTrim()) {
        setProperty(CPT_Enable_Rectify, false);
    } else {
        bool trimWasOn = false;
        {
            std::lock_guard<std::recursive_mutex> lock(m_lock);
            trimWasOn = m_trim;
            m_trim = false;
        }
        if (trimWasOn) {
            emit trimChanged();
            writeKey(QStringLiteral("Spoolsmith/Trim"), false);
        }
        setShowCamera(0);
    }

    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_modules.insert(MT_Control, tr("控制模块"));
    m_modules.insert(MT_Driver, tr("驱动模块"));
    m_modules.insert(MT_Sensor, tr("检测模块"));
    if (m_params.value(CPT_Version).value.toInt() == 1)
        m_modules.insert(MT_Trim, tr("裁断模块"));
}

void Config::registerParam(const QString &key, const QVariant &def, bool save, ConfigParamType id,
                           const QString &group, const QString &label)
{
    const QMetaType::Type type = QMetaType::Type(def.typeId());
    if (save) {
        QVariant current = getProperty(id);
        {
            std::lock_guard<std::recursive_mutex> lock(m_lock);
            if (!m_params.contains(id))
                current = QVariant();
        }
        writeKey(key, current.isValid() ? current : def);
        return;
    }
    const QVariant value = ParamLimits::checked(key, readKey(key, def), type, def);
    qInfo() << "Config::updateValue" << "read cfg: " << key << value;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    ParamInfo &info = m_params[id];
    info.type = id;
    info.key = key;
    info.value = value;
    if (!label.isEmpty()) {
        info.showName = label;
        m_groups[group].append(id);
    }
}

void Config::updateValue(const QString &key, const int &def, bool save, ConfigParamType id,
                         const QString &group, const QString &label)
{
    registerParam(key, QVariant(def), save, id, group, label);
}

void Config::updateValue(const QString &key, const double &def, bool save, ConfigParamType id,
                         const QString &group, const QString &label)
{
    registerParam(key, QVariant(def), save, id, group, label);
}

void Config::updateValue(const QString &key, const QString &def, bool save, ConfigParamType id,
                         const QString &group, const QString &label)
{
    registerParam(key, QVariant(def), save, id, group, label);
}

void Config::updateValue(const QString &key, const bool &def, bool save, ConfigParamType id,
                         const QString &group, const QString &label)
{
    registerParam(key, QVariant(def), save, id, group, label);
}

template <typename T>
void Config::updatePlain(const QString &key, T &member, const T &def, bool save)
{
    if (save) {
        T current;
        {
            std::lock_guard<std::recursive_mutex> lock(m_lock);
            current = member;
        }
        if constexpr (std::is_same_v<T, QDate>)
            writeKey(key, current.toString(Qt::ISODate));
        else if constexpr (std::is_same_v<T, float>)
            writeKey(key, double(current));
        else
            writeKey(key, QVariant::fromValue(current));
        return;
    }
    const QVariant stored = readKey(key, QVariant::fromValue(def));
    T value;
    if constexpr (std::is_same_v<T, QDate>) {
        value = stored.typeId() == QMetaType::QDate ? stored.toDate()
                                                     : QDate::fromString(stored.toString(), Qt::ISODate);
    } else {
        value = ParamLimits::checked(key, stored, QMetaType::Type(QMetaType::fromType<T>().id()),
                                     QVariant::fromValue(def))
                    .template value<T>();
    }
    qInfo() << "Config::updateValue" << "read cfg: " << key << value;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    member = value;
}

void Config::updateValue(const QString &key, int &member, int def, bool save) { updatePlain(key, member, def, save); }
void Config::updateValue(const QString &key, uint &member, uint def, bool save) { updatePlain(key, member, def, save); }
void Config::updateValue(const QString &key, float &member, float def, bool save) { updatePlain(key, member, def, save); }
void Config::updateValue(const QString &key, double &member, double def, bool save) { updatePlain(key, member, def, save); }
void Config::updateValue(const QString &key, QDate &member, const QDate &def, bool save) { updatePlain(key, member, def, save); }
void Config::updateValue(const QString &key, QString &member, const QString &def, bool save) { updatePlain(key, member, def, save); }
void Config::updateValue(const QString &key, bool &member, bool def, bool save) { updatePlain(key, member, def, save); }
