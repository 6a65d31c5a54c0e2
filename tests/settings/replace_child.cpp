// Replaces one settings file with two others in turn, for ever, announcing
// each replacement on stdout, so a test can kill it at any moment.
// Usage: replace_child <source a> <source b> <target>
#include "settings/settings_files.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4)
        return 2;
    const QString sources[2] = {QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])};
    const QString target = QString::fromLocal8Bit(argv[3]);
    for (unsigned long i = 0;; ++i) {
        if (!SettingsFiles::replaceFile(sources[i % 2], target))
            return 1;
        std::printf("replaced %lu\n", i);
        std::fflush(stdout);
    }
}
