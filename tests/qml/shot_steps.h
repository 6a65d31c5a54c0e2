#pragma once

#include "app/spoolsmith_app.h"
#include "tests/qml/exposed_window.h"
#include "tests/support/hang_bound.h"

#include <QByteArray>
#include <QDebug>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QString>
#include <QTimer>

#include <atomic>

// The picture named beside the first one: "<name><suffix>.png".
inline QString pictureBeside(const QString &first, const QString &suffix)
{
    const QFileInfo info(first);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + suffix + QStringLiteral(".png");
}

// A popup open and in place, or a dialog shown.
inline bool isOpen(QObject *o)
{
    if (!o)
        return false;
    return o->inherits("QQuickPopup") ? o->property("opened").toBool() : o->property("visible").toBool();
}

// What of the scene is still on its way (a loader, picture or folder listing
// loading, a popup sliding in or out, a stack view between pages), or empty
// when nothing is.
inline QString stillMoving(QObject *root)
{
    const auto objects = root->findChildren<QObject *>();
    for (QObject *o : objects) {
        // Loader.Loading, Image.Loading and FolderListModel.Loading are all 2.
        const bool moving =
            ((o->inherits("QQuickLoader") || o->inherits("QQuickImageBase") || o->inherits("QQuickFolderListModel"))
             && o->property("status").toInt() == 2)
            || (o->inherits("QQuickPopup") && o->property("visible").toBool() != o->property("opened").toBool())
            || (o->inherits("QQuickStackView") && o->property("busy").toBool());
        if (moving)
            return QString::fromLatin1(o->metaObject()->className()) + QLatin1Char(' ') + o->objectName();
    }
    return QString();
}

// Counts the paint events of the widget it filters: a native child window
// is on screen as painted once one more has passed.
class PaintCount : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// Drives a shot program: step() runs every 100 ms in the event loop until
// finish() ends the program with its exit code. A shot waits for what it
// photographs, never for a fixed time: each wait ends once its condition
// holds, and one that has not held within kHangMs is a hang (code 2).
class ShotSteps : public QObject
{
public:
    ShotSteps(SpoolsmithApp &app, QString target, const char *name)
        : QObject(&app)
        , m_app(app)
        , m_target(std::move(target))
        , m_name(name)
    {
        connect(&m_tick, &QTimer::timeout, this, [this] { step(); });
        m_tick.start(100);
    }

protected:
    virtual void step() = 0;

    void finish(int code)
    {
        m_tick.stop();
        m_app.exitApp(code);
    }

    void fail(const QString &why, int code)
    {
        qCritical() << m_name << why;
        finish(code);
    }

    enum class Wait { Holds, Waiting, Over };

    // Where the wait named `what` stands: its condition holds, or it goes on
    // (call again on a later step with the same name), or it has gone on for
    // kHangMs and is over, the condition not met.
    Wait await(bool holds, const char *what)
    {
        const bool current = m_waitingFor == what;
        if (holds) {
            if (current)
                m_waitingFor.clear();
            return Wait::Holds;
        }
        if (!current) {
            m_waitingFor = what;
            m_waitClock.start();
            return Wait::Waiting;
        }
        if (m_waitClock.elapsed() <= kHangMs)
            return Wait::Waiting;
        m_waitingFor.clear();
        return Wait::Over;
    }

    // True once `holds`; a wait that is over is a hang and fails the program.
    bool waitFor(bool holds, const char *what)
    {
        const Wait w = await(holds, what);
        if (w == Wait::Over)
            fail(QStringLiteral("waited %1 ms in vain for %2 (scene: %3)")
                     .arg(kHangMs)
                     .arg(QLatin1String(what), m_unrest.isEmpty() ? QStringLiteral("at rest") : m_unrest),
                 2);
        return w == Wait::Holds;
    }

    // The program's window once it is on screen; its frames are followed
    // from then on. A frame takes the scene as it is when it synchronizes
    // (the GUI thread waits then), so each frame carries the count of
    // changes made before that, and the last one on screen tells which
    // changes it shows. Both signals may come on the render thread.
    QQuickWindow *window()
    {
        if (!m_window) {
            m_window = exposedQuickWindow();
            if (m_window) {
                connect(m_window, &QQuickWindow::beforeSynchronizing, this,
                        [this] { m_syncedChanges = m_changes.load(); }, Qt::DirectConnection);
                connect(m_window, &QQuickWindow::frameSwapped, this,
                        [this] { m_shownChanges = m_syncedChanges.load(); }, Qt::DirectConnection);
            }
        }
        return m_window;
    }

    // The scene was changed: settled() waits for a frame that shows it.
    void changed()
    {
        ++m_changes;
        if (m_window)
            m_window->update();
    }

    // The window is on screen, the scene at rest and a frame drawn since the
    // last change.
    bool settled()
    {
        QQuickWindow *w = window();
        if (!w || !w->isExposed()) {
            m_unrest = QStringLiteral("the window not on screen");
            return false;
        }
        m_unrest = stillMoving(w);
        if (!m_unrest.isEmpty()) {
            // A frame drawn while something still moved does not count.
            changed();
            return false;
        }
        if (m_shownChanges.load() >= m_changes.load()) {
            m_unrest.clear();
            return true;
        }
        m_unrest = QStringLiteral("no frame drawn since the last change");
        return false;
    }

    SpoolsmithApp &m_app;
    const QString m_target; // the first picture; the others are named beside it
    const char *const m_name;

private:
    QTimer m_tick;
    QPointer<QQuickWindow> m_window;
    std::atomic<int> m_changes{0};
    std::atomic<int> m_syncedChanges{-1};
    std::atomic<int> m_shownChanges{-1};
    QString m_unrest; // what kept settled() false the last time
    QByteArray m_waitingFor;
    QElapsedTimer m_waitClock;
};
