// Time from starting the program to its window's first frame, in fresh
// processes, on the X display the benchmark runs on (scripts/run-bench.sh
// gives it an Xvfb of its own; without one it falls back to offscreen and
// says so). Measured: the program as it starts; it must still have its OCR
// models loaded afterwards. Baseline, interleaved in the same run: a minimal
// Qt Quick window in a process of the same program file, which is what any
// window costs here (process start, libraries, the scene graph's first frame).
#include "app/program_entry.h"
#include "app/spoolsmith_app.h"
#include "bench/support/interleaved.h"
#include "platform/ocr/ocr_lite.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

#include <cstdio>
#include <cstring>
#include <vector>

Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)

namespace {

// A minimal Qt Quick window; prints "FRAME" at its first frame and ends
// (with no models to wait for).
int minimalWindow()
{
    int count = 1;
    char name[] = "spoolsmith";
    char *args[] = {name, nullptr};
    QGuiApplication app(count, args);
    QQmlApplicationEngine engine;
    engine.loadData("import QtQuick\nWindow { visible: true; width: 1280; height: 800;"
                    " Rectangle { anchors.fill: parent; color: \"white\" } }");
    auto *window = engine.rootObjects().isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    if (!window) {
        std::printf("NO WINDOW\n");
        return 3;
    }
    QObject::connect(
        window, &QQuickWindow::frameSwapped, &app,
        [] {
            std::printf("FRAME\nOCR 1\n");
            std::fflush(stdout);
            QCoreApplication::exit(0);
        },
        Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    return app.exec();
}

// One start of the program; prints "FRAME" at the first frame and "OCR 1"
// (or "OCR 0") once the models are loaded, then ends.
int child()
{
    char name[] = "spoolsmith";
    char *args[] = {name, nullptr};
    int count = 1;
    return runProgram(count, args, [](SpoolsmithApp &app) {
        auto done = [&app] {
            std::printf("FRAME\n");
            std::fflush(stdout);
            // The models load in the background: wait for them (bounded).
            QElapsedTimer waited;
            waited.start();
            while (!app.ocr().isReady() && waited.elapsed() < 20000)
                QThread::msleep(5);
            std::printf("OCR %d\n", app.ocr().isReady() ? 1 : 0);
            std::fflush(stdout);
            app.exitApp(0);
        };
        bool connected = false;
        for (QWindow *window : QGuiApplication::topLevelWindows())
            if (auto *quick = qobject_cast<QQuickWindow *>(window)) {
                QObject::connect(quick, &QQuickWindow::frameSwapped, &app, done,
                                 Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
                connected = true;
            }
        if (!connected) {
            std::printf("NO WINDOW\n");
            app.exitApp(3);
        }
    });
}

bool onX()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY");
}

// Starts the program in a fresh folder; the time to its first frame in ms,
// or a negative number when it did not draw or did not load its models.
double start(const QString &program, const QString &folder, bool minimal)
{
    QProcess p;
    p.setProgram(program);
    p.setArguments({QStringLiteral("--child"), minimal ? QStringLiteral("baseline") : QStringLiteral("measured")});
    p.setWorkingDirectory(folder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), onX() ? QStringLiteral("xcb") : QStringLiteral("offscreen"));
    env.insert(QStringLiteral("SPOOLSMITH_DISCOVERY_PORT"), QStringLiteral("0"));
    env.insert(QStringLiteral("SPOOLSMITH_INSTANCE_KEY"),
               QStringLiteral("bench-startup-%1").arg(QCoreApplication::applicationPid()));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer clock;
    clock.start();
    p.start();
    double frame = -1.0;
    QByteArray out;
    while (p.state() != QProcess::NotRunning || p.bytesAvailable()) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
        if (frame < 0 && out.contains("FRAME\n"))
            frame = clock.nsecsElapsed() / 1e6;
        if (out.contains("OCR ") || clock.elapsed() > 60000)
            break;
    }
    p.waitForFinished(30000);
    out += p.readAllStandardOutput();
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
    }
    if (!out.contains("OCR 1")) {
        std::fprintf(stderr, "start without a frame or models: %s\n", out.constData());
        return -1.0;
    }
    return frame;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return std::strcmp(argv[2], "baseline") == 0 ? minimalWindow() : child();

    QCoreApplication app(argc, argv);
    // A program folder of its own: the settings, the database and the log
    // are written beside the program and in the working folder.
    QTemporaryDir folder;
    const QString program = folder.filePath(QStringLiteral("spoolsmith"));
    if (!QFile::copy(QCoreApplication::applicationFilePath(), program)) {
        std::fprintf(stderr, "cannot copy the program\n");
        return 2;
    }
    QFile(program).setPermissions(QFile(program).permissions() | QFileDevice::ExeOwner);
    const QString models = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../../bin/models"));
    if (!QFile::link(QDir::cleanPath(models), folder.filePath(QStringLiteral("models")))) {
        std::fprintf(stderr, "cannot link the models\n");
        return 2;
    }
    constexpr int kWarmup = 1;
    constexpr int kRounds = 12;
    std::vector<double> measured, baseline;
    for (int r = 0; r < kWarmup + kRounds; ++r) {
        for (bool minimal : {r % 2 == 1, r % 2 == 0}) {
            const double ms = start(program, folder.path(), minimal);
            if (ms < 0)
                return 2;
            if (r >= kWarmup)
                (minimal ? baseline : measured).push_back(ms);
        }
    }
    const bench::Figures m = bench::figures(measured), b = bench::figures(baseline);
    const std::string where = onX() ? "" : " (offscreen: no X display)";
    bench::row("first frame p50" + where, m.p50, "ms", "<= 400 ms", b.p50, "minimal Qt Quick window", m.p50 <= 400.0);
    bench::row("first frame p99" + where, m.p99, "ms", "(reported)", b.p99, "minimal Qt Quick window", true);
    return 0;
}
