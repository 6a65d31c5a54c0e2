// The real module as the program loads it: no QML warning at all, the icon
// font's glyphs and a Chinese font present.
#include "settings/config.h"
#include "tests/qml/qml_plugins.h"
#include "tests/qml/qml_test_context.h"
#include "app/spoolsmith_app.h"
#include "tests/support/discovery_isolation.h"
#include "tests/support/hang_bound.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
QStringList g_warnings;
QtMessageHandler g_previous = nullptr;

void collectWarnings(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        g_warnings << msg;
    if (g_previous)
        g_previous(type, context, msg);
}
} // namespace

class TstQmlLoad : public QObject
{
    Q_OBJECT

private slots:
    void mainLoadsWithoutWarnings()
    {
        QTemporaryDir programDir;
        Config config(programDir.path(), programDir.filePath(QStringLiteral("config.db")));
        TestDevice device;
        settleMediaDevices();
        g_warnings.clear();
        g_previous = qInstallMessageHandler(collectWarnings);
        {
            QQmlApplicationEngine engine;
            QStringList engineWarnings;
            connect(&engine, &QQmlEngine::warnings, this, [&](const QList<QQmlError> &errors) {
                for (const QQmlError &e : errors)
                    engineWarnings << e.toString();
            });
            prepareQmlEngine(&engine, SpoolsmithApp::instance(), &config, &device);
            engine.load(QUrl(QStringLiteral("qrc:/Spoolsmith2024/Main.qml")));
            QCOMPARE(engine.rootObjects().size(), 1);
            auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
            QVERIFY(window);
            QVERIFY(QTest::qWaitForWindowExposed(window, kHangMs));
            QCOMPARE(window->title(), QStringLiteral("Spoolsmith"));
            QCOMPARE(window->visibility(), QWindow::Maximized);
            // Bindings that fail late report on the next frames.
            for (int i = 0; i < 10; ++i) {
                window->requestUpdate();
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            }
            QVERIFY2(engineWarnings.isEmpty(), qPrintable(engineWarnings.join(QLatin1Char('\n'))));
        }
        qInstallMessageHandler(g_previous);
        QVERIFY2(g_warnings.isEmpty(), qPrintable(g_warnings.join(QLatin1Char('\n'))));
    }

    // Each registered type under its own module name, version 1.0.
    void registeredTypesKeepTheirModules_data()
    {
        QTest::addColumn<QByteArray>("qml");
        QTest::newRow("PltQuickView") << QByteArray("import PltQuickView 1.0\nPltQuickView { file: \"\" }");
        QTest::newRow("FilmView") << QByteArray("import FilmView 1.0\nFilmView { videoOutputWidth: 10 }");
        QTest::newRow("LostLabelView") << QByteArray("import LostLabelView 1.0\nLostLabelView { imageW: 3040; imageH: 3840 }");
        QTest::newRow("QuickItemWidget") << QByteArray("import QuickItemWidget 1.0\nQuickItemWidget {}");
        QTest::newRow("TAVRA_Config enumerations")
            << QByteArray("import QtQml 2.0\nimport TAVRA_Config 1.0\n"
                          "QtObject { property int key: TAVRA_Config.CPT_IP }");
    }
    void registeredTypesKeepTheirModules()
    {
        QFETCH(QByteArray, qml);
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(qml, QUrl());
        std::unique_ptr<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        if (object->property("key").isValid())
            QCOMPARE(object->property("key").toInt(), int(Config::CPT_IP));
    }

    void settingsTypeIsNotCreatable()
    {
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import TAVRA_Config 1.0\nTAVRA_Config {}", QUrl());
        QVERIFY(component.isError());
        QVERIFY2(component.errorString().contains(QStringLiteral("TAVRA_Config only carries the settings enumerations")),
                 qPrintable(component.errorString()));
    }

    void iconFontCarriesTheGlyphs()
    {
        QFont font(QStringLiteral("TavraFont"));
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("TavraFont"));
        const QFontMetrics metrics(font);
        // Tab bar, about button, task controls, camera.
        for (char32_t c : {0xF015, 0xE115, 0xF059, 0xF04B, 0xF04C, 0xF04D, 0xF04A, 0xF144, 0xF1CD, 0xF030})
            QVERIFY2(metrics.inFontUcs4(c), qPrintable(QString::number(c, 16)));
    }

    void chineseTextHasAFont()
    {
        const QStringList families = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
        QVERIFY2(!families.isEmpty(), "no font for Simplified Chinese");
        QFont font;
        const QFontMetrics metrics(font);
        QVERIFY(metrics.horizontalAdvance(QStringLiteral("任务运行中")) > 0);
    }
};

int main(int argc, char **argv)
{
    isolateDiscovery();
    SpoolsmithApp app(argc, argv);
    SpoolsmithApp::setInstance(&app);
    if (!loadIconFont())
        qWarning("tst_qml_load: icon font missing at %s", "built Spoolsmith/res/Tavra.ttf");
    TstQmlLoad tc;
    const int rc = QTest::qExec(&tc, argc, argv);
    SpoolsmithApp::setInstance(nullptr);
    return rc;
}

#include "tst_qml_load.moc"
