#pragma once

#include "app/app_services.h"

#include <opencv2/core.hpp>

#include <QImage>
#include <QList>
#include <QPair>
#include <QObject>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QVariant>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "app/cut/cut_file_check.h"
#include "app/cut/cut_file_loader.h"
#include "app/cut/cut_page_limit.h"
#include "app/cut/template_cache.h"
#include "app/cut/template_file_writer.h"

class GScene;
class GraphicsView;

// The cut document: the cut file, the cut scene and its view, reversed
// cutting, the preview file, the label template and the mark geometry. The
// scene belongs to the GUI thread; the paths, page size and template are
// read by the job threads too.
class CutDocument : public QObject
{
    Q_OBJECT

public:
    struct Hooks
    {
        // The application's task status: no edits while a job runs (2: none).
        std::function<int()> taskStatus;
        // A reversed cut needs new plot data once the scene is turned.
        std::function<void()> rebuildPlotData;
        // A ".tva" file also serves as the print file when none is set.
        std::function<void(const QString &)> offerPrintFile;
        // A new template: ask for a fresh check-camera picture (returns at once).
        std::function<void()> requestCheckPicture;
    };
    CutDocument(AppServices services, Hooks hooks, QObject *parent = nullptr);
    ~CutDocument() override;

    // Cut files beyond this size are refused before they are read.
    static constexpr qint64 kMaxCutFileBytes = CutFileCheck::kMaxBytes;
    // Cut files beyond this size open on a worker thread; smaller ones
    // take a few milliseconds and open at once.
    static constexpr qint64 kWorkerFileBytes = 1024 * 1024;
    // The GUI thread places the items of a large file in slices this long.
    static constexpr int kPlaceSliceMs = 50;
    // Whether a large cut file is still being opened.
    bool opening() const;
    // How far a large cut file has come (0..100); -1 while none is opening.
    int loadPercent() const { return m_loadPercent; }

    GScene *scene() const { return m_scene; }
    GraphicsView *view() const { return m_view; }
    QVariant graphicsView() const;
    // Whether the scene holds any item; asks the GUI thread from any other.
    bool hasItems();

    QString cutShowFile() const;
    void setCutShowFile(const QString &path);
    QString cutFile() const;
    void setCutFile(const QString &path);
    QString saveFile() const;
    void setSaveFile(const QString &path);
    // False when it was not opened (missing, refused).
    bool openTvaCutFile(const QString &path);
    // The file the operator opened: a ".tva" itself, not the turned preview
    // that stands for it as cutFile.
    QString sourceFile() const;
    // The cut direction changed: the operator's file is opened again under
    // it, once no job runs and no file is opening.
    void reopenForCutDirection();
    // GUI thread, after any change of the task status: a job's end places a
    // file loaded meanwhile and applies a changed cut direction.
    void taskStatusChanged();
    // Opens path into the scene; GUI thread. The roads that call it have
    // checked the file.
    void openInScene(const QString &path);
    // Opens path into the scene alone (cutFile stays), checked as every
    // opening is (not beside a file still opening either): a file refused
    // leaves the scene as it was. GUI thread.
    void openCheckedInScene(const QString &path);
    // How a page-code switch's opening ended.
    enum class SceneOpening {
        Open,    // the scene holds the page's items
        Empty,   // nothing to cut in sight: no file, or one that would not open
        Refused, // refused, its reason on errorMessage; the page before stays
    };
    // A page-code switch's opening, from any thread, returning once it is
    // open (an empty path opens nothing). A template opened before comes
    // back without being read again.
    SceneOpening openSceneBlocking(const QString &path);
    QString sceneFile() const;
    // The cut direction the scene in sight was opened under (any thread):
    // the plot data follows it, not a setting changed since.
    bool sceneReversed() const { return m_sceneReversed.load(); }
    QSizeF pageSize() const;

