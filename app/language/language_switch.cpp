#include "app/language/language_switch.h"

#include "app/language/translation_file.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTranslator>

LanguageSwitch::LanguageSwitch(QString folder)
    : m_folder(folder.isEmpty() ? TranslationFile::folder() : std::move(folder))
{
}

LanguageSwitch::~LanguageSwitch()
{
    if (m_translator)
        QCoreApplication::removeTranslator(m_translator);
    delete m_translator;
}

bool LanguageSwitch::setLanguage(int language)
{
    // Takes effect at the next start; the running interface keeps its texts.
    if (!m_translator)
        m_translator = new QTranslator;
    const bool loaded = m_translator->load(TranslationFile::name(), m_folder);
    if (!loaded)
        qWarning() << "SpoolsmithApp::setLanguage" << "no translation in" << m_folder;
    // An empty translator installed would report a language it cannot show.
    if (language == 0 || !loaded)
        return false;
    return QCoreApplication::installTranslator(m_translator);
}
