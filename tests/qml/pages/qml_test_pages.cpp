// Runs the page tests of one folder (-input) against the real application
// object, the real settings in a temporary program folder and the real
// driver linked in memory to the machine simulator (`sim` reaches it).
// SPOOLSMITH_TEST_LANGUAGE=en runs them in English, as the program does with
// English chosen.
#include "app/cut_scene_settings.h"
#include "app/language/translation_file.h"
#include "app/spoolsmith_app.h"
#include "tests/qml/pages/page_test_sim.h"
#include "tests/qml/qml_plugins.h"
#include "tests/qml/qml_test_context.h"
#include "tests/support/device_fixture.h"
#include "tests/support/discovery_isolation.h"
#include "vision/image_provider.h"

#include <QDir>
#include <QFile>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTranslator>
#include <QtQuickTest/quicktest.h>

#include <cstdio>

namespace {

class PagesContext : public QObject
{
    Q_OBJECT
public:
    PagesContext(SpoolsmithApp *app, DeviceFixture *fixture, PageTestSim *sim)
        : m_app(app)
        , m_fixture(fixture)
        , m_sim(sim)
    {
    }

public slots:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        prepareQmlEngine(engine, m_app, m_fixture->config.get(), m_fixture->device.get());
        engine->rootContext()->setContextProperty(QStringLiteral("sim"), m_sim);
        // Each test file has an engine of its own; the program hands its one
        // provider to its one engine, so each gets a provider on the same
        // pictures.
        SpoolsmithApp *app = m_app;
        engine->addImageProvider(QLatin1String(ImageProvider::kId),
                                 new ImageProvider([app](const QString &url) { return app->imageForUrl(url); }));
        m_sim->watchWarnings(engine);
    }

private:
    SpoolsmithApp *m_app;
    DeviceFixture *m_fixture;
    PageTestSim *m_sim;
};

// The pages read pictures and translations relative to the program folder.
void linkProgramFiles(const QString &programDir)
{
    const QString bin = qEnvironmentVariable("SPOOLSMITH_BUILD_BIN");
    if (bin.isEmpty())
        return;
    for (const QString &name : {QStringLiteral("Spoolsmith"), QStringLiteral("translations")})
        QFile::link(QDir(bin).filePath(name), QDir(programDir).filePath(name));
}

bool installEnglish(QTranslator &translator)
{
    const QString dir = qEnvironmentVariable("SPOOLSMITH_BUILD_BIN") + QStringLiteral("/translations");
    if (!translator.load(TranslationFile::name(), dir)) {
        std::fprintf(stderr, "page tests: no translation in %s\n", qPrintable(dir));
        return false;
    }
    QCoreApplication::installTranslator(&translator);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    isolateDiscovery();
    SpoolsmithApp app(argc, argv);
    SpoolsmithApp::setInstance(&app);
    app.setQuitOnLastWindowClosed(false);
    loadIconFont();
    settleMediaDevices();

    DeviceFixture fixture;
    if (!fixture.makeSettings(DeviceFixture::Folder::Program) || !fixture.startSimulator()) {
        std::fprintf(stderr, "page tests: no settings folder or simulator\n");
        return 2;
    }
    linkProgramFiles(fixture.dir->path());
    QTranslator translator;
    if (qEnvironmentVariable("SPOOLSMITH_TEST_LANGUAGE") == QLatin1String("en")) {
        if (!installEnglish(translator))
            return 2;
        fixture.config->setLanguage(1);
        // The parameter names are translated as they are read.
        fixture.config->initParams(false);
    }
    fixture.makeDevice(DeviceFixture::Driver::Registered);
    // As the program entry does: the sort switch and the pen settings live
    // in the application's cut scene.
    CutSceneSettings::install([&app] { return app.cutScene(); });
    if (!fixture.link()) {
        std::fprintf(stderr, "page tests: the driver did not link to the simulator\n");
        return 2;
    }

    int rc = 0;
    {
        PageTestSim sim(&fixture);
        PagesContext context(&app, &fixture, &sim);
        rc = quick_test_main_with_setup(argc, argv, "pages", nullptr, &context);
    }
    fixture.tearDown();
    SpoolsmithApp::setInstance(nullptr);
    return rc;
}

#include "qml_test_pages.moc"
