#pragma once

#include <QString>

namespace processes {

// Runs a batch script that raises itself to administrator rights. Nothing
// waits for it: the script's own commands are what counts.
class ElevatedScripts
{
public:
    virtual ~ElevatedScripts() = default;
    // Starts script (an absolute path) in workingDir; false when it was not
    // started.
    virtual bool start(const QString &script, const QString &workingDir) = 0;
};

// The platform's runner unless a test installed one (which must outlive its
// use; null restores the platform's). Where batch scripts cannot run, the
// platform's runner logs and starts nothing.
ElevatedScripts &elevatedScripts();
void installElevatedScripts(ElevatedScripts *scripts);

} // namespace processes