    QImage renderCutMask() const;
    bool loadTemplate();
    void waitTemplateFile() { m_templateFile.waitIdle(); }
    cv::Mat inspectionTemplate() const;
    // The label grid of the page the template was made from (mm, along the
    // web and across it), taken with the template so that other threads
    // never read the scene.
    QList<QPair<double, double>> rowSegments() const;
    QList<QPair<double, double>> colSegments() const;
    QList<QPointF> currentPageMarkPoint(bool scan);
    int pageMarkType();

signals:
    void cutShowFileChanged();
    void cutFileChanged();
    void saveFileChanged();
    // Opens the file on the GUI thread, from whichever thread it is emitted.
    void openScene(const QString &cutFile);
    // A large cut file on its way in (0..100), and its end (open or failed).
    void loadProgress(int percent);
    void cutFileLoaded();
    void loadPercentChanged();

private:
    // False, with the operator's message, while a large file still opens.
    bool refusedWhileOpening(const QString &path);
    // Opens bytes checked for path through openScene, as the roads always have.
    void openChecked(const QString &path, const QByteArray &bytes);
    // A large file refused (its page, or no cut file): the file open before
    // stays open.
    void refuseLoaded();
    // asCutFile: the operator's file (cutFile changes), else only the scene's.
    bool openOnWorker(const QString &path, bool asCutFile);
    // A page-code switch to a large file, from a thread other than the GUI's.
    SceneOpening openLargeBlocking(const QString &path);
    void placeLoaded();
    void reopenIfPending();
    bool jobRuns() const { return m_hooks.taskStatus && m_hooks.taskStatus() != 2; }
    // The cut direction an opening turns the file by.
    bool openingReversed() const;
    void placeSlice();
    void setLoadPercent(int percent);
    void storeTemplate(const cv::Mat &inspection, const QList<QPair<double, double>> &rows,
                       const QList<QPair<double, double>> &cols);
    // A fresh cut scene, set up as the first one.
    GScene *makeScene();
    // Puts scene in sight, with the pens, sorting and margin of the one it replaces.
    void showScene(GScene *scene);
    // The scene every opening but a page-code switch's goes into; the
    // known templates are let go, as a switch's files may be changed by then.
    void showOwnScene();
    // Opens path's bytes, checked, into the scene in sight.
    bool openHere(const QString &path, const QByteArray &bytes);
    // A page-code switch: a known template comes back as it was opened.
    // False when the file was refused.
    bool openTemplate(const QString &path);
    void presentTemplate(TemplateCache::Entry &entry);

    AppServices m_services;
    Hooks m_hooks;
    CutFileCheck m_check;
    // GUI thread: the bytes checked for the opening openScene is emitted for.
    QString m_checkedPath;
    QByteArray m_checkedBytes;
    GraphicsView *m_view = nullptr;
    GScene *m_scene = nullptr;    // in sight: the own scene or a known template's
    GScene *m_ownScene = nullptr; // empty while out of sight
    TemplateCache m_templates;    // GUI thread
    QImage m_mask;                // GUI thread: the last template, sharing the inspection template's bytes
    std::shared_ptr<TemplateFileWriter::Encoded> m_maskFile; // and its file's bytes
    bool m_showFileWritten = false; // GUI thread: by the last opening
    mutable std::mutex m_lock; // the paths, page size and template
    QString m_cutShowFile;
    QString m_cutFile;
    QString m_sourceFile; // the operator's file (a ".tva" is cut through its preview)
    QString m_sceneFile;
    QString m_saveFile;
    QSizeF m_pageSize;
    cv::Mat m_inspectionTemplate;
    CutFileLoader *m_loader = nullptr;
    bool m_loadPending = false; // GUI thread: from a start until its result is taken
    bool m_loadIsOperators = false; // GUI thread: the pending load is the operator's file
    bool m_placeDeferred = false;   // GUI thread: loaded during a job, placed at its end
    bool m_reopenPending = false;   // GUI thread: a cut-direction change not yet applied
    bool m_loadRefused = false;     // GUI thread: the last large file was refused
    // GUI thread: the files named before a large file's load, for its refusal.
    QString m_cutFileBefore, m_sourceFileBefore, m_sceneFileBefore;
    std::atomic<bool> m_sceneReversed{false};
    int m_loadPercent = -1;     // GUI thread
    std::unique_ptr<CutFileLoader::Result> m_placing; // GUI thread
    QList<QPair<double, double>> m_rowSegments;
    QList<QPair<double, double>> m_colSegments;
    // "bk.png": written on its own thread, the newest template last.
    TemplateFileWriter m_templateFile;
};
