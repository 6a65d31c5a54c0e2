// The task overview, the cut-file page, the print-file page and the camera
// pane showing the check camera, photographed in the real program: a cut file
// and a print file are opened through the overview's dialogs, the file pages
// are pushed onto the task tab's stack, and the screen is grabbed (the cut
// view is a native window that a grab of the QML scene alone would miss). Pictures:
// <name>_<lang>.png (overview), with "_cut_file", its open and save dialogs
// "_cut_file_dialog" and "_cut_file_save_dialog" (the cut view must be hidden
// under them), "_print_file", "_print_file_variable" and "_check_camera"
// beside it. A text cut off without elision, or the cut view over a dialog,
// ends with code 4.
#include "app/program_entry.h"
#include "app/spoolsmith_app.h"
#include "settings/config.h"
#include "tests/qml/shot_steps.h"
#include "tests/support/xlsx_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QHash>
#include <QQmlEngine>
#include <QQuickItem>
#include <QRegularExpression>
#include <QScreen>
#include <QWidget>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)

namespace {

// Six labels with rounded corners and four marks, in plotter units (40 a mm).
bool writeCutFile(const QString &path)
{
    QByteArray hpgl = "IN;";
    auto rect = [&hpgl](int x, int y, int w, int h) {
        const int r = 120;
        hpgl += "PU" + QByteArray::number(x + r) + ',' + QByteArray::number(y) + ";PD";
        const QList<QPoint> corners{{x + w - r, y}, {x + w, y + r}, {x + w, y + h - r}, {x + w - r, y + h},
                                    {x + r, y + h}, {x, y + h - r}, {x, y + r}, {x + r, y}};
        for (int i = 0; i < corners.size(); ++i)
            hpgl += QByteArray::number(corners[i].x()) + ',' + QByteArray::number(corners[i].y())
                    + (i + 1 < corners.size() ? "," : ";");
    };
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col)
            rect(800 + col * 2400, 800 + row * 2000, 2000, 1600);
    for (const QPoint &m : {QPoint(200, 200), QPoint(8400, 200), QPoint(200, 4600), QPoint(8400, 4600)})
        hpgl += "PU" + QByteArray::number(m.x() - 70) + ',' + QByteArray::number(m.y()) + ";PD"
                + QByteArray::number(m.x() + 70) + ',' + QByteArray::number(m.y()) + ";";
    hpgl += "PU;";
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(hpgl) == hpgl.size();
}

bool writePrintFile(const QString &path)
{
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QSizeF(220, 125), QPageSize::Millimeter));
    pdf.setPageMargins(QMarginsF());
    QPainter p(&pdf);
    if (!p.isActive())
        return false;
    const double mm = pdf.resolution() / 25.4;
    const QStringList names{QStringLiteral("LEMON"), QStringLiteral("MINT"), QStringLiteral("BERRY")};
    const QList<QColor> colours{QColor(250, 210, 40), QColor(60, 190, 120), QColor(200, 40, 90)};
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QRectF label((20 + col * 60) * mm, (20 + row * 50) * mm, 50 * mm, 40 * mm);
            p.setBrush(colours[col]);
            p.setPen(Qt::NoPen);
            p.drawRoundedRect(label, 3 * mm, 3 * mm);
            p.setPen(Qt::white);
            QFont font = p.font();
            font.setPixelSize(int(9 * mm));
            font.setBold(true);
            p.setFont(font);
            p.drawText(label, Qt::AlignCenter, names[col]);
        }
    }
    p.setBrush(Qt::black);
    for (const QPointF &m : {QPointF(5, 5), QPointF(210, 5), QPointF(5, 115), QPointF(210, 115)})
        p.drawEllipse(QPointF(m.x() * mm, m.y() * mm), 1.75 * mm, 1.75 * mm);
    return p.end();
}

