// The whole program on a tour: the real start-up in the current folder (its
// own settings), the real driver linked over loopback to the machine
// simulator, which announces itself like a machine. It opens every page of
// the device tab and the task tab, photographs each into files beside
// SPOOLSMITH_SHOT ("_<step>" before ".png"; the first step also under the
// name itself), and ends with code 4 when the QML engine warned or a text
// of a fixed size does not fit it without eliding. The machine parameters
// page is shown with label checking off and the machine's sensor 6 on: its
// sensor lamps must follow the machine, web guide off.
#include "app/logging.h"
#include "app/program_entry.h"
#include "app/spoolsmith_app.h"
#include "machine/trv610plus.h"
#include "settings/config.h"
#include "tests/qml/shot_steps.h"
#include "tools/simulator/machine_simulator.h"

#include <QDir>
#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QQmlEngine>
#include <QQmlError>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QScreen>
#include <QtQml/qqmlextensionplugin.h>

#include <functional>
#include <memory>
#include <vector>

Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)

namespace {

QString stepFile(const QString &first, const QString &step)
{
    const QFileInfo info(first);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('_') + step + QStringLiteral(".png");
}

// A text of fixed width must elide what does not fit; a button's caption
// must fit its button. Returns one line per fault.
QStringList cutTexts(QQuickItem *item)
{
    QStringList faults;
    // The on-screen keyboard is the framework's, laid out below the window.
    if (!item->isVisible() || item->opacity() <= 0 || item->objectName() == QLatin1String("inputPanel"))
        return faults;
    const bool isText = item->inherits("QQuickText");
    if (isText || item->inherits("QQuickTextEdit")) {
        const QString text = item->property("text").toString();
        const bool elides = isText && item->property("elide").toInt() != Qt::ElideNone;
        const bool wraps = item->property("wrapMode").toInt() != 0;
        const qreal needed = item->property("contentWidth").toReal();
        if (!text.isEmpty() && !elides && !wraps && item->width() > 0 && needed > item->width() + 1)
            faults << QStringLiteral("text cut: \"%1\" needs %2 of %3").arg(text).arg(needed).arg(item->width());
        // Wrapped text must stay inside its box too.
        const qreal lines = item->property("contentHeight").toReal();
        if (!text.isEmpty() && wraps && !elides && item->height() > 0 && lines > item->height() + 1)
            faults << QStringLiteral("text runs over: \"%1\" needs %2 of %3").arg(text).arg(lines).arg(item->height());
    }
    if (item->inherits("QQuickAbstractButton")) {
        auto *content = item->property("contentItem").value<QQuickItem *>();
        const qreal room = item->width() - item->property("leftPadding").toReal() - item->property("rightPadding").toReal();
        if (content && !content->inherits("QQuickText") && content->implicitWidth() > room + 0.5)
            faults << QStringLiteral("caption cut: \"%1\" (%2)").arg(item->property("text").toString(), item->objectName());
    }
    for (QQuickItem *child : item->childItems())
        faults << cutTexts(child);
    return faults;
}

// QML warnings of the whole run, from its log (load time included).
QStringList qmlWarningsInLog()
{
    QStringList found;
    QFile log(logFilePath());
    if (!log.open(QIODevice::ReadOnly | QIODevice::Text))
        return {QStringLiteral("no log file %1").arg(logFilePath())};
    static const QRegularExpression qml(QStringLiteral("\\.qml:\\d+|\\bQML\\b|qt\\.qml"));
    while (!log.atEnd()) {
        const QString line = QString::fromUtf8(log.readLine()).trimmed();
        if ((line.startsWith(QLatin1String("WARN ")) || line.startsWith(QLatin1String("ERROR ")))
            && qml.match(line).hasMatch())
            found << line;
    }
    return found;
}

class Tour : public ShotSteps
{
public:
    Tour(SpoolsmithApp &app, QString target)
        : ShotSteps(app, std::move(target), "whole_program_shot")
    {
        startMachine();
        buildSteps();
    }

private:
    struct Step
    {
        QString shot; // empty: no picture after this step
        std::function<bool()> act;
        // What the step waits for besides the scene at rest; none: nothing more.
        std::function<bool()> shown = {};
    };

