#pragma once

#include <QString>
#include <QTextDocument>

class QTextEdit;

// The release notes come from the update server: markup is laid out, but
// nothing it names is ever loaded (a picture could name /dev/zero or a pipe).
class ReleaseNotesDocument : public QTextDocument
{
    Q_OBJECT
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int type, const QUrl &name) override;
};

// Shows notes as rich text when they are small and shallow enough to lay out
// at once, else as plain text.
void showReleaseNotes(QTextEdit *view, const QString &notes);
