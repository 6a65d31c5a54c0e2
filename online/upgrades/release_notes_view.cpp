#include "online/upgrades/release_notes_view.h"

#include "online/upgrades/update_answers.h"

#include <QDebug>
#include <QTextEdit>

QVariant ReleaseNotesDocument::loadResource(int, const QUrl &)
{
    return QVariant();
}

void showReleaseNotes(QTextEdit *view, const QString &notes)
{
    if (!qobject_cast<ReleaseNotesDocument *>(view->document()))
        view->setDocument(new ReleaseNotesDocument(view));
    if (update_answers::notesFitRichText(notes)) {
        view->setHtml(notes);
        return;
    }
    qWarning() << "UpgradesSoftWidget::upgradePost" << "release notes of" << notes.size()
               << "characters shown as plain text";
    view->setPlainText(update_answers::notesAsText(notes));
}
