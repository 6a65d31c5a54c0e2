// The OCR engine's own pieces, without models: paths written the Windows
// way, the key list, CTC decoding, text boxes, and a clean failure when the
// models are missing.
#include "platform/ocr/ocr_ctc.h"
#include "platform/ocr/ocr_lite.h"
#include "platform/ocr/ocr_paths.h"
#include "platform/ocr/ocr_text_boxes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestOcrLite : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QDir::setCurrent(m_dir.path());
        QDir().mkpath(QStringLiteral("models"));
    }

    void windowsPathsWork()
    {
        touch(QStringLiteral("models/a.txt"));
        QCOMPARE(toLocalPath(QStringLiteral(".\\models\\a.txt")), QStringLiteral("models/a.txt"));
        QVERIFY(QFile::exists(toLocalPath(QStringLiteral(".\\models\\a.txt"))));
        QCOMPARE(toLocalPath(QStringLiteral("/abs/x")), QStringLiteral("/abs/x"));
    }

    void newerModelStandsInForTheNamedOne()
    {
        touch(QStringLiteral("models/ch_PP-OCRv4_det_infer.onnx"));
        QCOMPARE(resolveModelFile(QStringLiteral(".\\models\\ch_PP-OCRv3_det_infer.onnx")),
                 QStringLiteral("models/ch_PP-OCRv4_det_infer.onnx"));
        touch(QStringLiteral("models/ch_PP-OCRv3_det_infer.onnx"));
        QCOMPARE(resolveModelFile(QStringLiteral(".\\models\\ch_PP-OCRv3_det_infer.onnx")),
                 QStringLiteral("models/ch_PP-OCRv3_det_infer.onnx"));
        QVERIFY(resolveModelFile(QStringLiteral(".\\models\\none.onnx")).isEmpty());
    }

    void keysAndGreedyDecoding()
    {
        QFile keys(QStringLiteral("models/keys.txt"));
        QVERIFY(keys.open(QIODevice::WriteOnly));
        keys.write("a\r\nb\nc\n");
        keys.close();
        bool ok = false;
        const std::vector<std::string> alphabet = loadOcrKeys("models/keys.txt", &ok);
        QVERIFY(ok);
        QCOMPARE(alphabet.size(), std::size_t(5)); // blank a b c space
        QCOMPARE(alphabet[1], std::string("a"));
        QCOMPARE(alphabet[4], std::string(" "));
        loadOcrKeys("models/missing.txt", &ok);
        QVERIFY(!ok);

        // Steps: a a blank a b b (class 9: past the alphabet, read as blank) c
        const int classes = 10;
        const int best[] = {1, 1, 0, 1, 2, 2, 9, 3};
        const int steps = int(sizeof(best) / sizeof(best[0]));
        std::vector<float> scores(steps * classes, 0.01f);
        for (int t = 0; t < steps; ++t)
            scores[t * classes + best[t]] = 0.9f;
        const CtcText text = ctcGreedyDecode(scores.data(), steps, classes, alphabet);
        QCOMPARE(text.text, std::string("aabc"));
        QCOMPARE(text.charScores.size(), std::size_t(4));
    }

    // Limited to some characters, a step that holds a character takes the
    // best allowed one; blanks stay blanks.
    void decodingOverAllowedCharacters()
    {
        const std::vector<std::string> alphabet{"", "0", "O", "1", "中", " "};
        const std::vector<bool> allowed = ctcAllowedEntries(alphabet, "0123456789abcdef");
        QCOMPARE(allowed, (std::vector<bool>{false, true, false, true, false, false}));
        const int classes = 6;
        // O (0 second), blank, O, 1, 中 (1 second), blank
        const float rows[][classes] = {{0.05f, 0.3f, 0.6f, 0.02f, 0.02f, 0.01f}, {0.9f, 0.02f, 0.05f, 0.01f, 0.01f, 0.01f},
                                       {0.1f, 0.2f, 0.6f, 0.05f, 0.04f, 0.01f}, {0.1f, 0.05f, 0.05f, 0.7f, 0.05f, 0.05f},
                                       {0.1f, 0.05f, 0.05f, 0.2f, 0.55f, 0.05f}, {0.9f, 0.02f, 0.02f, 0.02f, 0.02f, 0.02f}};
        const int steps = int(sizeof(rows) / sizeof(rows[0]));
        QCOMPARE(ctcGreedyDecode(&rows[0][0], steps, classes, alphabet).text, std::string("OO1中"));
        const CtcText hex = ctcGreedyDecode(&rows[0][0], steps, classes, alphabet, &allowed);
        // The 1 read where 中 was best merges with the 1 before it.
        QCOMPARE(hex.text, std::string("001"));
        QCOMPARE(hex.charScores.front(), 0.3f);
    }

    void boxesFromProbabilityMap()
    {
        cv::Mat prob(64, 128, CV_32FC1, cv::Scalar(0.0f));
        prob(cv::Rect(20, 20, 60, 12)).setTo(0.95f); // a line
        prob(cv::Rect(100, 50, 10, 6)).setTo(0.5f);  // too unsure
        const std::vector<TextBox> boxes = findTextBoxes(prob, 0.3f, 0.8f, 1.5f, 2.0f, 2.0f);
        QCOMPARE(boxes.size(), std::size_t(1));
        const auto &c = boxes[0].corners;
        // Grown past the core and scaled by 2, clockwise from top left.
        QVERIFY(c[0].x < 40 && c[0].y < 40);
        QVERIFY(c[1].x > 158 && c[1].y < 40);
        QVERIFY(c[2].x > 158 && c[2].y > 62);
        QVERIFY(c[3].x < 40 && c[3].y > 62);
        QVERIFY(boxes[0].score > 0.8f);
        QVERIFY(findTextBoxes(cv::Mat(), 0.3f, 0.5f, 1.5f, 1.0f, 1.0f).empty());
    }

    void cropsComeOutUpright()
    {
        cv::Mat image(100, 100, CV_8UC3, cv::Scalar(255, 255, 255));
        const std::array<cv::Point2f, 4> wide{cv::Point2f(10, 10), {70, 10}, {70, 30}, {10, 30}};
        QCOMPARE(cropTextBox(image, wide).size(), cv::Size(60, 20));
        const std::array<cv::Point2f, 4> tall{cv::Point2f(10, 10), {30, 10}, {30, 70}, {10, 70}};
        QCOMPARE(cropTextBox(image, tall).size(), cv::Size(60, 20));
    }

    void missingModelsFailCleanly()
    {
        OcrLite ocr;
        ocr.setNumThread(2);
        ocr.initLogger(false, false, false);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("OcrLite::initModels.*"));
        QVERIFY(!ocr.initModels(".\\models\\nothing_det.onnx", ".\\models\\nothing_cls.onnx",
                                ".\\models\\nothing_rec.onnx", ".\\models\\keys.txt"));
        QVERIFY(!ocr.isReady());
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("OcrLite::detect.*models not loaded"));
        const OcrResult result = ocr.detect(cv::Mat(50, 50, CV_8UC3), 20, 600, 0.8f, 0.8f, 1.5f, true, true);
        QVERIFY(result.textBlocks.empty());
        QVERIFY(ocr.recognizeLine(cv::Mat(48, 100, CV_8UC3)).text.empty());
    }

    void corruptModelFailsCleanly()
    {
        for (const char *name : {"models/bad_det.onnx", "models/bad_rec.onnx"}) {
            QFile f(QString::fromLatin1(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a model");
        }
        OcrLite ocr;
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("OcrLite::initModels.*"));
        QVERIFY(!ocr.initModels("models/bad_det.onnx", "", "models/bad_rec.onnx", "models/keys.txt"));
        QVERIFY(!ocr.isReady());
    }

private:
    static void touch(const QString &path)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestOcrLite)
#include "tst_ocr_lite.moc"
