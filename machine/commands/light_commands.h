#pragma once

#include <QColor>

class CommandChannel;

// The mark light, the check camera's background light, its light strip and
// the RGB strip (command 13).
class LightCommands
{
public:
    explicit LightCommands(CommandChannel &channel);

    bool rMarkLight();
    bool wMarkLight(int val);
    bool rCheckBackgroundLight();
    bool wCheckBackgroundLight(int val);
    bool rCheckLightStrip();
    bool wCheckLightStrip(int val);
    bool rRGBLightStrip();
    bool wRGBLightStrip(const QColor &color);

private:
    CommandChannel &m_channel;
};