// A template of one label with data fields, and its sheet.
bool writeVariableData(const QString &dir)
{
    const QByteArray tva = R"({"format":"spoolsmith-tva","version":1,"page":{"width":100,"height":50},
"mark":{"type":4,"size":4,"margins":[3,3,3,3]},
"paths":[{"pen":1,"subpaths":[[20,20,380,20,380,180,20,180,20,20]]}],
"texts":[{"x":12,"y":14,"size":16,"text":"{Name}"},{"x":12,"y":28,"size":12,"text":"No {No}"}]})";
    QFile file(dir + QStringLiteral("/labels.tva"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(tva) != tva.size())
        return false;
    file.close();
    return writeTestXlsx(dir + QStringLiteral("/labels.xlsx"),
                         {{"Name", "No"}, {"LEMON", "1001"}, {"MINT", "1002"}, {"BERRY", "1003"}});
}

// Fixed-width texts elide what does not fit; a caption must fit its button.
int countCutTexts(QQuickItem *root)
{
    int faults = 0;
    const auto items = root->findChildren<QQuickItem *>();
    for (QQuickItem *item : items) {
        if (!item->isVisible() || !item->inherits("QQuickText"))
            continue;
        if (item->property("truncated").toBool() && item->property("elide").toInt() == 0) {
            qCritical() << "task_pages_shot" << "text cut" << item->property("text").toString();
            ++faults;
        }
        if (item->property("truncated").toBool())
            qInfo() << "task_pages_shot" << "elided" << item->property("text").toString();
    }
    return faults;
}

class Photographer : public ShotSteps
{
public:
    Photographer(SpoolsmithApp &app, QString target)
        : ShotSteps(app, std::move(target), "task_pages_shot")
    {
    }

private:
    // Lays a page of the module over the task tab, in the tab's own context
    // so that it reaches the tab's camera as the tab's pages do.
    // Shows a page as the operator reaches it: the overview is the task
    // tab's first page, the file pages are pushed onto its stack as a
    // double click on the overview's panes pushes them.
    QQuickItem *showPage(const QString &name)
    {
        m_page = nullptr;
        auto *tab = m_window->findChild<QQuickItem *>(QStringLiteral("taskStackPage"));
        auto *stack = tab ? tab->property("stackView").value<QQuickItem *>() : nullptr;
        QQmlEngine *engine = tab ? qmlEngine(tab) : nullptr;
        if (!stack || !engine)
            return nullptr;
        if (!m_watching) {
            // A warning of one of the photographed pages is a fault.
            m_watching = true;
            connect(engine, &QQmlEngine::warnings, this, [this](const QList<QQmlError> &errors) {
                static const QRegularExpression ours(
                    QStringLiteral("/(TaskPage|CutFilePage|PrintFilePage|CameraView|VideoToolBar|Field\\w+)\\.qml"));
                for (const QQmlError &e : errors) {
                    if (ours.match(e.url().toString()).hasMatch()) {
                        qCritical() << "task_pages_shot" << "QML warning" << e.toString();
                        ++m_faults;
                    }
                }
            });
        }
        while (stack->property("depth").toInt() > 1)
            QMetaObject::invokeMethod(tab, "back");
        const QHash<QString, QString> pushed{{QStringLiteral("CutFilePage"), QStringLiteral("cut_file")},
                                             {QStringLiteral("PrintFilePage"), QStringLiteral("print_file")}};
        if (pushed.contains(name))
            QMetaObject::invokeMethod(tab, "pushPage", Q_ARG(QVariant, pushed.value(name)));
        m_page = stack->property("currentItem").value<QQuickItem *>();
        if (!m_page || !QString::fromLatin1(m_page->metaObject()->className()).startsWith(name)) {
            qCritical() << "task_pages_shot" << "not on the stack:" << name << m_page;
            return nullptr;
        }
        return m_page;
    }

    // A file dialog of the page shown, accepted with path.
    bool accept(const QString &dialogName, const QString &path)
    {
        QObject *dialog = m_page ? m_page->findChild<QObject *>(dialogName) : nullptr;
        if (!dialog || !dialog->setProperty("selectedFile", QUrl::fromLocalFile(path)))
            return false;
        return QMetaObject::invokeMethod(dialog, "accepted");
    }

