#include "app/cut_scene_settings.h"

#include "settings/config.h"

#include "platform/scene/gpath_process.h"
#include "platform/scene/gscene.h"
#include "platform/scene/gsp.h"

#include <QGraphicsView>

namespace {
constexpr int kCutterPen = 1;
}

CutSceneSettings::CutSceneSettings(std::function<GScene *()> scene)
    : m_scene(std::move(scene))
{
}

void CutSceneSettings::install(std::function<GScene *()> scene)
{
    Config::setScenePort(scene ? std::make_shared<CutSceneSettings>(std::move(scene)) : nullptr);
}

bool CutSceneSettings::hasScene() const
{
    return m_scene() != nullptr;
}

bool CutSceneSettings::canEdit() const
{
    const GScene *scene = m_scene();
    return scene && scene->canEdit();
}

bool CutSceneSettings::isSorted() const
{
    const GScene *scene = m_scene();
    return scene && scene->isSort();
}

void CutSceneSettings::setSorted(bool on)
{
    if (GScene *scene = m_scene()) {
        scene->enableSort(on);
        scene->setSortSP(on);
        scene->setSortInside(on);
    }
}

GSp *CutSceneSettings::pen() const
{
    GScene *scene = m_scene();
    return scene ? scene->sp(kCutterPen) : nullptr;
}

bool CutSceneSettings::penFlag(PenFlag flag) const
{
    const GSp *p = pen();
    return p && p->testGSpFlag(flag);
}

void CutSceneSettings::setPenFlag(PenFlag flag, bool on)
{
    if (GSp *p = pen())
        p->setGSpFlag(flag, on);
}

double CutSceneSettings::compensationMm(PenFlag which) const
{
    const GSp *p = pen();
    if (!p)
        return 0.0;
    return GPathProcess::point2Mm(which == CloseCompensate ? p->closeCompensate() : p->knifeCompensate());
}

void CutSceneSettings::setCompensationMm(PenFlag which, double mm)
{
    GSp *p = pen();
    if (!p)
        return;
    if (which == CloseCompensate)
        p->setCloseCompensate(GPathProcess::mm2Point(mm));
    else
        p->setKnifeCompensate(GPathProcess::mm2Point(mm));
}

CutterPenKeys CutSceneSettings::cutterPen() const
{
    CutterPenKeys keys;
    if (const GSp *p = pen()) {
        keys.name = p->name();
        keys.colorValue = p->color().value();
        keys.index = p->index();
        keys.flags = p->flags();
        keys.closeCompensate = p->closeCompensate();
        keys.knifeCompensate = p->knifeCompensate();
        keys.toolUpAngle = p->toolUpAngle();
        keys.repeat = p->repeat();
    }
    return keys;
}

void CutSceneSettings::repaint()
{
    GScene *scene = m_scene();
    if (scene && !scene->views().isEmpty())
        scene->views().first()->viewport()->update();
}
