#pragma once

#include "app/spoolsmith_app.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QObject>
#include <QString>
#include <QTimer>

// The picture named beside the first one: "<name><suffix>.png".
inline QString pictureBeside(const QString &first, const QString &suffix)
{
    const QFileInfo info(first);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + suffix + QStringLiteral(".png");
}

// Drives a shot program: step() runs every 100 ms in the event loop until
// finish() ends the program with its exit code.
class ShotSteps : public QObject
{
public:
    ShotSteps(SpoolsmithApp &app, QString target)
        : QObject(&app)
        , m_app(app)
        , m_target(std::move(target))
    {
        m_clock.start();
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

    SpoolsmithApp &m_app;
    const QString m_target; // the first picture; the others are named beside it
    QElapsedTimer m_clock;

private:
    QTimer m_tick;
};
