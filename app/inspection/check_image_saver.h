#pragma once

#include <QImage>
#include <QString>

#include <mutex>

// The last checked picture and where it was saved: saved at most once per
// inspection, into the program folder's "image/<day>" folder, with the
// label template saved once beside the first picture.
class CheckImageSaver
{
public:
    // A new inspection's picture (BGR); forgets where the last was saved.
    void setPicture(const QImage &picture);
    QImage picture() const;

    // enabled false: "disable save check image", nothing written. Otherwise
    // the picture's path (the same for every call of one inspection);
    // templ: the label template, written once per run.
    QString save(bool enabled, const QString &programFolder, const QImage &templ);

    QString savedPath() const;
    QString templatePath() const;

private:
    mutable std::mutex m_lock;
    QImage m_picture;
    QString m_savedPath;
    QString m_templatePath;
};
