#pragma once

class QTranslator;

// The English translation for the next start; the running interface keeps
// its texts.
class LanguageSwitch
{
public:
    ~LanguageSwitch();
    // Loads the translation and installs it unless language is 0.
    bool setLanguage(int language);

private:
    QTranslator *m_translator = nullptr;
};
