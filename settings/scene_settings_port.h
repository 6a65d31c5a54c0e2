#pragma once

#include <QString>

// The cutter pen of the cut scene as the settings file keeps it.
struct CutterPenKeys
{
    QString name;
    int colorValue = 0; // the HSV value component of the pen colour
    int index = 1;
    int flags = 0;
    double closeCompensate = 0.0; // scene points
    double knifeCompensate = 0.0; // scene points
    double toolUpAngle = 0.0;
    int repeat = 1;
};

// What the scene-bound settings need of the cut scene. The settings library
// knows no scene; the application supplies this over its scene library, so
// settings stay free of widgets and graphics.
class SceneSettingsPort
{
public:
    enum PenFlag { CloseCompensate = 1, KnifeCompensate = 2 };

    virtual ~SceneSettingsPort() = default;

    // Whether a cut scene exists now; without one every other call gives a
    // neutral answer and changes nothing.
    virtual bool hasScene() const = 0;
    // False while a job builds its plot data from the scene.
    virtual bool canEdit() const = 0;

    virtual bool isSorted() const = 0;
    // Sorting of paths, of pens and inside-first, all switched together.
    virtual void setSorted(bool on) = 0;

    virtual bool penFlag(PenFlag flag) const = 0;
    virtual void setPenFlag(PenFlag flag, bool on) = 0;
    // The cutter pen's close (CloseCompensate) or knife (KnifeCompensate)
    // compensation in millimetres.
    virtual double compensationMm(PenFlag which) const = 0;
    virtual void setCompensationMm(PenFlag which, double mm) = 0;

    virtual CutterPenKeys cutterPen() const = 0;
    // Redraws the first view of the scene, if it has one.
    virtual void repaint() = 0;
};