    QWidget *cutView() { return qvariant_cast<QWidget *>(m_app.getCutGraphicsView()); }

    // The application's cut view, a native window, lies over the page's left
    // pane and shows the file: waited for, a fault once the wait is over.
    // False while it is still on its way.
    bool cutViewCoversItsPane()
    {
        QWidget *widget = cutView();
        auto *pane = m_page ? m_page->findChild<QQuickItem *>(QStringLiteral("leftPanel")) : nullptr;
        if (!widget || !pane)
            return waitFor(false, "the cut view and its pane");
        const QRect expected = pane->mapRectToScene(QRectF(0, 0, pane->width(), pane->height())).toRect();
        auto *viewport = widget->findChild<QWidget *>(QStringLiteral("qt_scrollarea_viewport"));
        QWidget *painted = viewport ? viewport : widget;
        if (!m_paintsWatched) {
            painted->installEventFilter(&m_paints);
            m_paintsWatched = true;
        }
        const bool inPlace = widget->isVisible() && widget->geometry() == expected;
        // Paints before it was in place do not count: once it is, one more
        // is asked for.
        if (!inPlace) {
            m_paintsInPlace = -1;
        } else if (m_paintsInPlace < 0) {
            m_paintsInPlace = m_paints.count;
            painted->update();
        }
        const Wait w = await(inPlace && m_paints.count > m_paintsInPlace, "the cut view over its pane, painted");
        if (w == Wait::Waiting)
            return false;
        qInfo() << "task_pages_shot" << "cut view" << widget->isVisible() << widget->geometry() << expected;
        if (w == Wait::Over) {
            ++m_faults;
            qCritical() << "task_pages_shot" << "the cut view is not over its pane";
        }
        return true;
    }

    bool openDialog(const QString &name)
    {
        QObject *dialog = m_page ? m_page->findChild<QObject *>(name) : nullptr;
        return dialog && QMetaObject::invokeMethod(dialog, "open");
    }

    // A dialog of the cut-file page lies in the QML scene: the cut view, a
    // native window above it, must be hidden while it is open (a fault once
    // the wait for that is over). False while the dialog is still on its way.
    bool dialogUncovered(const QString &name)
    {
        QObject *dialog = m_page ? m_page->findChild<QObject *>(name) : nullptr;
        QWidget *widget = cutView();
        if (!waitFor(settled() && widget && isOpen(dialog), "the dialog open"))
            return false;
        const Wait w = await(!widget->isVisible(), "the cut view hidden under the dialog");
        if (w == Wait::Waiting)
            return false;
        if (w == Wait::Over) {
            ++m_faults;
            qCritical() << "task_pages_shot" << "the cut view covers the dialog" << name;
        }
        return true;
    }

    bool rejectDialog(const QString &name)
    {
        QObject *dialog = m_page ? m_page->findChild<QObject *>(name) : nullptr;
        return dialog && QMetaObject::invokeMethod(dialog, "reject");
    }

    bool grab(const QString &path)
    {
        m_faults += countCutTexts(m_page);
        // The screen, not the scene: the cut view is a native child window.
        const QImage image = m_window->screen()->grabWindow(m_window->winId()).toImage();
        const bool saved = !image.isNull() && image.save(path);
        qInfo() << "task_pages_shot" << path << image.size() << saved;
        return saved;
    }

