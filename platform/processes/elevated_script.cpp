#include "platform/processes/elevated_script.h"

#include <QDebug>
#include <QDir>
#include <QProcess>

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
        qInfo() << "processes::elevatedScripts" << "batch scripts do not run on this system; skipped" << script
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
