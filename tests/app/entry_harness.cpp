// The program with a steering wheel: SPOOLSMITH_HARNESS says what to do once
// start-up is done, and a few facts are written to "report.txt" in the
// working directory for the test to read.
#include "settings/config.h"
#include "app/program_entry.h"
#include "app/spoolsmith_app.h"

#include <QFile>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)

namespace {

void writeFile(const QString &name, const QByteArray &data)
{
    QFile f(name);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(data);
}

QByteArray readFile(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
}

void steer(SpoolsmithApp &app)
{
    const QString plan = qEnvironmentVariable("SPOOLSMITH_HARNESS");
    writeFile(QStringLiteral("report.txt"),
              "enabledTest=" + QByteArray(app.enabledTest() ? "1" : "0") + "\nlabel0="
                  + Config::instance()->getPropertyName(Config::CPT_Gyroscope_Trigger).toUtf8() + "\n");

    // Written only once the event loop runs.
    QTimer::singleShot(0, &app, [] { writeFile(QStringLiteral("looped"), "1"); });
    if (plan.startsWith(QLatin1String("exit:"))) {
        app.exitApp(plan.mid(5).toInt());
    } else if (plan.startsWith(QLatin1String("exit-in-loop:"))) {
        const int code = plan.mid(13).toInt();
        QTimer::singleShot(0, &app, [&app, code] { app.exitApp(code); });
    } else if (plan == QLatin1String("restart-once")) {
        const int runs = readFile(QStringLiteral("runs")).toInt() + 1;
        writeFile(QStringLiteral("runs"), QByteArray::number(runs));
        const int code = runs == 1 ? 777 : 0;
        QTimer::singleShot(0, &app, [&app, code] { app.exitApp(code); });
    } else if (plan == QLatin1String("stay")) {
        // Runs until the test drops a "stop" file.
        auto *poll = new QTimer(&app);
        QObject::connect(poll, &QTimer::timeout, &app, [&app] {
            if (QFile::exists(QStringLiteral("stop")))
                app.exitApp(0);
        });
        poll->start(50);
    }
    writeFile(QStringLiteral("started"), QByteArray::number(QCoreApplication::applicationPid()));
}

} // namespace

int main(int argc, char *argv[])
{
    return runProgram(argc, argv, steer);
}
