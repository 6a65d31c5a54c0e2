// The language switch loads the released translation by its decided name.
#include "app/language/language_switch.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestLanguageSwitch : public QObject
{
    Q_OBJECT

private slots:
    void loadsTheReleasedTranslation()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(QStringLiteral(TRANSLATIONS_DIR "/Spoolsmith_en_US.qm"), dir.filePath("Spoolsmith_en_US.qm")));
        {
            LanguageSwitch chinese(dir.path());
            QVERIFY(!chinese.setLanguage(0));
            QCOMPARE(QCoreApplication::translate("SpoolsmithApp", "请等待升级结束"), QStringLiteral("请等待升级结束"));
        }
        {
            LanguageSwitch english(dir.path());
            QVERIFY(english.setLanguage(1));
            QCOMPARE(QCoreApplication::translate("SpoolsmithApp", "请等待升级结束"),
                     QStringLiteral("Please wait until the upgrade has finished"));
        }
        // Gone with its switch.
        QCOMPARE(QCoreApplication::translate("SpoolsmithApp", "请等待升级结束"), QStringLiteral("请等待升级结束"));
    }

    void missingTranslationInstallsNothing()
    {
        QTemporaryDir empty;
        LanguageSwitch english(empty.path());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("SpoolsmithApp::setLanguage no translation in"));
        QVERIFY(!english.setLanguage(1));
    }
};

QTEST_MAIN(TestLanguageSwitch)
#include "tst_language_switch.moc"
