#pragma once

#include <QElapsedTimer>
#include <QString>

// A machine heard on the discovery port.
struct DiscoveredDevice
{
    QString ident;
    QString ip;
    QString model;
    QElapsedTimer lastSeen; // monotonic: right across midnight and clock changes
};
