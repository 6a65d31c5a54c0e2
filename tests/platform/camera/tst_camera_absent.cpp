// No camera on the machine (the default interfaces: USB3 Vision only, no
// network discovery): every call fails cleanly and says so.
#include "platform/camera/camera_interfaces.h"
#include "platform/camera/hk_camera.h"

#include <QtTest>

class TestCameraAbsent : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qunsetenv("SPOOLSMITH_FAKE_CAMERA");
        qunsetenv("SPOOLSMITH_GIGE_CAMERA");
        const CameraInterfaces defaults = CameraInterfaces::fromEnvironment();
        QVERIFY(defaults.usb3);
        QVERIFY2(!defaults.gige, "GigE discovery broadcasts: off unless asked for");
        QVERIFY(!defaults.fake);
        qputenv("SPOOLSMITH_GIGE_CAMERA", "1");
        QVERIFY(CameraInterfaces::fromEnvironment().gige);
        qunsetenv("SPOOLSMITH_GIGE_CAMERA");
    }

    void everyCallFailsCleanly()
    {
        QTest::ignoreMessage(QtCriticalMsg, "HKCamera::searchCamera Find No Devices!");
        HKCamera *camera = HKCamera::instance();
        if (!camera->serialNumbers().isEmpty())
            QSKIP("a USB3 Vision camera is connected to this machine");
        QVERIFY(camera->serialList().empty());

        QTest::ignoreMessage(QtCriticalMsg, "HKCamera::openCamera Find No Devices!");
        QVERIFY(!camera->openCamera("00D12345678"));
        QTest::ignoreMessage(QtCriticalMsg, "HKCamera::openCamera Find No Devices!");
        QVERIFY(camera->getFrame("00D12345678").empty());
        QVERIFY(camera->getFrame("").empty());
        QVERIFY(!camera->startVideo("00D12345678", "/tmp/never.avi"));
        camera->stopVideo("00D12345678");
        QVERIFY(camera->closeCamera(nullptr));
        camera->closeAll();
        QVERIFY(!QFile::exists("/tmp/never.avi"));
    }
};

QTEST_GUILESS_MAIN(TestCameraAbsent)
#include "tst_camera_absent.moc"
