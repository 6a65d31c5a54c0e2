// The settings dialog as operators see it, photographed: runs the real
// start-up in the current folder, opens the dialog from the device tab and
// writes one PNG per section, scrolled so that the section starts at the top
// (SPOOLSMITH_SHOT names the first; the others get "_2", "_3" ... before
// ".png"). A fixed-width label whose text does not fit must be elided, and a
// button's caption must fit its button: either fault ends with code 4.
#include "app/program_entry.h"
#include "app/spoolsmith_app.h"
#include "tests/qml/shot_steps.h"

#include <QFileInfo>
#include <QImage>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickWindow>
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
    Photographer(SpoolsmithApp &app, QString target)
        : ShotSteps(app, std::move(target), "setting_page_shot")
    {
    }

private:
    void step() override
    {
        if (!waitFor(window(), "the window on screen"))
            return;
        // The device tab is built after the first frame.
        if (!m_dialog) {
            auto *pages = window()->findChild<QQuickItem *>(QStringLiteral("pages"));
            auto *devicePage = window()->findChild<QQuickItem *>(QStringLiteral("deviceStackPage"));
            QObject *dialog = devicePage ? devicePage->findChild<QObject *>(QStringLiteral("settingPage")) : nullptr;
            if (!waitFor(pages && dialog, "the settings dialog"))
                return;
            m_dialog = dialog;
            pages->setProperty("currentIndex", 0);
            QMetaObject::invokeMethod(m_dialog, "open");
            changed();
            return;
        }
        auto *area = m_dialog->findChild<QQuickItem *>(QStringLiteral("propertyArea"));
        auto *scroll = m_dialog->findChild<QQuickItem *>(QStringLiteral("scrollView"));
        auto *flick = scroll ? scroll->property("contentItem").value<QQuickItem *>() : nullptr;
        QList<QQuickItem *> sections;
        for (QQuickItem *child : area ? area->childItems() : QList<QQuickItem *>()) {
            if (child->isVisible())
                sections << child;
        }
        if (!waitFor(m_dialog->property("opened").toBool(), "the settings dialog open")
            || !waitFor(flick && !sections.isEmpty() && flick->property("contentHeight").toReal() > 0,
                        "the sections laid out")
            || !waitFor(settled(), "the dialog at rest"))
            return;
        QQuickWindow *shown = window();
        if (m_shot > 0 || m_scrolled) {
            const QImage image = shown->grabWindow();
            const QString file = shotName(m_target, m_shot);
            if (image.isNull() || !image.save(file))
                return fail(QStringLiteral("cannot save a picture"), 3);
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
        changed();
    }

    QObject *m_dialog = nullptr;
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
