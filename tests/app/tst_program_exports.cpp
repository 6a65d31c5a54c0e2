// What the program file exports, looked up in the running program by a
// probe preloaded into it.
#include "tests/support/hang_bound.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TstProgramExports : public QObject
{
    Q_OBJECT

private slots:
    void onlineClassesAndQmlRegistrationAreExported()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString out = dir.filePath(QStringLiteral("symbols.txt"));
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(EXPORT_PROBE));
        env.insert(QStringLiteral("SPOOLSMITH_EXPORT_PROBE"), out);
        // A sanitised program would refuse a library loaded ahead of its runtime.
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("verify_asan_link_order=0"));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(dir.path());
        program.start(QStringLiteral(PROGRAM_FILE), {});
        QVERIFY(program.waitForFinished(kHangMs));
        QCOMPARE(program.exitCode(), 0);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QMap<QByteArray, QByteArray> found;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> parts = line.split('=');
            if (parts.size() == 2)
                found.insert(parts.at(0), parts.at(1));
        }
        const QList<QPair<QByteArray, QByteArray>> expected{
            {"_ZN11mqttMessage16staticMetaObjectE", "1"},
            {"_ZTV11mqttMessage", "1"},
            {"_ZN11mqttMessageC1EP7QObject", "1"},
            {"_ZN11mqttSettingC1Ev", "1"},
            {"_ZN11mqttSettingD1Ev", "1"},
            {"_ZN19CarouselImageWindow16staticMetaObjectE", "1"},
            {"_ZTV19CarouselImageWindow", "1"},
            {"_Z33qml_register_types_Spoolsmith2024v", "1"},
            {"_ZN13SpoolsmithApp8instanceEv", "0"},
        };
        QCOMPARE(found.size(), expected.size());
        for (const auto &[name, visible] : expected)
            QVERIFY2(found.value(name) == visible, name.constData());
    }
};

QTEST_GUILESS_MAIN(TstProgramExports)
#include "tst_program_exports.moc"
