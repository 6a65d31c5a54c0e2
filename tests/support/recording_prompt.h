#pragma once

#include "platform/prompt/prompt.h"

#include <QStringList>

// Stands in for the message boxes: records what would be shown and returns at once.
class RecordingPrompt final : public Prompt
{
public:
    RecordingPrompt();
    ~RecordingPrompt() override;

    void information(const QString &title, const QString &text) override;
    void warning(const QString &title, const QString &text) override;
    void transientInformation(const QString &title, const QString &text, int timeoutMs) override;
    // Records the caption in fileDialogs and answers with the next of
    // fileAnswers (empty, as cancelled, when none is left).
    QString openFileName(const QString &caption, const QString &dir, const QString &filter) override;

    QStringList shown; // texts in the order shown
    QStringList fileDialogs;
    QStringList fileAnswers;
};
