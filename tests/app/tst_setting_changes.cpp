// What a changed setting does at once through the application: the task
// settings are read again only between jobs, the log switches follow (the
// cut direction's reload is in tst_cut_file).
#include "tests/support/app_test_main.h"
#include "tests/support/device_fixture.h"
#include "app/logging.h"

#include <QFile>
#include <QTest>

class TestSettingChanges : public QObject
{
    Q_OBJECT
    DeviceFixture f;

    SpoolsmithApp *app() { return SpoolsmithApp::instance(); }
    QStringList logLines() const
    {
        QFile file(logFilePath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void init()
    {
        // The log goes into the temp folder.
        QVERIFY(f.makeSettings(DeviceFixture::Folder::Program));
        app()->setTaskStatus(2);
    }
    void cleanup()
    {
        qInstallMessageHandler(nullptr);
        f.tearDown();
    }

    void taskSettingsFollowOnlyBetweenJobs()
    {
        f.config->setProperty(Config::CPT_Enable_Print, true);
        app()->onPropertyChanged(Config::CPT_Enable_Print, true);
        QVERIFY(app()->taskEnablePrint());
        // A running job keeps what it started with.
        app()->setTaskStatus(1);
        f.config->setProperty(Config::CPT_Enable_Print, false);
        app()->onPropertyChanged(Config::CPT_Enable_Print, false);
        QVERIFY(app()->taskEnablePrint());
        app()->setTaskStatus(2);
        app()->onPropertyChanged(Config::CPT_Plt_Dir, QString());
        QVERIFY(!app()->taskEnablePrint());
    }

    void logSwitchesFollow()
    {
        initLog();
        app()->onPropertyChanged(Config::CPT_LOG_DEBUG, true);
        app()->onPropertyChanged(Config::CPT_LOG_ERROR, false);
        qDebug() << "debug line";
        qCritical() << "error line";
        app()->onPropertyChanged(Config::CPT_LOG_DEBUG, false);
        app()->onPropertyChanged(Config::CPT_LOG_ERROR, true);
        qDebug() << "hidden debug line";
        qCritical() << "shown error line";
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].startsWith(QStringLiteral("DEBUG ")) && lines[0].endsWith(QStringLiteral("debug line")));
        QVERIFY(lines[1].startsWith(QStringLiteral("ERROR ")) && lines[1].endsWith(QStringLiteral("shown error line")));
    }
};

SPOOLSMITH_APP_TEST_MAIN(TestSettingChanges)
#include "tst_setting_changes.moc"
