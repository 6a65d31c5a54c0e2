#include "platform/processes/elevated_script.h"

#include <QDebug>
#include <QDir>
#include <QProcess>

#include <atomic>

#include "core/installed_override.h"

namespace processes {

namespace {

class PlatformScripts : public ElevatedScripts
{
public:
    bool start(const QString &script, const QString &workingDir) override
    {
#ifdef Q_OS_WIN
        // Detached: the elevation prompt may wait for the operator.
        return QProcess::startDetached(QStringLiteral("cmd.exe"),
                                       {QStringLiteral("/c"), QDir::toNativeSeparators(script)}, workingDir);
#else
        // Nothing here runs a batch script: the script is written, not run,
        // and that is said once a run.
        static std::atomic<bool> told{false};
        if (!told.exchange(true))
            qInfo() << "processes::elevatedScripts" << "batch scripts do not run on this system; not run:" << script
                    << workingDir;
        return false;
#endif
    }
};

spoolsmith::InstalledOverride<ElevatedScripts> g_override;

} // namespace

ElevatedScripts &elevatedScripts()
{
    static PlatformScripts platform;
    return g_override.get(platform);
}

void installElevatedScripts(ElevatedScripts *scripts)
{
    g_override.install(scripts);
}

} // namespace processes
