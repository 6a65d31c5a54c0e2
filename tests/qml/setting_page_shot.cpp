// The settings dialog as operators see it, photographed: runs the real
// start-up in the current folder, opens the dialog from the device tab and
// writes one PNG per section, scrolled so that the section starts at the top
// (SPOOLSMITH_SHOT names the first; the others get "_2", "_3" ... before
// ".png"). A fixed-width label whose text does not fit must be elided, and a
// button's caption must fit its button: either fault ends with code 4.
#include "app/program_entry.h"
#include "app/spoolsmith_app.h"
#include "tests/qml/exposed_window.h"
#include "tests/qml/shot_steps.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>


Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)

namespace {

QString shotName(const QString &first, int index)
{
    if (index == 0)
        return first;
    const QFileInfo info(first);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("_%1.png").arg(index + 1);
}

// Labels of fixed width elide what does not fit; nothing else may be cut.
int countCutTexts(QQuickItem *root)
{
    int faults = 0;
    const auto items = root->findChildren<QQuickItem *>();
    for (QQuickItem *item : items) {
        if (!item->isVisible())
            continue;
        const QString name = item->objectName();
        if (name == QLatin1String("editorLabel") && item->property("truncated").toBool()) {
            const bool elided = item->property("elide").toInt() != 0;
            qInfo() << "setting_page_shot" << "elided label" << item->property("text").toString() << elided;
            faults += elided ? 0 : 1;
        }
        if (name.endsWith(QLatin1String("Button")) && item->inherits("QQuickAbstractButton")) {
            auto *content = item->property("contentItem").value<QQuickItem *>();
            const qreal room = item->width() - item->property("leftPadding").toReal() - item->property("rightPadding").toReal();
            if (content && content->implicitWidth() > room + 0.5 && name != QLatin1String("pathButton")) {
                qCritical() << "setting_page_shot" << "caption cut" << name << item->property("text").toString();
                ++faults;
            }
        }
    }
    return faults;
}

class Photographer : public ShotSteps
{
public:
    using ShotSteps::ShotSteps;

private:
    void fail(const char *why, int code)
    {
        qCritical() << "setting_page_shot" << why;
        finish(code);
    }

    void step() override
    {
        if (m_clock.elapsed() > 60000)
            return fail("took too long", 2);
        QQuickWindow *window = exposedQuickWindow();
        if (!window || m_clock.elapsed() < 1000)
            return;
        if (!m_dialog) {
            auto *pages = window->findChild<QQuickItem *>(QStringLiteral("pages"));
            auto *devicePage = window->findChild<QQuickItem *>(QStringLiteral("deviceStackPage"));
            m_dialog = devicePage ? devicePage->findChild<QObject *>(QStringLiteral("settingPage")) : nullptr;
            if (!pages || !m_dialog)
                return fail("no settings dialog", 2);
            pages->setProperty("currentIndex", 0);
            QMetaObject::invokeMethod(m_dialog, "open");
            m_settleUntil = m_clock.elapsed() + 800;
            return;
        }
        if (m_clock.elapsed() < m_settleUntil)
            return;
        auto *area = m_dialog->findChild<QQuickItem *>(QStringLiteral("propertyArea"));
        auto *scroll = m_dialog->findChild<QQuickItem *>(QStringLiteral("scrollView"));
        if (!area || !scroll)
            return fail("no section area", 2);
        auto *flick = scroll->property("contentItem").value<QQuickItem *>();
        QList<QQuickItem *> sections;
        for (QQuickItem *child : area->childItems()) {
            if (child->isVisible())
                sections << child;
        }
        if (m_shot > 0 || m_scrolled) {
            const QImage image = window->grabWindow();
            const QString file = shotName(m_target, m_shot);
            if (image.isNull() || !image.save(file))
                return fail("cannot save a picture", 3);
            qInfo() << "setting_page_shot" << file << image.size();
            m_faults += countCutTexts(m_dialog->property("contentItem").value<QQuickItem *>());
            ++m_shot;
            m_scrolled = false;
            if (m_shot >= sections.size()) {
                finish(m_faults == 0 ? 0 : 4);
                return;
            }
        }
        // The next section at the top of the view, as far as the view scrolls.
        const qreal most = std::max<qreal>(0, flick->property("contentHeight").toReal() - flick->height());
        flick->setProperty("contentY", std::min(sections.at(m_shot)->y(), most));
        m_scrolled = true;
        m_settleUntil = m_clock.elapsed() + 400;
    }

    QObject *m_dialog = nullptr;
    qint64 m_settleUntil = 0;
    int m_shot = 0;
    bool m_scrolled = false;
    int m_faults = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    return runProgram(argc, argv, [](SpoolsmithApp &app) {
        new Photographer(app, qEnvironmentVariable("SPOOLSMITH_SHOT"));
    });
}
