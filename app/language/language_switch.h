#pragma once

#include <QString>

class QTranslator;

// The English translation for the next start; the running interface keeps
// its texts.
class LanguageSwitch
{
public:
    // folder: where the translation lies (empty: beside the program).
    explicit LanguageSwitch(QString folder = {});
    ~LanguageSwitch();
    // Loads the translation and installs it unless language is 0; false
    // when nothing was installed.
    bool setLanguage(int language);

private:
    QString m_folder;
    QTranslator *m_translator = nullptr;
};
