// The check camera's pictures through the application: a cut file of
// labels is opened, the collect side asks for check pictures, and each is
// inspected against the cut file's mask, page size and label grid.
#include "tests/support/app_test_main.h"
#include "tests/support/device_fixture.h"
#include "tests/support/hang_bound.h"
#include "tests/support/recording_prompt.h"
#include "tests/support/synthetic_labels.h"
#include "tests/support/test_camera.h"

#include "app/cut_scene_settings.h"
#include "platform/scene/gscene.h"

#include <QFile>
#include <QTextCodec>
#include <QtTest>

#include <future>

namespace {

// The standard web's labels as a cut file: HPGL gives the position along
// the web first, 40 units a millimetre.
QByteArray cutFileOf(const synth::LabelWeb &web)
{
    QByteArray plt = QStringLiteral("IN;PS%1,%2,0,0,0,160;MD0,0,%1,%2,160;SP1;")
                         .arg(int(web.pageMm.height() * 40))
                         .arg(int(web.pageMm.width() * 40))
                         .toLatin1();
    for (const synth::Label &l : web.labels) {
        const QRectF r = l.mm;
        const int x0 = int(r.left() * 40), x1 = int(r.right() * 40);
        const int y0 = int(r.top() * 40), y1 = int(r.bottom() * 40);
        plt += QStringLiteral("PU%1,%2;PD%1,%4,%3,%4,%3,%2,%1,%2;").arg(y0).arg(x0).arg(y1).arg(x1).toLatin1();
    }
    return plt;
}

} // namespace

class TstCheckCameraInspection : public QObject
{
    Q_OBJECT

    SpoolsmithApp *app() { return SpoolsmithApp::instance(); }

    bool captureOnThread()
    {
        auto result = std::async(std::launch::async, [this] { return app()->doCapture(2); });
        while (result.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return result.get();
    }

    DeviceFixture f;
    RecordingPrompt m_prompt;
    std::unique_ptr<TestCamera> m_camera;

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=false\ndefault.debug=false"));
        Prompt::setInstance(&m_prompt);
    }
    void init()
    {
        QVERIFY(f.makeSettings(DeviceFixture::Folder::Program));
        CutSceneSettings::install([] { return SpoolsmithApp::instance()->cutScene(); });
        f.makeDevice(DeviceFixture::Driver::Registered);
        // Every request is answered: the program's capture wait is stretched
        // to the hang bound, so a loaded machine's slow picture still counts.
        f.config->setProperty(Config::CPT_Wait_Capture, int(kHangMs));
        f.config->setEnableScanAndTrim(true);
        f.config->setCheckCameraRotation(90);
        f.config->setProperty(Config::CPT_Enable_QRCode, true);
        f.config->setProperty(Config::CPT_Enable_BARCode, true);
        app()->loadTaskSettings();
        m_camera = std::make_unique<TestCamera>();
        QVERIFY(app()->connectCameraObject(m_camera.get()));
    }
    void cleanup()
    {
        m_camera.reset();
        app()->joinLabelChecks();
        app()->cutScene()->gClear();
        f.tearDown();
    }

    // First: no cut file was opened yet in this process.
    void noCutFileAsksForOne()
    {
        m_camera->setLabelSource([] { return synth::renderCheckPicture(synth::standardWeb()); });
        // The picture of a waiting request: no message (the request's own
        // thread decides).
        QVERIFY(captureOnThread());
        QVERIFY(f.device->errorMessage().isEmpty());
        // A picture nobody waits for: the operator is told.
        QSignalSpy message(f.device.get(), &TRV610Plus::errorMessageChanged);
        app()->capturedLabelImage(2, QVariant::fromValue(synth::renderCheckPicture(synth::standardWeb())));
        QTRY_COMPARE_WITH_TIMEOUT(message.count(), 1, kHangMs);
        QCOMPARE(f.device->errorMessage(), QStringLiteral("切割文件未打开 \n"));
    }

    void checkPicturesAgainstTheOpenCutFile()
    {
        synth::LabelWeb web = synth::standardWeb();
        app()->setCutFile(f.writeFile("labels.plt", cutFileOf(web)));
        QCOMPARE(app()->cutPageSize(), web.pageMm);
        QVERIFY(!app()->inspectionTemplate().empty());
        // The new template's own check picture is taken and inspected first.
        QTRY_COMPARE_WITH_TIMEOUT(m_camera->requests(), 1, kHangMs);
        app()->joinLabelChecks();
        QCoreApplication::processEvents();

        QSignalSpy repaint(app(), &SpoolsmithApp::lostViewUpdate);
        web.missing = {5};
        int pageY = 150;
        m_camera->setLabelSource([&web, &pageY] {
            web.firstPageY = pageY;
            return synth::renderCheckPicture(web);
        });
        QVERIFY(captureOnThread());
        QCOMPARE(repaint.count(), 1);
        QVERIFY(qAbs(app()->segmentX() - 150) <= 2);
        QVERIFY(qAbs(app()->checkPaperTop() - web.firstEdge) <= 2);
        QCOMPARE(app()->imageHeight(), web.size.height());
        QCOMPARE(app()->checkedCopies(), 1);
        QVERIFY(qAbs(app()->checkCameraScale() - 100.0 / 1200.0) < 0.001);
        pageY = 240;
        QVERIFY(captureOnThread());
        QCOMPARE(app()->checkedCopies(), 2);

        QFile report(QStringLiteral("label.csv"));
        QVERIFY(report.open(QIODevice::ReadOnly));
        const QString text = QTextCodec::codecForName("GBK")->toUnicode(report.readAll());
        // The grid comes from the cut file: label 5 is row 3, column 2.
        QVERIFY2(text.contains(QStringLiteral("\"lost: 1, check: 5, BAR: 1, QR: 1\"")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("\"LOST1、3, 2(")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("CHECK1 1, 1(")));
        QVERIFY(text.contains(QStringLiteral("code SPOOL-0001")));
        QVERIFY(f.device->errorMessage().isEmpty());
    }
};

SPOOLSMITH_APP_TEST_MAIN(TstCheckCameraInspection)

#include "tst_check_camera_inspection.moc"
