#pragma once

#include <QList>
#include <QSize>

class QCamera;

// One picture format a camera offers, as far as the choice needs it.
struct CameraFormatInfo
{
    QSize resolution;
    float minFrameRate = 0.0f;
};

// The check camera's picture format: the last one of 3040 × 3840 (either way
// round) that runs at 8 frames a second or more; -1 when none does.
int chooseCheckCameraFormat(const QList<CameraFormatInfo> &formats);

// Gives camera that format of its device, when it has one.
void applyCheckCameraFormat(QCamera *camera);
