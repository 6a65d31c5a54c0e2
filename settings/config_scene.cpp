// Config properties that hold no value of their own: they live in the cut
// scene (sort switch) and in its cutter pen (compensation). The scene is
// reached through the port the application installs.
#include "settings/config.h"

#include "settings/scene_settings_port.h"

#include <QDebug>

#include <mutex>

namespace {

constexpr double kFallbackCompensateMm = 0.2;

std::mutex g_portLock;
std::shared_ptr<SceneSettingsPort> g_port;

// The port only while it has a scene; the copy keeps it alive for the call
// even if the application swaps it meanwhile.
std::shared_ptr<SceneSettingsPort> scenePort()
{
    std::shared_ptr<SceneSettingsPort> port;
    {
        std::lock_guard<std::mutex> lock(g_portLock);
        port = g_port;
    }
    return port && port->hasScene() ? port : nullptr;
}

// The port for a write, or null when there is no scene or a job is running
// (the plot data is built from the scene on the task thread meanwhile).
std::shared_ptr<SceneSettingsPort> editablePort(const char *who)
{
    auto port = scenePort();
    if (port && !port->canEdit()) {
        qCritical() << who << "refused: a job is running";
        return nullptr;
    }
    return port;
}

} // namespace

void Config::setScenePort(std::shared_ptr<SceneSettingsPort> port)
{
    std::lock_guard<std::mutex> lock(g_portLock);
    g_port = std::move(port);
}

bool Config::autoSort() const
{
    const auto port = scenePort();
    return port && port->isSorted();
}

void Config::setAutoSort(bool on)
{
    const auto port = editablePort("Config::setAutoSort");
    if (!port)
        return;
    port->setSorted(on);
    emit autoSortChanged();
}

bool Config::closeCompensate() const
{
    const auto port = scenePort();
    return port && port->penFlag(SceneSettingsPort::CloseCompensate);
}

void Config::setCloseCompensate(bool on)
{
    if (changePen("Config::setCloseCompensate",
                  [on](SceneSettingsPort &port) { port.setPenFlag(SceneSettingsPort::CloseCompensate, on); }))
        emit closeCompensateChanged();
}

double Config::closeCompensateVal() const
{
    const auto port = scenePort();
    return port ? port->compensationMm(SceneSettingsPort::CloseCompensate) : kFallbackCompensateMm;
}

void Config::setCloseCompensateVal(double mm)
{
    if (changePen("Config::setCloseCompensateVal",
                  [mm](SceneSettingsPort &port) { port.setCompensationMm(SceneSettingsPort::CloseCompensate, mm); }))
        emit closeCompensateValChanged();
}

bool Config::knifeCompensate() const
{
    const auto port = scenePort();
    return port && port->penFlag(SceneSettingsPort::KnifeCompensate);
}

void Config::setKnifeCompensate(bool on)
{
    if (changePen("Config::setKnifeCompensate",
                  [on](SceneSettingsPort &port) { port.setPenFlag(SceneSettingsPort::KnifeCompensate, on); }))
        emit knifeCompensateChanged();
}

double Config::knifeCompensateVal() const
{
    const auto port = scenePort();
    return port ? port->compensationMm(SceneSettingsPort::KnifeCompensate) : kFallbackCompensateMm;
}

void Config::setKnifeCompensateVal(double mm)
{
    if (changePen("Config::setKnifeCompensateVal",
                  [mm](SceneSettingsPort &port) { port.setCompensationMm(SceneSettingsPort::KnifeCompensate, mm); }))
        emit knifeCompensateValChanged();
}

bool Config::changePen(const char *who, const std::function<void(SceneSettingsPort &)> &change)
{
    const auto port = editablePort(who);
    if (!port)
        return false;
    change(*port);
    port->repaint();
    storePen(port->cutterPen());
    return true;
}

void Config::savePenSettings(const CutterPenKeys &pen)
{
    if (const auto port = scenePort())
        port->repaint();
    storePen(pen);
}

void Config::storePen(const CutterPenKeys &pen)
{
    const QString &name = pen.name;
    writeKey(name + QStringLiteral("//color"), pen.colorValue);
    writeKey(name + QStringLiteral("//index"), pen.index);
    writeKey(name + QStringLiteral("//flags"), pen.flags);
    writeKey(name + QStringLiteral("//closeCompensate"), pen.closeCompensate);
    writeKey(name + QStringLiteral("//knifeCompensate"), pen.knifeCompensate);
    writeKey(name + QStringLiteral("//toolUpAngle"), pen.toolUpAngle);
    writeKey(name + QStringLiteral("//repeat"), pen.repeat);
}
