// Counts copies the way a job does, announcing each on stdout, so a test can
// kill it right after a counted copy and check what a restart finds.
// Usage: counter_child <program dir> <adds|setters> <copies> [wait]
#include "settings/config.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4)
        return 2;
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const bool setters = qstrcmp(argv[2], "setters") == 0;
    const int copies = QByteArray(argv[3]).toInt();
    Config config(dir, dir + QStringLiteral("/config.db"));
    for (int i = 1; i <= copies; ++i) {
        if (setters) {
            config.setTodayCopies(config.todayCopies() + 1);
            config.setTotalCopies(config.totalCopies() + 1);
            config.setTodayCut(config.todayCut() + 0.3);
            config.setTotalCut(config.totalCut() + 0.3);
        } else {
            WorkDataRecord copy;
            copy.copies = 1;
            copy.cutLen = 0.3;
            config.addCounts(copy);
        }
        std::printf("counted %d\n", i);
        std::fflush(stdout);
    }
    if (argc > 4 && qstrcmp(argv[4], "wait") == 0) {
        for (;;)
            QThread::sleep(60);
    }
    return 0;
}
