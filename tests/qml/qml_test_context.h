#pragma once

#include "machine/trv610plus.h"

#include <QObject>

class QQmlEngine;
class SpoolsmithApp;
class Config;

// The driver as a test can put it: linked without a machine.
class TestDevice : public TRV610Plus
{
    Q_OBJECT
public:
    using TRV610Plus::TRV610Plus;
    Q_INVOKABLE void setLinkedForTest(bool on) { setLinked(on); }
};

// Gives each test engine what the program entry gives the real one.
class QmlTestContext : public QObject
{
    Q_OBJECT
public:
    QmlTestContext(SpoolsmithApp *app, Config *config, TRV610Plus *device);

public slots:
    void qmlEngineAvailable(QQmlEngine *engine);

private:
    SpoolsmithApp *m_app;
    Config *m_config;
    TRV610Plus *m_device;
};

// Points QML at the module in the resources and loads the built icon font.
void prepareQmlEngine(QQmlEngine *engine, SpoolsmithApp *app, Config *config, TRV610Plus *device);
bool loadIconFont();
// The camera object watches the system's media devices; on a machine without
// a sound server that prints a one-time notice. Raised here, before any case
// counts warnings.
void settleMediaDevices();
