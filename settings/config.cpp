#include "settings/config.h"

#include "settings/defaults_file.h"
#include "settings/live_settings.h"
#include "settings/production_counters.h"
#include "settings/param_limits.h"
#include "settings/param_table.h"
#include "settings/settings_file_writer.h"
#include "settings/settings_files.h"
#include "settings/settings_save_watch.h"

#include "core/property_store.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <atomic>

namespace {
std::atomic<Config *> g_config{nullptr};

// How long a start, a restore and the end wait for config.ini to be written.
constexpr int kFlushMs = 5000;

bool looksDamaged(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && !SettingsFiles::isIniText(file.readAll());
}

// Values restored from the defaults file or saved from the dialog pass the
// checks of a start: the wrong form or out of range gives the table's
// default, logged, never a zero or a value the next start would replace.
QVariant checkedParam(int id, const QVariant &value)
{
    if (!ParamTable::isValidId(id))
        return value;
    const ParamTable::Entry &e = ParamTable::entry(id);
    return ParamLimits::checked(QString::fromLatin1(e.key), value, e.type, e.defaultValue);
}
} // namespace

Config *Config::instance()
{
    return g_config.load();
}

void Config::setInstance(Config *config)
{
    g_config.store(config);
}

Config::Config(const QString &programDir, QObject *parent)
    : Config(programDir, QStringLiteral("config.db"), parent)
{
}

Config::Config(const QString &programDir, const QString &databasePath, QObject *parent)
    : Config(programDir, databasePath, {}, parent)
{
}

Config::Config(const QString &programDir, const QString &databasePath, std::function<QDateTime()> clock,
               QObject *parent)
    : QObject(parent)
    , m_programDir(programDir.isEmpty() ? QCoreApplication::applicationDirPath() : programDir)
{
    m_db = std::make_unique<DbConfig>(databasePath);
    m_counters = std::make_unique<ProductionCounters>(
        *m_db, std::move(clock),
        [this](const std::function<void(QSettings &)> &f) {
            std::lock_guard<std::recursive_mutex> lock(m_lock);
            if (m_settings)
                f(*m_settings);
        },
        [this](int changed) { emitCounterChanges(changed); });

    m_defaultPath = m_programDir + QStringLiteral("/configDefault.ini");
    m_configPath = m_programDir + QStringLiteral("/config.ini");
    m_defaultSaves = std::make_unique<SettingsSaveWatch>(SettingsSaveWatch::Saved::Defaults, m_defaultPath);
    connect(m_defaultSaves.get(), &SettingsSaveWatch::notSaved, this, &Config::settingsNotSaved);
    m_defaults = std::make_unique<DefaultsFile>(
        m_defaultPath, [this](quint64 id, bool onDisk, const SettingsFiles::Failure &failure) {
            m_defaultSaves->written(id, onDisk, failure);
        });

    initParams(false);
    initParams(true);

    if (!QFile::exists(m_defaultPath) && QFile::exists(m_configPath)) {
        syncSettings();
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        // A damaged config.ini must not become what restoring defaults restores.
        if (m_liveUnreadable) {
            qCritical() << "Config::Config" << "config.ini unreadable - configDefault.ini from the table defaults";
            SettingsFiles::writeTableDefaults(m_defaultPath);
        } else {
            SettingsFiles::replaceFile(m_configPath, m_defaultPath);
        }
    }
}

Config::~Config()
{
    // The counters' last try of the store and the last write of the file,
    // before what the writer reads goes.
    m_counters->end();
    m_writer.reset();
    m_defaults.reset();
    m_counters.reset();
}

void Config::syncSettings()
{
    if (m_writer)
        m_writer->flush(kFlushMs);
}

