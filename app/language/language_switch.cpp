#include "app/language/language_switch.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTranslator>

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
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    if (!m_translator->load(QStringLiteral("appSpoolsmith2024_en.qm"), dir))
        qWarning() << "SpoolsmithApp::setLanguage" << "no translation in" << dir;
    if (language == 0)
        return false;
    return QCoreApplication::installTranslator(m_translator);
}
