// Command 13: the lights, by selector (0 read, 1 write) and lamp.
#include "machine/commands/light_commands.h"

#include "machine/protocol/command_channel.h"

using C = CommandTable::Command;

LightCommands::LightCommands(CommandChannel &channel)
    : m_channel(channel)
{
}

bool LightCommands::rMarkLight()
{
    return m_channel.send(C::ReadMarkLight);
}

bool LightCommands::wMarkLight(int val)
{
    return m_channel.send(C::WriteMarkLight, {QString::number(val)});
}

bool LightCommands::rCheckBackgroundLight()
{
    return m_channel.send(C::ReadBackgroundLight);
}

bool LightCommands::wCheckBackgroundLight(int val)
{
    return m_channel.send(C::WriteBackgroundLight, {QString::number(val)});
}

bool LightCommands::rCheckLightStrip()
{
    return m_channel.send(C::ReadLightStrip);
}

bool LightCommands::wCheckLightStrip(int val)
{
    return m_channel.send(C::WriteLightStrip, {QString::number(val)});
}

bool LightCommands::rRGBLightStrip()
{
    return m_channel.send(C::ReadRgbLight);
}

bool LightCommands::wRGBLightStrip(const QColor &color)
{
    return m_channel.send(C::WriteRgbLight,
                          {QString::number(color.red()), QString::number(color.green()), QString::number(color.blue())});
}
