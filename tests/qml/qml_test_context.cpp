#include "tests/qml/qml_test_context.h"

#include "settings/config.h"
#include "app/spoolsmith_app.h"
#include "tests/support/hang_bound.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QMediaDevices>
#include <QQmlContext>
#include <QQmlEngine>

QmlTestContext::QmlTestContext(SpoolsmithApp *app, Config *config, TRV610Plus *device)
    : m_app(app)
    , m_config(config)
    , m_device(device)
{
}

void QmlTestContext::qmlEngineAvailable(QQmlEngine *engine)
{
    prepareQmlEngine(engine, m_app, m_config, m_device);
}

void prepareQmlEngine(QQmlEngine *engine, SpoolsmithApp *app, Config *config, TRV610Plus *device)
{
    engine->addImportPath(QStringLiteral("qrc:/"));
    engine->rootContext()->setContextProperty(QStringLiteral("app"), app);
    engine->rootContext()->setContextProperty(QStringLiteral("config"), config);
    engine->rootContext()->setContextProperty(QStringLiteral("device"), device);
    // The bound of every tryCompare and tryVerify of the test cases.
    engine->rootContext()->setContextProperty(QStringLiteral("hangMs"), kHangMs);
}

bool loadIconFont()
{
    return QFontDatabase::addApplicationFont(QStringLiteral(TAVRA_FONT)) != -1;
}

void settleMediaDevices()
{
    static QMediaDevices *devices = nullptr;
    if (!devices)
        devices = new QMediaDevices(QCoreApplication::instance());
}
