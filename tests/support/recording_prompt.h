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

    QStringList shown; // texts in the order shown
};