void Config::openLiveStore()
{
    if (m_settings)
        return;
    m_liveIsConfigIni = QFile::exists(m_configPath);
    const QString path = m_liveIsConfigIni ? m_configPath : m_programDir + QStringLiteral("/tmp.ini");
    m_livePath = path;
    // A setVersion killed midway leaves its leftovers beside config.ini too.
    SettingsFiles::removeLeftovers(m_configPath);
    SettingsFiles::removeLeftovers(path);
    m_settings = std::make_unique<LiveSettings>();
    const QSettings::Status status = m_settings->load(path);
    m_liveSaves = std::make_unique<SettingsSaveWatch>(SettingsSaveWatch::Saved::Settings, path);
    connect(m_liveSaves.get(), &SettingsSaveWatch::notSaved, this, &Config::settingsNotSaved);
    m_writer = std::make_unique<SettingsFileWriter>(
        path,
        [this](quint64 id) {
            SettingsFileWriter::Snapshot changes;
            changes.keys = m_counters->snapshot(id, [&] {
                std::lock_guard<std::recursive_mutex> lock(m_lock);
                changes.changed = m_settings->takeChanged();
                return m_settings->keys();
            });
            changes.owned = ProductionCounters::sections();
            return changes;
        },
        [this](quint64 id, bool onDisk, const SettingsFiles::Failure &failure) {
            {
                std::lock_guard<std::recursive_mutex> lock(m_lock);
                m_settings->written(onDisk);
            }
            m_counters->written(id, onDisk, failure.why);
            m_liveSaves->written(id, onDisk, failure);
        });
    switch (status) {
    case QSettings::NoError:
        m_liveUnreadable = looksDamaged(path);
        if (m_liveUnreadable)
            qCritical() << "Config::openLiveStore" << "malformed" << path << "- using defaults for unreadable keys";
        break;
    case QSettings::AccessError:
        m_liveUnreadable = true;
        qCritical() << "Config::openLiveStore" << "cannot read" << path << "- using defaults";
        break;
    case QSettings::FormatError:
        m_liveUnreadable = true;
        qCritical() << "Config::openLiveStore" << "malformed" << path << "- using defaults for unreadable keys";
        break;
    }
}

QString Config::liveStorePath() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_livePath;
}

void Config::writeKey(const QString &key, const QVariant &value)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_settings) {
        m_settings->set(key, value);
        m_writer->soon();
    }
}

QVariant Config::readKey(const QString &key, const QVariant &def) const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_settings ? m_settings->value(key, def) : def;
}

void Config::setIndustrialCameraLister(std::function<QStringList()> lister)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_cameraLister = std::move(lister);
}

void Config::setInformationHook(std::function<void(const QString &, const QString &)> hook)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_informationHook = std::move(hook);
}

QStringList Config::getModuleName() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_modules.values();
}

QList<int> Config::getModules() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_modules.keys();
}

bool Config::containModules(int module) const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_modules.contains(module);
}

QStringList Config::getShowPropertiesClass() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_groups.keys();
}

QList<int> Config::getShowProperties(const QString &group) const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_groups.value(group);
}

QString Config::getPropertyName(ConfigParamType key) const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_params.value(key).showName;
}

void Config::setPropertyName(ConfigParamType key, const QString &name)
{
    QVariant value;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        auto it = m_params.find(key);
        if (it == m_params.end())
            return;
        it->showName = name;
        value = it->value;
    }
    emit propertyChanged(key, value);
}

QVariant Config::getProperty(ConfigParamType key) const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    auto it = m_params.constFind(key);
    return it == m_params.constEnd() ? QVariant(0) : it->value;
}

QVariant Config::tableValue(ConfigParamType key) const
{
    return getProperty(key);
}

void Config::setProperty(ConfigParamType key, const QVariant &value)
{
    QVariant typed;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        auto it = m_params.find(key);
        if (it == m_params.end())
            return;
        typed = ParamTable::convert(value, ParamTable::entry(key).type);
        if (m_settings) {
            m_settings->set(it->key, typed);
            m_writer->soon();
        }
        it->value = typed;
    }
    emit propertyChanged(key, typed);
    cascade(key, typed);
}

void Config::cascade(ConfigParamType key, const QVariant &value)
{
    switch (key) {
    case CPT_Enable_Print:
        if (version() == 1)
            setEnableGyroscope(value.toBool());
        if (value.toBool() && !getProperty(CPT_Enable_Print_Roller).toBool())
            setProperty(CPT_Enable_Print_Roller, true);
        break;
    case CPT_Enable_Print_Roller:
        if (!value.toBool() && getProperty(CPT_Enable_Print).toBool())
            setProperty(CPT_Enable_Print, false);
        break;
    case CPT_Enable_ScanAndTrim:
        if (!value.toBool())
            setShowCamera(0);
        else
            setProperty(CPT_Enable_Rectify, false);
        break;
    default:
        break;
    }
    emitTypedSignal(key);
}

