// The task tab with each of its popups open, photographed: runs the real
// start-up in the current folder and writes the start popup (the picture
// SPOOLSMITH_SHOT names), then beside it the copies drop-down ("_copies"),
// the error popup with a refused start's message ("_error_popup") and the
// cut-file dialog ("_file_dialog").
// Exits with 4 when a text of the tab's header or popups is cut off.
#include "app/program_entry.h"
#include "app/spoolsmith_app.h"
#include "tests/qml/exposed_window.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

#include <functional>
#include <vector>

Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)

namespace {

QString besides(const QString &first, const QString &suffix)
{
    const QFileInfo info(first);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + suffix + QStringLiteral(".png");
}

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
    QString suffix; // picture taken after the act settled; empty: none
    std::function<void(QObject *tab)> after;
};

void photograph(SpoolsmithApp &app)
{
    const QString target = qEnvironmentVariable("SPOOLSMITH_SHOT");
    auto *steps = new std::vector<Step>{
        { [](QObject *tab) { QMetaObject::invokeMethod(popupOf(tab, "startPopup"), "open"); }, QString(),
          [](QObject *tab) { QMetaObject::invokeMethod(popupOf(tab, "startPopup"), "close"); } },
        { [](QObject *tab) {
              // The drop-down opens as an operator's click opens it.
              QObject *button = popupOf(tab, "cutCopiesButton");
              QMetaObject::invokeMethod(button, "clicked");
          },
          QStringLiteral("_copies"),
          [](QObject *tab) { QMetaObject::invokeMethod(popupOf(tab, "copiesPopup"), "close"); } },
        { [&app](QObject *tab) {
              // A start refused for its copies and the missing machine; the
              // copies set as the operator sets them, on the buttons.
              popupOf(tab, "cutCopiesButton")->setProperty("text", QStringLiteral("0"));
              popupOf(tab, "printCopiesButton")->setProperty("text", QStringLiteral("0"));
              app.startTask(false);
          },
          QStringLiteral("_error_popup"),
          [](QObject *tab) { QMetaObject::invokeMethod(popupOf(tab, "errorPopup"), "close"); } },
        { [](QObject *tab) {
              QObject *dialog = popupOf(tab, "taskFileDialog");
              dialog->setProperty("cut_file", true);
              QMetaObject::invokeMethod(dialog, "open");
          },
          QStringLiteral("_file_dialog"),
          [](QObject *tab) { QMetaObject::invokeMethod(popupOf(tab, "taskFileDialog"), "reject"); } },
    };
    auto *clock = new QElapsedTimer;
    clock->start();
    auto *index = new int(-1);
    auto *faults = new int(0);
    auto *poll = new QTimer(&app);
    QObject::connect(poll, &QTimer::timeout, &app, [&app, poll, clock, target, steps, index, faults] {
        QQuickWindow *window = exposedQuickWindow();
        if (!window || clock->elapsed() < 1000) {
            if (clock->elapsed() > 20000) {
                qCritical() << "task_tab_shot" << "no window exposed";
                app.exitApp(2);
            }
            return;
        }
        QObject *tab = window->findChild<QObject *>(QStringLiteral("taskStackPage"));
        if (!tab) {
            qCritical() << "task_tab_shot" << "no task tab";
            poll->stop();
            app.exitApp(2);
            return;
        }
        if (*index >= 0) {
            const Step &step = (*steps)[*index];
            const QString file = step.suffix.isEmpty() ? target : besides(target, step.suffix);
            const QImage image = window->grabWindow();
            for (const char *part : {"copiesRow", "startPopup", "copiesPopup", "errorPopup"}) {
                if (QObject *o = popupOf(tab, part))
                    *faults += cutTexts(o);
            }
            if (image.isNull() || !image.save(file)) {
                qCritical() << "task_tab_shot" << "not saved" << file;
                poll->stop();
                app.exitApp(3);
                return;
            }
            qInfo() << "task_tab_shot" << file << image.size();
            if (step.after)
                step.after(tab);
        }
        ++*index;
        if (*index >= int(steps->size())) {
            poll->stop();
            app.exitApp(*faults ? 4 : 0);
            return;
        }
        (*steps)[*index].act(tab);
        // The popups' 83 ms entrance and a frame or two.
        clock->restart();
        poll->setInterval(600);
    });
    poll->start(100);
}

} // namespace

int main(int argc, char *argv[])
{
    return runProgram(argc, argv, photograph);
}
