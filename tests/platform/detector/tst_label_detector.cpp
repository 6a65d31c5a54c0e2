// The label detector on synthetic check pictures whose answers are known:
// paper edges, the page start, missing labels, codes and (with the models)
// text.
#include "platform/detector/label_detector.h"
#include "tests/support/synthetic_labels.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QtTest>

#include <stdexcept>

namespace {

cv::Mat toMat(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888).rgbSwapped();
    return cv::Mat(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar *>(rgb.constBits()), size_t(rgb.bytesPerLine()))
        .clone();
}

QString modelFolder()
{
    const QString bin = qEnvironmentVariable("SPOOLSMITH_BUILD_BIN");
    return bin.isEmpty() ? QString() : bin + QStringLiteral("/models");
}

} // namespace

class TstLabelDetector : public QObject
{
    Q_OBJECT

    ReadData detect(const synth::LabelWeb &web, bool ocr = false, bool qr = true, bool bar = true)
    {
        return m_detector.process(toMat(synth::renderCheckPicture(web)), toMat(synth::renderCutMaskOf(web)), ocr, qr,
                                  bar, "./config.json");
    }
    LabelDetector m_detector;

private slots:
    void edgesAndPageStartAcrossPlacings_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("pageY");
        QTest::addColumn<bool>("rough");
        QTest::newRow("centred") << 200 << 1400 << 150 << false;
        QTest::newRow("shifted paper") << 263 << 1463 << 150 << false;
        QTest::newRow("narrower paper") << 300 << 1250 << 60 << false;
        QTest::newRow("page low") << 200 << 1400 << 231 << false;
        QTest::newRow("soft, noisy, unevenly lit") << 241 << 1433 << 187 << true;
    }
    void edgesAndPageStartAcrossPlacings()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, pageY);
        QFETCH(bool, rough);
        synth::LabelWeb web = synth::standardWeb();
        if (rough) {
            web.blur = true;
            web.noiseSigma = 8.0;
            web.shading = 0.3;
        }
        web.firstEdge = first;
        web.lastEdge = last;
        web.firstPageY = pageY;
        const ReadData d = detect(web);
        QVERIFY2(qAbs(d.first_edge - first) <= 2, qPrintable(QString::number(d.first_edge)));
        QVERIFY2(qAbs(d.last_edge - last) <= 2, qPrintable(QString::number(d.last_edge)));
        QVERIFY2(qAbs(d.segmentX - pageY) <= 2, qPrintable(QString::number(d.segmentX)));
        QCOMPARE(int(d.labels.size()), web.labels.size());
        for (int i = 0; i < web.labels.size(); ++i) {
            const QRect want = synth::labelInPicture(web, i);
            const DetectedLabel &got = d.labels[size_t(i)];
            QVERIFY2(qAbs(got.x - want.x()) <= 3 && qAbs(got.y - want.y()) <= 3 && qAbs(got.w - want.width()) <= 3
                         && qAbs(got.h - want.height()) <= 3,
                     qPrintable(QStringLiteral("label %1 at %2,%3 %4x%5").arg(i).arg(got.x).arg(got.y).arg(got.w).arg(got.h)));
            QCOMPARE(got.kind, int32_t(DetectedLabel::Checked));
        }
    }

    // A page of three 15 mm rows 4.5 mm apart, pages 6 mm apart, at 14 px/mm:
    // a dark liner must not pull the paper edges onto the labels, and the
    // regular grid must not place the page one row high (its last row, with
    // a missing label, would then go unchecked).
    void darkLinersAndRegularGrids_data()
    {
        QTest::addColumn<int>("liner");
        QTest::addColumn<int>("pageY");
        QTest::newRow("liner 110, page at 300") << 110 << 300;
        QTest::newRow("liner 110, page at 350") << 110 << 350;
        QTest::newRow("liner 110, page at 400") << 110 << 400;
        QTest::newRow("liner 60, page at 330") << 60 << 330;
        QTest::newRow("liner 200, page at 380") << 200 << 380;
    }
    void darkLinersAndRegularGrids()
    {
        QFETCH(int, liner);
        QFETCH(int, pageY);
        synth::LabelWeb web;
        web.pageMm = QSizeF(100.0, 60.0);
        web.pageSpacingMm = 6.0;
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 2; ++col)
                web.labels.append({QRectF(4.0 + col * 48.0, 3.0 + row * 19.5, 44.0, 15.0), {}, {}, {}});
        web.labels[0].qr = QStringLiteral("ROW-0");
        web.labels[5].text = QStringLiteral("LOT 7");
        web.size = QSize(2000, 1400);
        web.firstEdge = 337;
        web.lastEdge = 1737;
        web.background = 30;
        web.liner = liner;
        web.labelStock = 232;
        web.firstPageY = pageY;
        web.missing = {4};
        const ReadData d = detect(web);
        QVERIFY2(qAbs(d.first_edge - web.firstEdge) <= 2 && qAbs(d.last_edge - web.lastEdge) <= 2,
                 qPrintable(QStringLiteral("%1..%2").arg(d.first_edge).arg(d.last_edge)));
        QVERIFY2(qAbs(d.segmentX - pageY) <= 2, qPrintable(QString::number(d.segmentX)));
        QCOMPARE(int(d.labels.size()), 6);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(d.labels[size_t(i)].kind, i == 4 ? int32_t(DetectedLabel::Lost) : int32_t(DetectedLabel::Checked));
        // A bright guide beside the web makes the outermost step; the width
        // the pictures before showed picks the paper.
        QImage cluttered = synth::renderCheckPicture(web);
        QPainter(&cluttered).fillRect(QRect(100, 0, 40, cluttered.height()), QColor(200, 200, 200));
        FrameExpectation before;
        before.paperWidth = web.lastEdge - web.firstEdge + 3;
        const ReadData guided = m_detector.process(toMat(cluttered), toMat(synth::renderCutMaskOf(web)), false, false,
                                                   false, "", before);
        QVERIFY2(qAbs(guided.first_edge - web.firstEdge) <= 2 && qAbs(guided.last_edge - web.lastEdge) <= 2,
                 qPrintable(QStringLiteral("%1..%2").arg(guided.first_edge).arg(guided.last_edge)));
    }

    void missingLabelsAreLostAndTheOthersNot()
    {
        synth::LabelWeb web = synth::standardWeb();
        web.missing = {1, 4};
        const ReadData d = detect(web);
        QCOMPARE(int(d.labels.size()), 6);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(d.labels[size_t(i)].kind, web.missing.contains(i) ? int32_t(DetectedLabel::Lost) : int32_t(DetectedLabel::Checked));
        // A soft, noisy, unevenly lit picture: the same answer.
        web.blur = true;
        web.noiseSigma = 10.0;
        web.shading = 0.3;
        const ReadData rough = detect(web);
        QCOMPARE(int(rough.labels.size()), 6);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(rough.labels[size_t(i)].kind, web.missing.contains(i) ? int32_t(DetectedLabel::Lost) : int32_t(DetectedLabel::Checked));
        QCOMPARE(QString::fromStdString(rough.labels[0].qrCodes.at(0).code), QStringLiteral("SPOOL-0001"));
        // Labels darker than the liner are found the same way.
        web.labelStock = 70;
        const ReadData dark = detect(web);
        QCOMPARE(int(dark.labels.size()), 6);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(dark.labels[size_t(i)].kind, web.missing.contains(i) ? int32_t(DetectedLabel::Lost) : int32_t(DetectedLabel::Checked));
    }

    void labelsComeRowByRowThenAcross()
    {
        // The right label of each row sits a little higher than the left
        // one: still one row, ordered across the web.
        synth::LabelWeb web = synth::standardWeb();
        for (int i = 1; i < web.labels.size(); i += 2)
            web.labels[i].mm.translate(0.0, -0.25);
        const ReadData d = detect(web);
        QCOMPARE(int(d.labels.size()), 6);
        for (int i = 0; i < 6; i += 2) {
            QVERIFY(d.labels[size_t(i)].x < d.labels[size_t(i + 1)].x);
            QVERIFY(d.labels[size_t(i)].y > d.labels[size_t(i + 1)].y);
        }
    }

    void codesAreReadOnlyWhenSwitchedOn()
    {
        const synth::LabelWeb web = synth::standardWeb();
        const ReadData d = detect(web);
        QCOMPARE(int(d.labels[0].qrCodes.size()), 1);
        QCOMPARE(QString::fromStdString(d.labels[0].qrCodes[0].code), QStringLiteral("SPOOL-0001"));
        QCOMPARE(QString::fromStdString(d.labels[0].qrCodes[0].type), QStringLiteral("QR-Code"));
        const QRect label0 = synth::labelInPicture(web, 0);
        const CodeResult &q = d.labels[0].qrCodes[0];
        QVERIFY(label0.contains(QRect(q.x, q.y, q.w, q.h)));
        QCOMPARE(int(d.labels[1].barcodes.size()), 1);
        QCOMPARE(QString::fromStdString(d.labels[1].barcodes[0].code), QStringLiteral("A12345"));
        QCOMPARE(QString::fromStdString(d.labels[1].barcodes[0].type), QStringLiteral("CODE-128"));
        QVERIFY(d.labels[2].qrCodes.empty() && d.labels[2].barcodes.empty());

        const ReadData off = detect(web, false, false, false);
        for (const DetectedLabel &l : off.labels)
            QVERIFY(l.qrCodes.empty() && l.barcodes.empty() && l.texts.empty());
    }

    void textIsReadWithTheModels()
    {
        const QString folder = modelFolder();
        if (folder.isEmpty() || !QFileInfo::exists(folder + QStringLiteral("/ch_PP-OCRv3_det_infer.onnx")))
            QSKIP("no OCR models beside the program (scripts/install-ocr.sh)");
        synth::LabelWeb web = synth::standardWeb();
        const ReadData d = m_detector.process(toMat(synth::renderCheckPicture(web)), toMat(synth::renderCutMaskOf(web)),
                                              true, false, false, folder.toStdString());
        if (d.labels[2].texts.empty())
            QSKIP("OCR runtime not built in");
        QCOMPARE(QString::fromStdString(d.labels[2].texts[0].text).remove(QLatin1Char(' ')), QStringLiteral("LOT42"));
        QVERIFY(d.labels[2].texts[0].points.size() == 4);
    }

    void noPageNoPaperAndBadPictures()
    {
        synth::LabelWeb web = synth::standardWeb();
        // A picture shorter than the page: placed by its leading part, and
        // only the labels wholly in view are reported.
        web.size = QSize(1600, 760);
        web.missing = {1};
        const ReadData shortPic = detect(web);
        QVERIFY(qAbs(shortPic.first_edge - 200) <= 2);
        QVERIFY2(qAbs(shortPic.segmentX - 150) <= 2, qPrintable(QString::number(shortPic.segmentX)));
        QCOMPARE(int(shortPic.labels.size()), 4);
        QCOMPARE(shortPic.labels[1].kind, int32_t(DetectedLabel::Lost));
        QCOMPARE(shortPic.labels[3].kind, int32_t(DetectedLabel::Checked));
        // Its start too low to tell from the leading part: none.
        web.firstPageY = 400;
        QCOMPARE(detect(web).segmentX, 0);
        web.missing.clear();
        web.firstPageY = 150;
        // Nothing but background.
        web.firstEdge = 0;
        web.lastEdge = 0;
        cv::Mat blank(600, 800, CV_8UC3, cv::Scalar(40, 40, 40));
        const ReadData none = m_detector.process(blank, toMat(synth::renderCutMaskOf(web)), false, true, true, "");
        QCOMPARE(none.last_edge - none.first_edge, 0);
        QCOMPARE(none.segmentX, 0);
        // An empty template: edges only.
        const ReadData noTemplate = m_detector.process(toMat(synth::renderCheckPicture(synth::standardWeb())), cv::Mat(),
                                                       false, true, true, "");
        QVERIFY(noTemplate.last_edge > noTemplate.first_edge);
        QCOMPARE(noTemplate.segmentX, 0);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, m_detector.process(cv::Mat(), cv::Mat(), false, false, false, ""));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 m_detector.process(cv::Mat(10, 10, CV_16UC3), cv::Mat(), false, false, false, ""));
    }

    void modelFolderIsFoundNearThePath()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkpath(QStringLiteral("models"));
        QFile f(dir.path() + QStringLiteral("/models/ch_PP-OCRv3_det_infer.onnx"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QCOMPARE(QString::fromStdString(LabelDetector::ocrModelFolder((dir.path() + QStringLiteral("/config.json")).toStdString())),
                 QDir(dir.path()).absoluteFilePath(QStringLiteral("models")));
        QCOMPARE(QString::fromStdString(LabelDetector::ocrModelFolder((dir.path() + QStringLiteral("/models")).toStdString())),
                 QDir(dir.path()).absoluteFilePath(QStringLiteral("models")));
    }
};

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    TstLabelDetector test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_label_detector.moc"
