#include "app/check_camera.h"

#include <QCamera>
#include <QCameraDevice>
#include <QCameraFormat>
#include <QDebug>

int chooseCheckCameraFormat(const QList<CameraFormatInfo> &formats)
{
    int chosen = -1;
    for (int i = 0; i < formats.size(); ++i) {
        const QSize r = formats.at(i).resolution;
        const bool size = r == QSize(3040, 3840) || r == QSize(3840, 3040);
        if (size && formats.at(i).minFrameRate >= 8.0f)
            chosen = i;
    }
    return chosen;
}

void applyCheckCameraFormat(QCamera *camera)
{
    if (!camera)
        return;
    const QCameraDevice device = camera->cameraDevice();
    qDebug() << "SpoolsmithApp::checkCameraChanged" << device.description();
    const QList<QCameraFormat> formats = device.videoFormats();
    QList<CameraFormatInfo> infos;
    for (int i = 0; i < formats.size(); ++i) {
        const QCameraFormat &f = formats.at(i);
        qDebug() << "SpoolsmithApp::checkCameraChanged" << i << f.pixelFormat() << f.resolution() << f.minFrameRate()
                 << f.maxFrameRate();
        infos.append({f.resolution(), f.minFrameRate()});
    }
    const int chosen = chooseCheckCameraFormat(infos);
    if (chosen < 0)
        return;
    const QCameraFormat &f = formats.at(chosen);
    camera->setCameraFormat(f);
    qDebug() << "SpoolsmithApp::checkCameraChangedsetCameraFormat" << f.pixelFormat() << f.resolution()
             << f.minFrameRate() << f.maxFrameRate();
}
