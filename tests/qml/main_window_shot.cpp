// The program as operators see it, photographed: runs the real start-up in
// the current folder, raises an operator message so the error popup shows
// translated text, and writes the window to the PNG named by SPOOLSMITH_SHOT.
#include "app/program_entry.h"
#include "app/spoolsmith_app.h"
#include "tests/qml/exposed_window.h"
#include "machine/trv610plus.h"

#include <QElapsedTimer>
#include <QImage>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)

namespace {

void photograph(SpoolsmithApp &app)
{
    const QString target = qEnvironmentVariable("SPOOLSMITH_SHOT");
    TRV610Plus::instance()->setErrorMessage(QCoreApplication::translate("SpoolsmithApp", "请等待升级结束"));
    auto *clock = new QElapsedTimer;
    clock->start();
    auto *poll = new QTimer(&app);
    QObject::connect(poll, &QTimer::timeout, &app, [&app, poll, clock, target] {
        QQuickWindow *window = exposedQuickWindow();
        // Give the popup's 83 ms entrance and the first frames time to settle.
        if (!window || clock->elapsed() < 1500) {
            if (clock->elapsed() > 20000) {
                qCritical() << "main_window_shot" << "no window exposed";
                app.exitApp(2);
            }
            return;
        }
        poll->stop();
        const QImage image = window->grabWindow();
        const bool saved = !image.isNull() && image.save(target);
        qInfo() << "main_window_shot" << target << image.size() << saved;
        app.exitApp(saved ? 0 : 3);
    });
    poll->start(100);
}

} // namespace

int main(int argc, char *argv[])
{
    return runProgram(argc, argv, photograph);
}
