#include "platform/prompt/prompt.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include <atomic>

namespace {

class WidgetPrompt final : public Prompt
{
public:
    void information(const QString &title, const QString &text) override
    {
        QMessageBox::information(nullptr, title, text, QMessageBox::Ok);
    }
    void warning(const QString &title, const QString &text) override
    {
        QMessageBox::warning(nullptr, title, text, QMessageBox::Ok);
    }
    void transientInformation(const QString &title, const QString &text, int timeoutMs) override
    {
        auto *box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::NoButton);
        // A coarse timer may close the box up to 5% early.
        QTimer::singleShot(timeoutMs, Qt::PreciseTimer, box, &QDialog::accept);
        box->exec();
        box->deleteLater();
    }
    QString openFileName(const QString &caption, const QString &dir, const QString &filter) override
    {
        return QFileDialog::getOpenFileName(nullptr, caption, dir, filter);
    }
};

std::atomic<Prompt *> g_installed{nullptr};

} // namespace

Prompt *Prompt::instance()
{
    static WidgetPrompt widgets;
    Prompt *p = g_installed.load();
    return p ? p : &widgets;
}

void Prompt::setInstance(Prompt *p)
{
    g_installed.store(p);
}
