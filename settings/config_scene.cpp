// Config properties that hold no value of their own: they live in the cut
// scene (sort switch) and in its cutter pen, pen 1 (compensation).
#include "settings/config.h"

#include "platform/scene/gpath_process.h"
#include "platform/scene/gscene.h"
#include "platform/scene/gsp.h"

#include <QDebug>
#include <QGraphicsView>
#include <QMutex>

namespace {

constexpr int kCutterPen = 1;
constexpr double kFallbackCompensateMm = 0.2;

QMutex g_providerLock;
std::function<GScene *()> g_provider;

GScene *cutScene()
{
    QMutexLocker lock(&g_providerLock);
    return g_provider ? g_provider() : nullptr;
}

// The scene for a write, or null when there is none or a job is running
// (the plot data is built from the scene on the task thread meanwhile).
GScene *editableScene(const char *who)
{
    GScene *scene = cutScene();
    if (scene && !scene->canEdit()) {
        qCritical() << who << "refused: a job is running";
        return nullptr;
    }
    return scene;
}

} // namespace

void Config::setCutSceneProvider(std::function<GScene *()> provider)
{
    QMutexLocker lock(&g_providerLock);
    g_provider = std::move(provider);
}

bool Config::autoSort() const
{
    const GScene *scene = cutScene();
    return scene && scene->isSort();
}

void Config::setAutoSort(bool on)
{
    GScene *scene = editableScene("Config::setAutoSort");
    if (!scene)
        return;
    scene->enableSort(on);
    scene->setSortSP(on);
    scene->setSortInside(on);
    emit autoSortChanged();
}

bool Config::closeCompensate() const
{
    GScene *scene = cutScene();
    return scene && scene->sp(kCutterPen)->testGSpFlag(GSp::CloseCompensate);
}

void Config::setCloseCompensate(bool on)
{
    if (changePen("Config::setCloseCompensate", [on](GSp *pen) { pen->setGSpFlag(GSp::CloseCompensate, on); }))
        emit closeCompensateChanged();
}

double Config::closeCompensateVal() const
{
    GScene *scene = cutScene();
    return scene ? GPathProcess::point2Mm(scene->sp(kCutterPen)->closeCompensate()) : kFallbackCompensateMm;
}

void Config::setCloseCompensateVal(double mm)
{
    if (changePen("Config::setCloseCompensateVal",
                  [mm](GSp *pen) { pen->setCloseCompensate(GPathProcess::mm2Point(mm)); }))
        emit closeCompensateValChanged();
}

bool Config::knifeCompensate() const
{
    GScene *scene = cutScene();
    return scene && scene->sp(kCutterPen)->testGSpFlag(GSp::KnifeCompensate);
}

void Config::setKnifeCompensate(bool on)
{
    if (changePen("Config::setKnifeCompensate", [on](GSp *pen) { pen->setGSpFlag(GSp::KnifeCompensate, on); }))
        emit knifeCompensateChanged();
}

double Config::knifeCompensateVal() const
{
    GScene *scene = cutScene();
    return scene ? GPathProcess::point2Mm(scene->sp(kCutterPen)->knifeCompensate()) : kFallbackCompensateMm;
}

void Config::setKnifeCompensateVal(double mm)
{
    if (changePen("Config::setKnifeCompensateVal",
                  [mm](GSp *pen) { pen->setKnifeCompensate(GPathProcess::mm2Point(mm)); }))
        emit knifeCompensateValChanged();
}

bool Config::changePen(const char *who, const std::function<void(GSp *)> &change)
{
    GScene *scene = editableScene(who);
    if (!scene)
        return false;
    GSp *pen = scene->sp(kCutterPen);
    change(pen);
    savePenSettings(pen);
    return true;
}

void Config::savePenSettings(const GSp *pen)
{
    if (!pen)
        return;
    if (GScene *scene = cutScene(); scene && !scene->views().isEmpty())
        scene->views().first()->viewport()->update();
    const QString name = pen->name();
    writeKey(name + QStringLiteral("//color"), pen->color().value());
    writeKey(name + QStringLiteral("//index"), pen->index());
    writeKey(name + QStringLiteral("//flags"), pen->flags());
    writeKey(name + QStringLiteral("//closeCompensate"), pen->closeCompensate());
    writeKey(name + QStringLiteral("//knifeCompensate"), pen->knifeCompensate());
    writeKey(name + QStringLiteral("//toolUpAngle"), pen->toolUpAngle());
    writeKey(name + QStringLiteral("//repeat"), pen->repeat());
}
