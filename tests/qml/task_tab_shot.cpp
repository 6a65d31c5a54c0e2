// The task tab with each of its popups open, photographed: runs the real
// start-up in the current folder and writes the start popup (the picture
// SPOOLSMITH_SHOT names), then beside it the copies drop-down ("_copies"),
// the error popup with a refused start's message ("_error_popup") and the
// cut-file dialog ("_file_dialog").
// Exits with 4 when a text of the tab's header or popups is cut off.
#include "app/program_entry.h"
#include "app/spoolsmith_app.h"
#include "tests/qml/shot_steps.h"

#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

#include <functional>
#include <vector>

Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)

namespace {

// Texts of the item's tree that were elided or cut: names them in the log.
int cutTexts(QObject *root)
{
    int cut = 0;
    const auto items = root->findChildren<QQuickItem *>();
    for (QQuickItem *item : items) {
        if (!item->isVisible() || !item->metaObject()->inherits(&QQuickItem::staticMetaObject))
            continue;
        const QVariant truncated = item->property("truncated");
        if (truncated.isValid() && truncated.toBool()) {
            qCritical() << "task_tab_shot" << "text cut off:" << item->property("text").toString();
            ++cut;
        }
    }
    return cut;
}

QObject *popupOf(QObject *tab, const char *name)
{
    return tab->findChild<QObject *>(QLatin1String(name), Qt::FindChildrenRecursively);
}

struct Step
{
    std::function<void(QObject *tab)> act;
    const char *shows; // the popup or dialog the act opens
    QString suffix;    // picture taken once it is open; empty: the first picture
    std::function<void(QObject *tab)> after;
};

class Photographer : public ShotSteps
{
public:
    Photographer(SpoolsmithApp &app, QString target)
        : ShotSteps(app, std::move(target), "task_tab_shot")
    {
        m_steps = {
            { [](QObject *tab) { QMetaObject::invokeMethod(popupOf(tab, "startPopup"), "open"); }, "startPopup",
              QString(), [](QObject *tab) { QMetaObject::invokeMethod(popupOf(tab, "startPopup"), "close"); } },
            { [](QObject *tab) {
                  // The drop-down opens as an operator's click opens it.
                  QObject *button = popupOf(tab, "cutCopiesButton");
                  QMetaObject::invokeMethod(button, "clicked");
              },
              "copiesPopup", QStringLiteral("_copies"),
              [](QObject *tab) { QMetaObject::invokeMethod(popupOf(tab, "copiesPopup"), "close"); } },
            { [&app](QObject *tab) {
                  // A start refused for its copies and the missing machine; the
                  // copies set as the operator sets them, on the buttons.
                  popupOf(tab, "cutCopiesButton")->setProperty("text", QStringLiteral("0"));
                  popupOf(tab, "printCopiesButton")->setProperty("text", QStringLiteral("0"));
                  app.startTask(false);
              },
              "errorPopup", QStringLiteral("_error_popup"),
              [](QObject *tab) { QMetaObject::invokeMethod(popupOf(tab, "errorPopup"), "close"); } },
            { [](QObject *tab) {
                  QObject *dialog = popupOf(tab, "taskFileDialog");
                  dialog->setProperty("cut_file", true);
                  QMetaObject::invokeMethod(dialog, "open");
              },
              "taskFileDialog", QStringLiteral("_file_dialog"),
              [](QObject *tab) { QMetaObject::invokeMethod(popupOf(tab, "taskFileDialog"), "reject"); } },
        };
    }

private:
    void step() override
    {
        if (!waitFor(window(), "the window on screen"))
            return;
        QObject *tab = window()->findChild<QObject *>(QStringLiteral("taskStackPage"));
        if (!tab)
            return fail(QStringLiteral("no task tab"), 2);
        if (m_index >= 0 && !m_taken) {
            const Step &step = m_steps[m_index];
            if (!waitFor(isOpen(popupOf(tab, step.shows)), step.shows) || !waitFor(settled(), "the scene at rest"))
                return;
            const QString file = step.suffix.isEmpty() ? m_target : pictureBeside(m_target, step.suffix);
            const QImage image = window()->grabWindow();
            for (const char *part : {"copiesRow", "startPopup", "copiesPopup", "errorPopup"}) {
                if (QObject *o = popupOf(tab, part))
                    m_faults += cutTexts(o);
            }
            if (image.isNull() || !image.save(file))
                return fail(QStringLiteral("not saved: %1").arg(file), 3);
            qInfo() << "task_tab_shot" << file << image.size();
            if (step.after)
                step.after(tab);
            m_taken = true;
            changed();
        }
        // The next act once the popup before it has gone.
        if (!waitFor(settled(), "the scene at rest before the next popup"))
            return;
        if (++m_index >= int(m_steps.size()))
            return finish(m_faults ? 4 : 0);
        m_steps[m_index].act(tab);
        m_taken = false;
        changed();
    }

    std::vector<Step> m_steps;
    int m_index = -1;
    bool m_taken = false; // the picture of the step at m_index
    int m_faults = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    return runProgram(argc, argv, [](SpoolsmithApp &app) {
        new Photographer(app, qEnvironmentVariable("SPOOLSMITH_SHOT"));
    });
}