// Every table-backed property hears about its own change, whoever made it,
// so QML bindings on config.* never go stale.
void Config::emitTypedSignal(ConfigParamType key)
{
    switch (key) {
    case CPT_Gyroscope_Trigger: emit gyroscopeTriggerChanged(); break;
    case CPT_Gyroscope_Limit: emit gyroscopeLimitChanged(); break;
    case CPT_Print_Roller_Trigger: emit printRollerTriggerChanged(); break;
    case CPT_Print_Roller_Limit: emit printRollerLimitChanged(); break;
    case CPT_Print_Roller_Max: emit printRollerMaxChanged(); break;
    case CPT_Film_Roller_Trigger: emit filmRollerTriggerChanged(); break;
    case CPT_Film_Roller_Limit: emit filmRollerLimitChanged(); break;
    case CPT_Film_Roller_Max: emit filmRollerMaxChanged(); break;
    case CPT_Collect_Roller_Trigger: emit collectRollerTriggerChanged(); break;
    case CPT_Collect_Roller_Limit: emit collectRollerLimitChanged(); break;
    case CPT_Collect_Roller_Max: emit collectRollerMaxChanged(); break;
    case CPT_Enable_Gyroscope: emit enableGyroscopeChanged(); break;
    case CPT_Enable_Print: emit enablePrintChanged(); break;
    case CPT_Enable_Print_Roller: emit enablePrintRollerChanged(); break;
    case CPT_Enable_Rectify: emit enableRectifyChanged(); break;
    case CPT_Enable_ScanAndTrim: emit enableScanAndTrimChanged(); break;
    case CPT_PageSpacing: emit pageSpacingChanged(); break;
    case CPT_Version: emit versionChanged(); break;
    case CPT_Check_Camera_Rotation: emit checkCameraRotationChanged(); break;
    default: break;
    }
}

QVariant Config::getDefaultProperty(ConfigParamType key) const
{
    QString iniKey;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        auto it = m_params.constFind(key);
        if (it == m_params.constEnd())
            return QVariant(0);
        iniKey = it->key;
    }
    return m_defaults->values().value(iniKey);
}

void Config::saveDefaultProperty(ConfigParamType key, const QVariant &value)
{
    QString iniKey;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        auto it = m_params.constFind(key);
        if (it == m_params.constEnd())
            return;
        iniKey = it->key;
    }
    m_defaults->save({{iniKey, value}});
}

void Config::saveTmp(ConfigParamType key, const QVariant &value)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_pending.insert(key, value);
}

QMap<int, QVariant> Config::pendingEdits() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_pending;
}

void Config::saveCfg()
{
    QMap<int, QVariant> pending;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        pending.swap(m_pending);
    }
    for (auto it = pending.cbegin(); it != pending.cend(); ++it)
        setProperty(ConfigParamType(it.key()), checkedParam(it.key(), it.value()));
    // Saved by the operator: on disk at once, not waited for; the operator
    // hears if it cannot be.
    if (m_writer)
        m_liveSaves->expect(m_writer->now());
}

void Config::saveDefaultCfg()
{
    QMap<QString, QVariant> values;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        for (const QList<int> &members : std::as_const(m_groups))
            for (int id : members)
                values.insert(m_params.value(id).key, m_params.value(id).value);
    }
    m_defaultSaves->expect(m_defaults->save(values));
}

void Config::resetDefaultCfg()
{
    QList<QPair<int, QString>> visible;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        m_pending.clear();
        for (const QList<int> &members : std::as_const(m_groups))
            for (int id : members)
                visible.append({id, m_params.value(id).key});
    }
    const QMap<QString, QVariant> defaults = m_defaults->values();
    for (const auto &[id, key] : visible) {
        // A key the defaults file lacks keeps its value: storing an empty
        // value would turn a number into zero and a switch off.
        if (!defaults.contains(key)) {
            qWarning() << "Config::resetDefaultCfg" << "no default for" << key;
            continue;
        }
        setProperty(ConfigParamType(id), checkedParam(id, defaults.value(key)));
    }
}

bool Config::isShowPorperty(const QString &group) const
{
    QString detection, print, flow;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        detection = m_titleDetection;
        print = m_titlePrint;
        flow = m_titleFlow;
    }
    if (group == detection)
        return getProperty(CPT_Enable_ScanAndTrim).toBool();
    if (group == print)
        return getProperty(CPT_Enable_Print).toBool();
    if (group == flow)
        return version() != 3;
    return true;
}