    // What the stage about to run needs on screen; false while it is not
    // there yet.
    bool ready()
    {
        switch (m_stage) {
        case 0:
            return waitFor(settled(), "the start-up at rest");
        case 1:
            // The overview with both files open.
            return waitFor(settled() && !m_app.cutFile().isEmpty() && m_app.cutLoadProgress() < 0
                               && !m_app.printImgPath().isEmpty(),
                           "the overview with its files");
        case 2:
            return waitFor(settled(), "the cut-file page at rest") && cutViewCoversItsPane();
        case 3:
            return waitFor(settled(), "the cut-file page at rest");
        case 4:
            return dialogUncovered(QStringLiteral("cutFileDialog"));
        case 5:
            return dialogUncovered(QStringLiteral("saveDialog"));
        case 7:
            return waitFor(settled() && m_app.enabledDataSource() && m_app.dataSourceProgress() < 0,
                           "the print-file page with its sheet's record");
        default:
            return waitFor(settled(), "the page at rest");
        }
    }

    void step() override
    {
        m_window = window();
        if (!waitFor(m_window, "the window on screen") || !ready())
            return;
        const QString dir = QDir::currentPath();
        Config *config = Config::instance();
        bool ok = true;
        switch (m_stage++) {
        case 0:
            config->setProperty(Config::CPT_Enable_Print, true);
            // No nested question for the print file's cut file.
            config->setProperty(Config::CPT_Enable_Print_Marker_Type, 0);
            config->setShowCamera(0);
            ok = writeCutFile(dir + QStringLiteral("/labels.plt")) && writePrintFile(dir + QStringLiteral("/labels.pdf"))
                 && showPage(QStringLiteral("TaskPage"))
                 // Opened as the operator does, through the page's dialogs.
                 && accept(QStringLiteral("pltDialog"), dir + QStringLiteral("/labels.plt"))
                 && accept(QStringLiteral("pdfDialog"), dir + QStringLiteral("/labels.pdf"));
            break;
        case 1:
            ok = grab(m_target) && showPage(QStringLiteral("CutFilePage"));
            break;
        case 2:
            // The cut view was found over its pane (ready()).
            break;
        case 3:
            ok = grab(pictureBeside(m_target, QStringLiteral("_cut_file"))) && openDialog(QStringLiteral("cutFileDialog"));
            break;
        case 4:
            ok = grab(pictureBeside(m_target, QStringLiteral("_cut_file_dialog")))
                 && rejectDialog(QStringLiteral("cutFileDialog")) && openDialog(QStringLiteral("saveDialog"));
            break;
        case 5:
            ok = grab(pictureBeside(m_target, QStringLiteral("_cut_file_save_dialog")))
                 && rejectDialog(QStringLiteral("saveDialog")) && showPage(QStringLiteral("PrintFilePage"));
            break;
        case 6:
            ok = grab(pictureBeside(m_target, QStringLiteral("_print_file")));
            // Variable data: a template with a sheet of three records, the
            // second shown; the page shows its two rows for them.
            ok = ok && writeVariableData(dir);
            m_app.setDataSource(dir + QStringLiteral("/labels.xlsx"));
            m_app.setPrintFile(dir + QStringLiteral("/labels.tva"));
            m_app.setDataIndex(2);
            ok = ok && showPage(QStringLiteral("PrintFilePage"));
            break;
        case 7:
            ok = grab(pictureBeside(m_target, QStringLiteral("_print_file_variable")));
            config->setShowCamera(1);
            ok = ok && showPage(QStringLiteral("TaskPage"));
            break;
        default:
            ok = grab(pictureBeside(m_target, QStringLiteral("_check_camera")));
            config->setShowCamera(0);
            finish(!ok ? 3 : m_faults ? 4 : 0);
            return;
        }
        if (!ok) {
            qCritical() << "task_pages_shot" << "stage" << m_stage << "failed";
            finish(3);
            return;
        }
        changed();
    }

    QQuickWindow *m_window = nullptr;
    QQuickItem *m_page = nullptr;
    int m_stage = 0;
    int m_faults = 0;
    bool m_watching = false;
    PaintCount m_paints;
    bool m_paintsWatched = false;
    int m_paintsInPlace = -1;
};

} // namespace

int main(int argc, char *argv[])
{
    return runProgram(argc, argv, [](SpoolsmithApp &app) {
        new Photographer(app, qEnvironmentVariable("SPOOLSMITH_SHOT"));
    });
}
