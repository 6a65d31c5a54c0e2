// The program as operators see it, photographed: runs the real start-up in
// the current folder, raises an operator message so the error popup shows
// translated text, and writes the window to the PNG named by SPOOLSMITH_SHOT
// once the popup is open and the whole scene at rest.
#include "app/program_entry.h"
#include "app/spoolsmith_app.h"
#include "machine/trv610plus.h"
#include "tests/qml/shot_steps.h"

#include <QImage>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)

namespace {

class Photographer : public ShotSteps
{
public:
    Photographer(SpoolsmithApp &app, QString target)
        : ShotSteps(app, std::move(target), "main_window_shot")
    {
        TRV610Plus::instance()->setErrorMessage(QCoreApplication::translate("SpoolsmithApp", "请等待升级结束"));
    }

private:
    void step() override
    {
        if (!waitFor(window(), "the window on screen"))
            return;
        QObject *popup = window()->findChild<QObject *>(QStringLiteral("errorPopup"));
        if (!waitFor(popup && popup->property("opened").toBool(), "the error popup open"))
            return;
        if (!waitFor(settled(), "the scene at rest"))
            return;
        const QImage image = window()->grabWindow();
        const bool saved = !image.isNull() && image.save(m_target);
        qInfo() << "main_window_shot" << m_target << image.size() << saved;
        finish(saved ? 0 : 3);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    return runProgram(argc, argv, [](SpoolsmithApp &app) {
        new Photographer(app, qEnvironmentVariable("SPOOLSMITH_SHOT"));
    });
}