bool Config::isShowPorperty(ConfigParamType key) const
{
    if (key >= CPT_Gyroscope_Trigger && key <= CPT_Gyroscope_speed)
        return getProperty(CPT_Enable_Gyroscope).toBool();
    if (key >= CPT_Print_Roller_Trigger && key <= CPT_Print_Roller_Max)
        return getProperty(CPT_Enable_Print_Roller).toBool();
    return true;
}

void Config::setCheckCameraName(const QString &name)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_checkCameraName = name;
}

QString Config::checkCameraName() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_checkCameraName;
}

int Config::version() const
{
    return getProperty(CPT_Version).toInt();
}

bool Config::installVariant(int version)
{
    const QString source = QStringLiteral("%1/config/config%2.ini").arg(m_programDir).arg(version);
    qInfo() << "Config::setVersion" << source;
    if (QFile::exists(source))
        return SettingsFiles::replaceFile(source, m_configPath);
    qCritical() << "Config::setVersion" << "missing" << source << "- config.ini starts empty";
    QFile::remove(m_configPath);
    QFile empty(m_configPath);
    if (empty.open(QIODevice::WriteOnly))
        return true;
    qCritical() << "Config::setVersion" << "cannot create" << m_configPath << empty.errorString();
    return false;
}

void Config::setVersion(int version)
{
    enum class Install { None, Done, Failed };
    Install install = Install::None;
    bool firstFailure = false;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        if (!m_liveIsConfigIni) {
            install = installVariant(version) ? Install::Done : Install::Failed;
            // A restart would come back here without config.ini and try
            // again, for ever: the run stays on tmp.ini and says so once.
            firstFailure = install == Install::Failed && !m_variantInstallFailed;
            m_variantInstallFailed = m_variantInstallFailed || install == Install::Failed;
        }
    }
    if (install == Install::Failed)
        qCritical() << "Config::setVersion" << "cannot write" << m_configPath
                    << "- no restart, the settings stay in tmp.ini for this run";
    if (install == Install::Done || firstFailure) {
        const QString text = install == Install::Done
            ? tr("机器连接成功，重启完成初始化")
            : tr("无法写入设置文件 %1（目录只读或磁盘已满），本次运行使用临时设置").arg(m_configPath);
        std::function<void(const QString &, const QString &)> inform;
        {
            std::lock_guard<std::recursive_mutex> lock(m_lock);
            inform = m_informationHook;
        }
        if (inform)
            inform(QCoreApplication::applicationName(), text);
        else
            qInfo() << "Config::setVersion" << text;
        if (install == Install::Done)
            emit exitRequested(777);
    }
    setProperty(CPT_Version, version);
}

bool Config::usedQMLCameraAt(int camera) const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_usedQMLCamera.value(camera, true);
}

void Config::setCheckCamera(const QString &id)
{
    std::function<QStringList()> lister;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        lister = m_cameraLister;
    }
    const QStringList serials = lister ? lister() : QStringList();
    bool changed = false;
    bool shownFlagChanged = false;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        const bool qmlCamera = !serials.contains(id);
        // The pane shows frames or the live picture by this flag: it must
        // hear of a change of the camera it shows, not only of a switch.
        shownFlagChanged = m_showCamera == 1 && m_usedQMLCamera.value(1, true) != qmlCamera;
        m_usedQMLCamera[1] = qmlCamera;
        if (id != m_checkCamera) {
            m_checkCamera = id;
            changed = true;
        }
    }
    if (shownFlagChanged)
        emit usedQMLCameraChanged();
    if (!changed)
        return;
    setProperty(CPT_Check_Camera_Rotation, checkCameraName() == QLatin1String("USB Camera") ? 90 : 0);
    emit checkCameraChanged();
    writeKey(QStringLiteral("Spoolsmith/Check_Camera"), id);
}

void Config::setShowCamera(int camera)
{
    if (!spoolsmith::storeAndNotify(m_lock, m_showCamera, camera, [this] { emit showCameraChanged(); }))
        return;
    writeKey(QStringLiteral("Spoolsmith/Show_Camera"), camera);
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        if (!m_usedQMLCamera.contains(camera))
            m_usedQMLCamera.insert(camera, true);
    }
    emit usedQMLCameraChanged();
}
