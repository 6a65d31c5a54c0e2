#pragma once

#include <QString>

// Modal boxes reached from non-UI code (settings, program entry). Everything
// goes through one replaceable object so that tests never block on a dialog.
class Prompt
{
public:
    virtual ~Prompt() = default;

    // Information box with an OK button; returns when it is closed.
    virtual void information(const QString &title, const QString &text) = 0;
    // Warning box with an OK button.
    virtual void warning(const QString &title, const QString &text) = 0;
    // Information box without buttons that closes itself after timeoutMs.
    virtual void transientInformation(const QString &title, const QString &text, int timeoutMs) = 0;
    // File-open dialog; the chosen path, empty when cancelled.
    virtual QString openFileName(const QString &caption, const QString &dir, const QString &filter) = 0;

    // The box service in use: the widget boxes unless a test installed another.
    static Prompt *instance();
    // Installs p (not owned); nullptr restores the widget boxes.
    static void setInstance(Prompt *p);
};
