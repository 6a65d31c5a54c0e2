#include "app/program_entry.h"

#include "app/language/translation_file.h"
#include "settings/config.h"
#include "app/cut_scene_settings.h"
#include "platform/camera/hk_camera.h"
#include "vision/image_provider.h"
#include "app/logging.h"
#include "platform/prompt/prompt.h"
#include "app/single_instance.h"
#include "app/spoolsmith_app.h"
#include "machine/trv610plus.h"

#include <QDebug>
#include <QCamera>
#include <QFontDatabase>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QScopeGuard>
#include <QTextCodec>
#include <QTranslator>
#include <QtQml>
#include <QtQml/qqmlextensionplugin.h>

// The QML types the pages use, each its own module declared beside its class.
Q_IMPORT_QML_PLUGIN(PltQuickViewPlugin)
Q_IMPORT_QML_PLUGIN(FilmViewPlugin)
Q_IMPORT_QML_PLUGIN(LostLabelViewPlugin)
Q_IMPORT_QML_PLUGIN(TAVRA_ConfigPlugin)
Q_IMPORT_QML_PLUGIN(QuickItemWidgetPlugin)

namespace {

constexpr int kRestartCode = 777;

void installTranslation(Config &config)
{
    if (config.language() == 0)
        return;
    auto *translator = new QTranslator(qApp);
    const QString dir = TranslationFile::folder();
    if (translator->load(TranslationFile::name(), dir))
        QCoreApplication::installTranslator(translator);
    else
        qWarning() << "runProgram" << "no translation in" << dir;
    config.initParams(false);
}

} // namespace

int runProgram(int argc, char *argv[], const std::function<void(SpoolsmithApp &)> &beforeLoop)
{
    initLog();
    // Last, after every object below has gone: the counts it still holds.
    const auto logClosing = qScopeGuard([] { closeLog(); });

    // The on-screen keyboard is the input method unless the environment chose one.
    if (qEnvironmentVariableIsEmpty("QT_IM_MODULE"))
        qputenv("QT_IM_MODULE", "qtvirtualkeyboard");

    SpoolsmithApp app(argc, argv);
    SpoolsmithApp::setInstance(&app);
    if (argc > 1 && qstrcmp(argv[1], "test") == 0)
        app.setEnabledTest(true);

    QTextCodec::setCodecForLocale(QTextCodec::codecForName("utf-8"));

    // Test runs side by side on one machine each name their own segment.
    SingleInstance guard(qEnvironmentVariable("SPOOLSMITH_INSTANCE_KEY", QStringLiteral("Spoolsmith.exe")));
    if (!guard.acquire()) {
        Prompt::instance()->transientInformation(QStringLiteral("Spoolsmith 2024"),
                                                 QStringLiteral("Instance Is Running!"), 3000);
        SpoolsmithApp::setInstance(nullptr);
        return -1;
    }

    if (QFontDatabase::addApplicationFont(QStringLiteral("./Spoolsmith/res/Tavra.ttf")) == -1)
        qWarning() << "Failed to load TavraFont.ttf";

    Config config;
    Config::setInstance(&config);
    CutSceneSettings::install([&app] { return app.cutScene(); });
    config.setInformationHook(
        [](const QString &title, const QString &text) { Prompt::instance()->information(title, text); });
    config.setIndustrialCameraLister([] { return HKCamera::instance()->serialNumbers(); });
    TRV610Plus device;
    TRV610Plus::setInstance(&device);
    device.setIdent(config.ident());
    QObject::connect(&config, &Config::exitRequested, &app, &SpoolsmithApp::exitApp);

    installTranslation(config);
    app.initApp();

    int code = 0;
    {
        QQmlApplicationEngine engine;
        engine.rootContext()->setContextProperty(QStringLiteral("app"), &app);
        engine.rootContext()->setContextProperty(QStringLiteral("config"), &config);
        engine.rootContext()->setContextProperty(QStringLiteral("device"), &device);
        engine.addImageProvider(QLatin1String(ImageProvider::kId), app.takeImageProvider());
        engine.rootContext()->setContextProperty(QStringLiteral("checkCamera"), app.checkCamera());
        QObject::connect(
            &engine, &QQmlApplicationEngine::objectCreationFailed, &app,
            [](const QUrl &url) { qCritical() << "runProgram" << "objectCreationFailed" << url; },
            Qt::QueuedConnection);
        engine.load(QUrl(QStringLiteral("qrc:/Spoolsmith2024/Main.qml")));
        if (engine.rootObjects().isEmpty())
            qCritical() << "runProgram" << "objectCreationFailed" << "qrc:/Spoolsmith2024/Main.qml";

        app.connectCamera(&engine);
        qDebug() << "main" << "main" << "LOAD QML";

        if (beforeLoop)
            beforeLoop(app);

        code = app.exitCode() != 0 ? app.exitCode() : app.exec();
        app.shutdown();
        if (code == kRestartCode) {
            // The new program must find the segment free; giving it up only
            // when this process returns races the new start.
            guard.release();
            if (!QProcess::startDetached(QCoreApplication::applicationFilePath(), {}, QString()))
                qCritical() << "runProgram" << "restart failed";
            code = 0;
        }
    }
    TRV610Plus::setInstance(nullptr);
    CutSceneSettings::install(nullptr);
    Config::setInstance(nullptr);
    SpoolsmithApp::setInstance(nullptr);
    return code;
}
