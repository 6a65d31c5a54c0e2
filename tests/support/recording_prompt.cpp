#include "tests/support/recording_prompt.h"

RecordingPrompt::RecordingPrompt() { Prompt::setInstance(this); }
RecordingPrompt::~RecordingPrompt() { Prompt::setInstance(nullptr); }

void RecordingPrompt::information(const QString &, const QString &text) { shown.append(text); }
void RecordingPrompt::warning(const QString &, const QString &text) { shown.append(text); }
void RecordingPrompt::transientInformation(const QString &, const QString &text, int) { shown.append(text); }
QString RecordingPrompt::openFileName(const QString &caption, const QString &, const QString &)
{
    fileDialogs.append(caption);
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}
