#pragma once

#include <QColor>
#include <QString>

// One pen (tool) of a scene: what the cutter does with the paths drawn in it.
// Compensation lengths are in scene points.
class GSp
{
public:
    enum Flag { CloseCompensate = 1, KnifeCompensate = 2 };

    explicit GSp(int index = 1);

    int index() const { return m_index; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    QColor color() const { return m_color; }
    void setColor(const QColor &color) { m_color = color; }
    int flags() const { return m_flags; }
    void setFlags(int flags) { m_flags = flags; }
    bool testGSpFlag(int flag) const { return (m_flags & flag) == flag; }
    void setGSpFlag(int flag, bool on);
    double closeCompensate() const { return m_closeCompensate; }
    void setCloseCompensate(double points) { m_closeCompensate = points; }
    double knifeCompensate() const { return m_knifeCompensate; }
    void setKnifeCompensate(double points) { m_knifeCompensate = points; }
    int repeat() const { return m_repeat; }
    void setRepeat(int repeat) { m_repeat = repeat; }
    double toolUpAngle() const { return m_toolUpAngle; }
    void setToolUpAngle(double degrees) { m_toolUpAngle = degrees; }

private:
    int m_index;
    QString m_name;
    QColor m_color;
    int m_flags = 0;
    double m_closeCompensate;
    double m_knifeCompensate;
    int m_repeat = 1;
    double m_toolUpAngle = 30.0;
};
