#pragma once

#include "app/cut/template_file_writer.h"

#include <opencv2/core.hpp>

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPair>
#include <QSizeF>
#include <QString>

#include <memory>
#include <vector>

class GScene;

// The cut files a job switches between by page code, each kept as opened:
// its scene (turned for reversed cutting), the preview file's bytes, the
// mask and the label grid. A switch back to a known template then neither
// reads nor renders it again. An entry answers only for the very bytes it
// was made from, so a file changed on disk is opened afresh. GUI thread.
class TemplateCache
{
public:
    struct Entry
    {
        QString path;
        bool reversed = false;
        QByteArray fileBytes;
        std::unique_ptr<GScene> scene;
        int itemCount = 0; // as opened: a scene emptied since is no longer the file
        QSizeF pageSize;
        QByteArray showFile;
        QImage mask;
        cv::Mat inspection;
        std::shared_ptr<TemplateFileWriter::Encoded> maskFile = std::make_shared<TemplateFileWriter::Encoded>();
        QList<QPair<double, double>> rows;
        QList<QPair<double, double>> cols;
        quint64 lastUse = 0;
    };

    TemplateCache();
    ~TemplateCache();

    // Beyond these, the least recently used template not in sight goes.
    static constexpr size_t kMaxEntries = 8;
    static constexpr qint64 kMaxBytes = 512LL * 1024 * 1024;

    // The entry for this file with exactly these bytes, or null.
    Entry *find(const QString &path, bool reversed, const QByteArray &fileBytes);
    // Takes entry in; shown is the scene in sight, never dropped.
    Entry *insert(std::unique_ptr<Entry> entry, const GScene *shown);
    // Drops every entry but the one whose scene is in sight.
    void clear(const GScene *shown);
    bool holds(const GScene *scene) const;

private:
    static qint64 bytesOf(const Entry &e);
    void trim(const GScene *keep, const GScene *shown);

    std::vector<std::unique_ptr<Entry>> m_entries;
    quint64 m_uses = 0;
};
