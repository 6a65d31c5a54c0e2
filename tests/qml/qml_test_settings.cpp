// Runs the settings-dialog cases against the real settings object, whose
// files live in a temp folder laid out like the program folder. The machine
// version (SPOOLSMITH_TEST_VERSION) and the language (SPOOLSMITH_TEST_LANGUAGE
// "en") are chosen per run, as they are fixed for the life of the program.
// Any warning fails the case that printed it. Run as root, it runs without
// root's rights over files.
#include "settings/config.h"
#include "tests/qml/qml_test_context.h"
#include "tests/qml/settings_files.h"
#include "app/spoolsmith_app.h"
#include "tests/support/discovery_isolation.h"
#include "tests/support/file_rights.h"

#include <QDir>
#include <QFile>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)
Q_IMPORT_QML_PLUGIN(TAVRA_ConfigPlugin)

class SettingsTestSetup : public QObject
{
    Q_OBJECT
public:
    SettingsTestSetup(SpoolsmithApp *app, Config *config, TRV610Plus *device, SettingsFiles *files)
        : m_app(app), m_config(config), m_device(device), m_files(files)
    {
    }

public slots:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        prepareQmlEngine(engine, m_app, m_config, m_device);
        engine->rootContext()->setContextProperty(QStringLiteral("settingsFiles"), m_files);
    }

private:
    SpoolsmithApp *m_app;
    Config *m_config;
    TRV610Plus *m_device;
    SettingsFiles *m_files;
};

int main(int argc, char **argv)
{
    // A case makes the settings files read-only, which root would ignore.
    dropFileRights();
    isolateDiscovery();
    SpoolsmithApp app(argc, argv);
    SpoolsmithApp::setInstance(&app);
    app.setQuitOnLastWindowClosed(false);
    loadIconFont();
    settleMediaDevices();

    QTranslator translator;
    const bool english = qEnvironmentVariable("SPOOLSMITH_TEST_LANGUAGE") == QLatin1String("en");
    if (english) {
        const QString dir = qEnvironmentVariable("SPOOLSMITH_BUILD_BIN") + QStringLiteral("/translations");
        if (!translator.load(QStringLiteral("Spoolsmith_en_US.qm"), dir)) {
            qCritical("qml_test_settings: no translation in %s", qPrintable(dir));
            return 2;
        }
        QCoreApplication::installTranslator(&translator);
    }

    // config.ini with the machine version, as a machine of that version
    // leaves it; the defaults file is copied from it at the first start.
    QTemporaryDir programDir;
    const int version = qEnvironmentVariableIntValue("SPOOLSMITH_TEST_VERSION");
    {
        QFile ini(programDir.filePath(QStringLiteral("config.ini")));
        if (!ini.open(QIODevice::WriteOnly))
            return 2;
        ini.write(QStringLiteral("[Spoolsmith]\nVersion=%1\nLanguage=%2\n").arg(version).arg(english ? 1 : 0).toUtf8());
    }
    Config config(programDir.path(), programDir.filePath(QStringLiteral("config.db")));
    Config::setInstance(&config);
    TestDevice device;
    TRV610Plus::setInstance(&device);
    SettingsFiles files(programDir.path());

    SettingsTestSetup setup(&app, &config, &device, &files);
    const int rc = quick_test_main_with_setup(argc, argv, "settings", nullptr, &setup);
    TRV610Plus::setInstance(nullptr);
    Config::setInstance(nullptr);
    SpoolsmithApp::setInstance(nullptr);
    return rc;
}

#include "qml_test_settings.moc"