    // The simulator announces itself on the program's discovery port: with
    // no machine configured the program adopts it and links to it.
    void startMachine()
    {
        MachineSimulator::Options options;
        options.port = 0;
        options.announcePort = m_app.discoveryPort();
        options.announceIntervalMs = 300;
        m_sim = std::make_unique<MachineSimulator>(options);
        if (!m_sim->start()) {
            qCritical() << "whole_program_shot" << "the simulator did not start";
            return;
        }
        m_sim->updateState([](SimMachineState &s) {
            s.devId = QStringLiteral("SN20261207");
            s.firmware = QStringLiteral("1.3.0");
        });
        TRV610Plus::instance()->setPort(m_sim->port());
    }

    QQuickItem *find(const char *name) const
    {
        return m_window ? m_window->findChild<QQuickItem *>(QLatin1String(name)) : nullptr;
    }

    QObject *findObject(QObject *under, const char *name) const
    {
        return under ? under->findChild<QObject *>(QLatin1String(name)) : nullptr;
    }

    bool call(QObject *target, const char *method, const QVariant &arg = QVariant())
    {
        if (!target)
            return false;
        return arg.isValid() ? QMetaObject::invokeMethod(target, method, Q_ARG(QVariant, arg))
                             : QMetaObject::invokeMethod(target, method);
    }

    bool showTab(int index)
    {
        QQuickItem *pages = find("pages");
        return pages && pages->setProperty("currentIndex", index);
    }

    // The task tab's page on top of its stack.
    QQuickItem *taskTop() const
    {
        QQuickItem *stack = find("taskStack");
        return stack ? stack->property("currentItem").value<QQuickItem *>() : nullptr;
    }

    bool scrollToEnd(QQuickItem *under, const char *scrollName)
    {
        QObject *scroll = findObject(under, scrollName);
        auto *flick = scroll ? scroll->property("contentItem").value<QQuickItem *>() : nullptr;
        if (!flick)
            return false;
        const qreal most = flick->property("contentHeight").toReal() - flick->height();
        return flick->setProperty("contentY", std::max<qreal>(0, most));
    }

    // Label checking off shows the sensor lamps; the machine reports its
    // sensor 6 on, the web guide stays off.
    bool sensorOn()
    {
        Config::instance()->setEnableScanAndTrim(false);
        Config::instance()->setEnableRectify(false);
        m_sim->updateState([](SimMachineState &s) { s.setSensor(6, true); });
        return true;
    }

    bool lampFollowsTheSensor(bool tell = true) const
    {
        // The lamps of the page on top; the overview below has its own.
        QQuickItem *top = taskTop();
        QQuickItem *s6 = top ? top->findChild<QQuickItem *>(QStringLiteral("sensor6Lamp")) : nullptr;
        QQuickItem *s7 = top ? top->findChild<QQuickItem *>(QStringLiteral("sensor7Lamp")) : nullptr;
        auto colour = [](QQuickItem *lamp) { return lamp->property("color").value<QColor>().rgba(); };
        const bool follows = s6 && s7 && s6->isVisible() && colour(s6) == qRgba(255, 0, 0, 255)
                             && colour(s7) == qRgba(0, 0, 0, 255);
        if (!follows && tell)
            qCritical() << "whole_program_shot" << "the sensor lamps do not show the machine's sensors";
        return follows;
    }

    // The announcing machine is in the list and is the one chosen.
    bool machineListed(QObject *list, bool tell = true) const
    {
        const QStringList devices = list ? list->property("devices").toStringList() : QStringList();
        const bool listed = devices.contains(m_sim->ident()) && TRV610Plus::instance()->ident() == m_sim->ident();
        if (!listed && tell)
            qCritical() << "whole_program_shot" << "machine list" << devices << TRV610Plus::instance()->ident();
        return listed;
    }

