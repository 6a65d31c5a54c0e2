// The industrial camera against Aravis's in-process fake camera (no network),
// and the pixel conversions a real camera needs.
#include <arv.h>

#include "platform/camera/camera_interfaces.h"
#include "platform/camera/hk_camera.h"
#include "platform/camera/pixel_convert.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

namespace {
// Whether OpenCV's video library is mapped into this process.
bool videoLibraryLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libopencv_videoio");
}
} // namespace

class TestHKCamera : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(qEnvironmentVariableIntValue("SPOOLSMITH_FAKE_CAMERA"), 1);
        const CameraInterfaces only = CameraInterfaces::fromEnvironment();
        QVERIFY(only.fake && !only.usb3 && !only.gige);
    }

    void findsAndGrabsTheFakeCamera()
    {
        HKCamera *camera = HKCamera::instance();
        QCOMPARE(HKCamera::instance(), camera);
        QCOMPARE(camera->serialNumbers(), QStringList{QStringLiteral("1")});

        // getFrame opens a camera it has not opened yet.
        const cv::Mat frame = camera->getFrame("1");
        QVERIFY(!frame.empty());
        QCOMPARE(frame.type(), CV_8UC3);
        QVERIFY(frame.cols > 0 && frame.rows > 0);
        QVERIFY(camera->isOpen("1"));
        QVERIFY(camera->openCamera("1")); // already open: nothing new
        // The device id names the same camera.
        QVERIFY(camera->openCamera("Fake_1"));
        QVERIFY(!camera->getFrame("Fake_1").empty());
    }

    void unknownSerialFailsCleanly()
    {
        HKCamera *camera = HKCamera::instance();
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("HKCamera::openCamera.*no camera.*nope"));
        QVERIFY(!camera->openCamera("nope"));
        QVERIFY(!camera->isOpen("nope"));
        QVERIFY(!camera->startVideo("nope", "x.avi"));
        camera->stopVideo("nope");
        QVERIFY(camera->closeCamera(nullptr));
    }

    void recordsGrabbedFramesToAvi()
    {
        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("check.avi")).toStdString();
        HKCamera *camera = HKCamera::instance();
        QVERIFY(camera->openCamera("1"));
        // The video library is loaded by the first recording, not at start-up.
        QVERIFY(!videoLibraryLoaded());
        QVERIFY(camera->startVideo("1", path));
        QVERIFY(videoLibraryLoaded());
        for (int i = 0; i < 5; ++i)
            QVERIFY(!camera->getFrame("1").empty());
        camera->stopVideo("1");
        const QFileInfo avi(QString::fromStdString(path));
        QVERIFY(avi.exists());
        QVERIFY(avi.size() > 1000);
        // Stopped: further frames do not grow the file.
        const qint64 size = avi.size();
        QVERIFY(!camera->getFrame("1").empty());
        QCOMPARE(QFileInfo(QString::fromStdString(path)).size(), size);
    }

    // Frames the stream queued while nobody grabbed (the camera switched
    // away) are never the answer: the first frame after the pause is new.
    void firstFrameAfterAPauseIsNew_data()
    {
        QTest::addColumn<int>("pauseMs");
        QTest::newRow("no pause") << 0;
        QTest::newRow("queue filled") << 400;
        QTest::newRow("long pause") << 1500;
    }

    void firstFrameAfterAPauseIsNew()
    {
        QFETCH(int, pauseMs);
        HKCamera *camera = HKCamera::instance();
        QVERIFY(!camera->getFrame("1").empty());
        QTest::qWait(pauseMs);
        const qint64 askedUs = g_get_real_time();
        qint64 takenUs = 0;
        QVERIFY(!camera->getFrame("1", &takenUs).empty());
        QVERIFY2(takenUs >= askedUs, qPrintable(QStringLiteral("%1 µs old").arg(askedUs - takenUs)));
    }

    void closeAllThenReopen()
    {
        HKCamera *camera = HKCamera::instance();
        camera->closeAll();
        QVERIFY(!camera->isOpen("1"));
        QVERIFY(!camera->getFrame("1").empty());
        camera->closeAll();
    }

    void bayerBecomesRgb()
    {
        // A red scene through a BayerRG filter: only the R sites are lit.
        const int w = 8, h = 6;
        std::vector<quint8> raw(w * h, 0);
        for (int y = 0; y < h; y += 2)
            for (int x = 0; x < w; x += 2)
                raw[y * w + x] = 200;
        const cv::Mat rgb = convertToRgb8(raw.data(), raw.size(), w, h, ARV_PIXEL_FORMAT_BAYER_RG_8);
        QCOMPARE(rgb.type(), CV_8UC3);
        const cv::Vec3b centre = rgb.at<cv::Vec3b>(3, 4);
        QVERIFY2(centre[0] > 150 && centre[1] < 50 && centre[2] < 50, "red stays red");
    }

    void otherFormats()
    {
        const quint8 bgr[3] = {10, 20, 30};
        const cv::Mat rgb = convertToRgb8(bgr, 3, 1, 1, ARV_PIXEL_FORMAT_BGR_8_PACKED);
        QCOMPARE(rgb.at<cv::Vec3b>(0, 0), cv::Vec3b(30, 20, 10));

        const quint8 same[3] = {1, 2, 3};
        QCOMPARE(convertToRgb8(same, 3, 1, 1, ARV_PIXEL_FORMAT_RGB_8_PACKED).at<cv::Vec3b>(0, 0), cv::Vec3b(1, 2, 3));

        // Mono8 becomes three equal channels; Mono12 is scaled to 8 bits.
        const quint8 grey = 77;
        QCOMPARE(convertToRgb8(&grey, 1, 1, 1, ARV_PIXEL_FORMAT_MONO_8).at<cv::Vec3b>(0, 0), cv::Vec3b(77, 77, 77));
        const quint16 wide = 4095;
        QCOMPARE(convertToRgb8(&wide, 2, 1, 1, ARV_PIXEL_FORMAT_MONO_12).at<cv::Vec3b>(0, 0), cv::Vec3b(255, 255, 255));
        // Mono12Packed: 0xAB1 and 0xCD2, the low nibbles of both in the middle byte.
        const quint8 packed[3] = {0xAB, 0x21, 0xCD};
        const cv::Mat two = convertToRgb8(packed, 3, 2, 1, ARV_PIXEL_FORMAT_MONO_12_PACKED);
        QCOMPARE(two.at<cv::Vec3b>(0, 0), cv::Vec3b(0xAB, 0xAB, 0xAB));
        QCOMPARE(two.at<cv::Vec3b>(0, 1), cv::Vec3b(0xCD, 0xCD, 0xCD));
    }

    // A packed frame (two pixels in three bytes, GigE Vision layout) gives
    // the same picture as the unpacked frame of the same pixels.
    void packedFormatsConvertLikeUnpacked_data()
    {
        QTest::addColumn<quint32>("packed");
        QTest::addColumn<quint32>("unpacked");
        QTest::addColumn<int>("bits");
        QTest::newRow("Mono10Packed") << quint32(ARV_PIXEL_FORMAT_MONO_10_PACKED) << quint32(ARV_PIXEL_FORMAT_MONO_10) << 10;
        QTest::newRow("Mono12Packed") << quint32(ARV_PIXEL_FORMAT_MONO_12_PACKED) << quint32(ARV_PIXEL_FORMAT_MONO_12) << 12;
        QTest::newRow("BayerRG10Packed") << quint32(ARV_PIXEL_FORMAT_BAYER_RG_10_PACKED) << quint32(ARV_PIXEL_FORMAT_BAYER_RG_10) << 10;
        QTest::newRow("BayerBG10Packed") << quint32(ARV_PIXEL_FORMAT_BAYER_BG_10_PACKED) << quint32(ARV_PIXEL_FORMAT_BAYER_BG_10) << 10;
        QTest::newRow("BayerGR10Packed") << quint32(ARV_PIXEL_FORMAT_BAYER_GR_10_PACKED) << quint32(ARV_PIXEL_FORMAT_BAYER_GR_10) << 10;
        QTest::newRow("BayerGB10Packed") << quint32(ARV_PIXEL_FORMAT_BAYER_GB_10_PACKED) << quint32(ARV_PIXEL_FORMAT_BAYER_GB_10) << 10;
        QTest::newRow("BayerRG12Packed") << quint32(ARV_PIXEL_FORMAT_BAYER_RG_12_PACKED) << quint32(ARV_PIXEL_FORMAT_BAYER_RG_12) << 12;
        QTest::newRow("BayerBG12Packed") << quint32(ARV_PIXEL_FORMAT_BAYER_BG_12_PACKED) << quint32(ARV_PIXEL_FORMAT_BAYER_BG_12) << 12;
        QTest::newRow("BayerGR12Packed") << quint32(ARV_PIXEL_FORMAT_BAYER_GR_12_PACKED) << quint32(ARV_PIXEL_FORMAT_BAYER_GR_12) << 12;
        QTest::newRow("BayerGB12Packed") << quint32(ARV_PIXEL_FORMAT_BAYER_GB_12_PACKED) << quint32(ARV_PIXEL_FORMAT_BAYER_GB_12) << 12;
    }

    void packedFormatsConvertLikeUnpacked()
    {
        QFETCH(quint32, packed);
        QFETCH(quint32, unpacked);
        QFETCH(int, bits);
        // An odd pixel count: the last group holds one pixel.
        const int w = 9, h = 5;
        std::vector<quint16> pixels(w * h);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = quint16((i * 2654435761u >> 7) & ((1u << bits) - 1));
        const int low = bits - 8;
        std::vector<quint8> bytes((pixels.size() * 3 + 1) / 2, 0);
        for (size_t i = 0; i < pixels.size(); i += 2) {
            quint8 *group = &bytes[i / 2 * 3];
            group[0] = quint8(pixels[i] >> low);
            group[1] = quint8(pixels[i] & ((1u << low) - 1));
            if (i + 1 < pixels.size()) {
                group[2] = quint8(pixels[i + 1] >> low);
                group[1] |= quint8((pixels[i + 1] & ((1u << low) - 1)) << 4);
            }
        }
        std::string why;
        const cv::Mat fromPacked = convertToRgb8(bytes.data(), bytes.size(), w, h, packed, &why);
        QVERIFY2(!fromPacked.empty(), why.c_str());
        const cv::Mat fromUnpacked = convertToRgb8(pixels.data(), pixels.size() * 2, w, h, unpacked);
        QCOMPARE(fromPacked.type(), CV_8UC3);
        QCOMPARE(fromPacked.size(), cv::Size(w, h));
        QCOMPARE(cv::norm(fromPacked, fromUnpacked, cv::NORM_INF), 0.0);
    }

    void badFramesGiveNothing()
    {
        std::string why;
        const std::vector<quint8> shortBuffer(10, 0);
        QVERIFY(convertToRgb8(shortBuffer.data(), shortBuffer.size(), 8, 8, ARV_PIXEL_FORMAT_MONO_8, &why).empty());
        QVERIFY(!why.empty());
        // Packed: 2 × 2 pixels need 6 bytes.
        QVERIFY(convertToRgb8(shortBuffer.data(), 5, 2, 2, ARV_PIXEL_FORMAT_MONO_10_PACKED).empty());
        QVERIFY(convertToRgb8(nullptr, 0, 2, 2, ARV_PIXEL_FORMAT_MONO_8).empty());
        QVERIFY(convertToRgb8(shortBuffer.data(), shortBuffer.size(), -1, 2, ARV_PIXEL_FORMAT_MONO_8).empty());
    }
};

QTEST_GUILESS_MAIN(TestHKCamera)
#include "tst_hk_camera.moc"
