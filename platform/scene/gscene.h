#pragma once

#include "platform/scene/gpage.h"
#include "platform/scene/gsp.h"

#include <QGraphicsScene>
#include <QMap>
#include <QPair>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class GMarkItem;
class GPathItem;
struct GCutPath;
class HpglParser;
class VariableData;

// A text of a variable-data template: top-left corner on the page (mm),
// size in points, and the text with "{column}" fields.
struct GPrintText
{
    QPointF posMm;
    double sizePt = 10.0;
    QString text;
};

// A code of a variable-data template: its place and size on the page (mm),
// the symbology ("qr", "code128") and the data with "{column}" fields.
struct GPrintCode
{
    QRectF rectMm;
    QString kind;
    QString text;
};

// A cut or print scene: one page, its mark item, cut paths and pens. Opens
// HPGL (.plt, .hpgl, anything else that reads as HPGL) and the .tva
// container, and writes the cutter's HPGL with a page header.
class GScene : public QGraphicsScene
{
    Q_OBJECT

public:
    // Scene flags (setGSceneFlag).
    enum SceneFlag {
        ReadOnly = 1,  // items can be neither moved nor selected
        ShowMarks = 2, // the mark item is drawn
        KeepPens = 4,  // opening a file keeps the pen settings already made
    };

    explicit GScene(QObject *parent = nullptr);
    ~GScene() override;

    // A cut file's content as read, in no scene yet: any thread may build it.
    struct HpglContent
    {
        QSizeF pageMm;
        GMarkItem *mark = nullptr;    // owned by the caller until placed
        QList<QGraphicsItem *> items; // likewise: GPathBatch items
        QString uncut; // refused: the instruction the reader cannot cut, if that was why
    };
    // Parses HPGL into content; false with error filled when it is none.
    static bool parseHpgl(const QByteArray &data, const QString &path, HpglContent *content, QString *error);
    // Hands the mark item to the caller: out of the scene and the page.
    GMarkItem *takeMarkItem();
    // Adds a path (or a batch of them) read elsewhere, with this scene's
    // pen and flags.
    void addCutPath(GPathItem *item) { addPath(item); }
    void addCutItem(QGraphicsItem *item);

    // Loads a cut file in place of the scene's content (append adds to it).
    // False with errorString() and a log line when the file cannot be read;
    // the scene is then empty.
    bool openFile(const QString &path, bool append = false);
    // The same with the file's bytes already read.
    bool openBytes(const QByteArray &data, const QString &path, bool append = false);
    // Writes every cut item as HPGL with the page header.
    bool saveCutFile(const QString &path) const;
    // Writes the given items: ".tva" in our container, anything else as HPGL.
    bool exportFile(const QString &path, const QList<QGraphicsItem *> &items) const;
    QString errorString() const { return m_error; }
    QString fileName() const { return m_fileName; }
    void setFileName(const QString &path) { m_fileName = path; }

    // Removes every path, batch and mark, last first (each removal is then
    // short), and the texts and codes.
    void gClear();
    // The cut outlines held (a batch counts its outlines).
    int cutPathCount() const;
    QList<QGraphicsItem *> gItemAll() const;
    QList<QGraphicsItem *> gSelectedItems() const;
    // Fills list with the cut items (paths): only the selected ones when
    // selectedOnly, hidden ones too when withHidden, the mark item too when
    // withMarks.
    void exportCutItems(QList<QGraphicsItem *> &list, bool selectedOnly, bool withHidden, bool withMarks) const;
    // The outlines of list in cutting order (see enableSort).
    std::vector<GCutPath> cutOrder(const QList<QGraphicsItem *> &list) const;
    // The same for lists of GPathItem (batches left out).
    QList<GPathItem *> sortCutItems(const QList<QGraphicsItem *> &list) const;
    // The plot data of list: every outline's pltString in cutting order.
    void appendPlotData(QByteArray &out, const QList<QGraphicsItem *> &list, const QTransform &t,
                        const QMarginsF &margins, const QPointF &offset) const;

    GPage *page() { return &m_page; }
    const GPage *page() const { return &m_page; }

    void setGSceneFlag(int flag, bool on);
    bool testGSceneFlag(int flag) const { return (m_flags & flag) == flag; }
    bool showMargin() const { return m_showMargin; }
    void setShowMargin(bool on);

    // Pen record by index (created on first use); null for index < 1.
    GSp *sp(int index);
    const GSp *sp(int index) const;
    QList<int> penIndexes() const { return m_pens.keys(); }

    // Cutting order: off keeps file order; on orders by nearest neighbour,
    // grouped by pen when sortSP, inner outlines before the ones around
    // them when sortInside.
    void enableSort(bool on);
    void setSortSP(bool on);
    void setSortInside(bool on);
    bool isSort() const { return m_sort; }
    bool isSortSP() const { return m_sortSP; }
    bool isSortInside() const { return m_sortInside; }

    // Whether the content may change now; a job in progress says no.
    void setEditGuard(std::function<bool()> canEdit);
    bool canEdit() const;

    // Print scene: the spreadsheet of variable data, the row in use, and the
    // page of that row as a PDF.
    // The sheet is read here once; rows are then looked up by index. An
    // unreadable sheet leaves no rows (logged).
    void setVariableFile(const QString &path);
    // The same with the sheet read elsewhere (null: none readable yet).
    void setVariableData(const QString &path, std::shared_ptr<const VariableData> data);
    QString variableFile() const { return m_variableFile; }
    // Data rows of the sheet (-1 without a readable sheet).
    int variableRowCount() const;
    void setCodeIndex(int index);
    int codeIndex() const { return m_codeIndex; }
    // The page with its marks and texts, fields filled from row codeIndex;
    // cut paths are not printed. False (logged) when the row does not exist
    // or the file cannot be written.
    bool savePrintFile(const QString &path);
    QList<GPrintText> printTexts() const { return m_printTexts; }
    void setPrintTexts(const QList<GPrintText> &texts) { m_printTexts = texts; }
    QList<GPrintCode> printCodes() const { return m_printCodes; }

    // The label grid for the inspection report: the runs of the page, in
    // millimetres (start, end), that cut outlines cover along the page width
    // (columns) and along its height (rows).
    QList<QPair<double, double>> rowSegments() const;
    QList<QPair<double, double>> colSegments() const;
    // The same for cut items in no scene yet (any thread).
    static QList<QPair<double, double>> coveredRuns(const QList<QGraphicsItem *> &items, bool alongHeight);

    // Places the mark item (null for none) and the page size.
    void setPageGeometry(const QSizeF &pageMm, GMarkItem *mark);

private:
    bool openHpgl(const QByteArray &data, const QString &path);
    bool openTva(const QByteArray &data, const QString &path);
    QByteArray hpglDocument(const QList<QGraphicsItem *> &items) const;
    QByteArray tvaDocument(const QList<QGraphicsItem *> &items) const;
    void addPath(GPathItem *item);
    void fail(const QString &path, const QString &why);

    GPage m_page;
    QMap<int, GSp> m_pens;
    int m_flags = 0;
    bool m_showMargin = false;
    bool m_sort = false;
    bool m_sortSP = false;
    bool m_sortInside = false;
    QString m_error;
    QString m_fileName;
    QString m_variableFile;
    int m_codeIndex = 1;
    std::shared_ptr<const VariableData> m_data;
    QList<GPrintText> m_printTexts;
    QList<GPrintCode> m_printCodes;
    std::function<bool()> m_canEdit;
};