    void buildSteps()
    {
        auto device = [this] { return find("deviceStackPage"); };
        auto task = [this] { return find("taskStackPage"); };
        auto push = [this, task](const char *name) {
            return [this, task, name] { return call(task(), "pushPage", QString::fromLatin1(name)); };
        };
        auto back = [this, task] { return call(task(), "back"); };
        auto listed = [this, device] { return machineListed(findObject(device(), "machineList"), false); };
        m_steps = {
            {QStringLiteral("device_tab"), [this] { return showTab(0); }},
            {QStringLiteral("device_machine_list"), [this, device] { return call(device(), "toggleMachineList"); }, listed},
            {QString(), [this, device] { return machineListed(findObject(device(), "machineList"))
                                                && call(findObject(device(), "machineList"), "close"); }},
            {QStringLiteral("device_about"), [this, device] { return call(findObject(device(), "aboutButton"), "clicked"); }},
            {QString(), [this, device] { return call(findObject(device(), "aboutPop"), "close"); }},
            {QStringLiteral("device_settings"), [this, device] { return call(findObject(device(), "settingPage"), "open"); }},
            {QString(), [this, device] { return call(findObject(device(), "settingPage"), "close"); }},
            {QStringLiteral("device_tab_end"), [this, device] { return scrollToEnd(device(), "rightScroll"); }},
            {QStringLiteral("task_tab"), [this] { return showTab(1); }},
            {QStringLiteral("cut_file_page"), push("cut_file")},
            {QString(), back},
            {QStringLiteral("print_file_page"), push("print_file")},
            {QString(), back},
            {QStringLiteral("video_page"), push("video")},
            {QStringLiteral("video_page_end"), [this] { return scrollToEnd(taskTop(), "right_panel"); }},
            {QString(), back},
            {QString(), [this] { return sensorOn(); }},
            // The machine's sensor reaches the lamps through the driver's poll.
            {QStringLiteral("device_page"), push("device"), [this] { return lampFollowsTheSensor(false); }},
            {QString(), [this] { return lampFollowsTheSensor(); }},
            {QString(), back},
            {QStringLiteral("help_tab"), [this] { return showTab(2); }},
        };
    }

    void step() override
    {
        if (!waitFor(window(), "the window on screen"))
            return;
        m_window = window();
        // Without a window manager "maximized" does nothing: fill the
        // screen as a maximized window would.
        const QRect screen = m_window->screen()->geometry();
        if (!m_resized) {
            m_window->setGeometry(screen);
            m_resized = true;
        }
        if (!waitFor(m_window->size() == screen.size(), "the window filling the screen"))
            return;
        // The machine announced itself, was adopted and answered.
        if (!waitFor(TRV610Plus::instance()->linked() && !TRV610Plus::instance()->devId().isEmpty(),
                     "the program linked to the simulator"))
            return;
        if (m_pending >= 0) {
            const Step &done = m_steps.at(m_pending);
            const QByteArray what = QStringLiteral("step %1 (%2) shown, the scene at rest").arg(m_pending).arg(done.shot).toUtf8();
            if (!waitFor(settled() && (!done.shown || done.shown()), what.constData()))
                return;
            if (!done.shot.isEmpty() && !photograph(done.shot))
                return;
            m_pending = -1;
        } else if (!waitFor(settled(), "the start-up at rest")) {
            return;
        }
        if (m_step >= int(m_steps.size()))
            return report();
        const Step &next = m_steps.at(m_step);
        if (!next.act())
            return fail(QStringLiteral("step %1 (%2) could not be taken").arg(m_step).arg(next.shot), 2);
        m_pending = m_step++;
        changed();
    }

    bool photograph(const QString &step)
    {
        const QImage image = m_window->grabWindow();
        const QString file = stepFile(m_target, step);
        if (image.isNull() || !image.save(file)) {
            fail(QStringLiteral("cannot save %1").arg(file), 3);
            return false;
        }
        if (m_shots++ == 0)
            image.save(m_target);
        qInfo() << "whole_program_shot" << file << image.size();
        for (const QString &fault : cutTexts(m_window->contentItem()))
            m_faults << step + QStringLiteral(": ") + fault;
        return true;
    }

    void report()
    {
        m_faults.removeDuplicates();
        const QStringList warnings = qmlWarningsInLog();
        for (const QString &w : warnings)
            qCritical() << "whole_program_shot" << "QML warning" << w;
        for (const QString &f : m_faults)
            qCritical() << "whole_program_shot" << f;
        m_sim->stop();
        finish(warnings.isEmpty() && m_faults.isEmpty() ? 0 : 4);
    }

    std::unique_ptr<MachineSimulator> m_sim;
    std::vector<Step> m_steps;
    QQuickWindow *m_window = nullptr;
    bool m_resized = false;
    int m_step = 0;
    int m_pending = -1;
    int m_shots = 0;
    QStringList m_faults;
};

} // namespace

int main(int argc, char *argv[])
{
    return runProgram(argc, argv, [](SpoolsmithApp &app) {
        new Tour(app, qEnvironmentVariable("SPOOLSMITH_SHOT"));
    });
}
