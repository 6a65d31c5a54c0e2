#pragma once

#include "settings/scene_settings_port.h"

#include <functional>

class GScene;
class GSp;

// The scene-bound settings over the scene library: the scene that `scene`
// gives at each call (the application's cut scene), its sort switches and
// its cutter pen, pen 1.
class CutSceneSettings final : public SceneSettingsPort
{
public:
    explicit CutSceneSettings(std::function<GScene *()> scene);

    // Gives Config settings over the scene that `scene` returns; an empty
    // function takes them away again.
    static void install(std::function<GScene *()> scene);

    bool hasScene() const override;
    bool canEdit() const override;
    bool isSorted() const override;
    void setSorted(bool on) override;
    bool penFlag(PenFlag flag) const override;
    void setPenFlag(PenFlag flag, bool on) override;
    double compensationMm(PenFlag which) const override;
    void setCompensationMm(PenFlag which, double mm) override;
    CutterPenKeys cutterPen() const override;
    void repaint() override;

private:
    GSp *pen() const;

    std::function<GScene *()> m_scene;
};
