#include "app/inspection/check_image_saver.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>

void CheckImageSaver::setPicture(const QImage &picture)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_picture = picture;
    m_savedPath.clear();
}

QImage CheckImageSaver::picture() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_picture;
}

QString CheckImageSaver::savedPath() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_savedPath;
}

QString CheckImageSaver::templatePath() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_templatePath;
}

QString CheckImageSaver::save(bool enabled, const QString &programFolder, const QImage &templ)
{
    if (!enabled)
        return QStringLiteral("disable save check image");
    std::lock_guard<std::mutex> lock(m_lock);
    const QDateTime now = QDateTime::currentDateTime();
    const QString folder = programFolder + QStringLiteral("/image/") + now.toString(QStringLiteral("yyyy-MM-dd"));
    const QString stamp = now.toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss"));
    if (m_savedPath.isEmpty()) {
        if (!QDir().mkpath(folder))
            qCritical() << "SpoolsmithApp::saveCheckImage" << "cannot make" << folder;
        m_savedPath = folder + QLatin1Char('/') + stamp + QStringLiteral(".jpg");
        if (!m_picture.save(m_savedPath))
            qCritical() << "SpoolsmithApp::saveCheckImage" << "cannot write" << m_savedPath;
    }
    if (m_templatePath.isEmpty() && !templ.isNull()) {
        m_templatePath = folder + QLatin1Char('/') + stamp + QStringLiteral("bk.jpg");
        if (!templ.save(m_templatePath))
            qCritical() << "SpoolsmithApp::saveCheckImage" << "cannot write" << m_templatePath;
    }
    return m_savedPath;
}
