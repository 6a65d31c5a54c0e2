// Runs the Qt Quick test cases of one folder (-input) against the real
// application object, settings object and driver.
#include "settings/config.h"
#include "tests/qml/qml_test_context.h"
#include "app/spoolsmith_app.h"
#include "tests/support/discovery_isolation.h"

#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)
Q_IMPORT_QML_PLUGIN(TAVRA_ConfigPlugin)

int main(int argc, char **argv)
{
    isolateDiscovery();
    SpoolsmithApp app(argc, argv);
    SpoolsmithApp::setInstance(&app);
    // Main closing must not end the test run.
    app.setQuitOnLastWindowClosed(false);
    loadIconFont();
    settleMediaDevices();

    QTemporaryDir programDir;
    Config config(programDir.path(), programDir.filePath(QStringLiteral("config.db")));
    Config::setInstance(&config);
    TestDevice device;
    TRV610Plus::setInstance(&device);

    QmlTestContext context(&app, &config, &device);
    const int rc = quick_test_main_with_setup(argc, argv, "qml", nullptr, &context);
    TRV610Plus::setInstance(nullptr);
    Config::setInstance(nullptr);
    SpoolsmithApp::setInstance(nullptr);
    return rc;
}
