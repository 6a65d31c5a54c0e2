// The label detector over a wide generated set of check pictures: every
// picture's paper edges within 2 px, its page start exact, every missing
// label lost and no present one, and no text line on a label that carries
// only a code. Each web is seen twice: as a first page, and moved on as the
// next picture with the page grid the inspection expects. Prints the worst
// figures.
#include "platform/detector/label_detector.h"
#include "tests/support/full_sweeps.h"
#include "tests/support/synthetic_labels.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

// The first webs of the set, two pictures each, hold every grid size, label
// kind and missing-label case several times over; past them a web is taken
// only for a mix of blur, noise, shading and turn not yet read, until all
// sixteen are. A web takes a third of a second, three times that sanitised.
// The full sweep reads its first 250 webs (30 sanitised).
#ifdef SPOOLSMITH_SANITIZED
constexpr int kFirstWebs = 16;
constexpr int kFullWebs = 30;
#else
constexpr int kFirstWebs = 56;
constexpr int kFullWebs = 250;
#endif
constexpr int kWebs = 250;        // where the search for unread mixes ends
constexpr int kOcrEvery = 8;      // webs whose first picture is read with OCR too

cv::Mat toMat(const QImage &image)
{
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    return cv::Mat(bgr.height(), bgr.width(), CV_8UC3, const_cast<uchar *>(bgr.constBits()), size_t(bgr.bytesPerLine()))
        .clone();
}

// Exact to the pixels of a soft edge; one row off is a hundred or more.
constexpr int kStartTolerance = 2;

// A grid whose pages follow each other as evenly as their rows: no picture
// alone tells where a page starts.
bool regular(const synth::LabelWeb &web)
{
    const QRectF first = web.labels.first().mm, last = web.labels.last().mm;
    double rowGap = -1.0;
    for (const synth::Label &l : web.labels)
        if (l.mm.top() > first.bottom()) {
            rowGap = l.mm.top() - first.bottom();
            break;
        }
    const double pageGap = web.pageMm.height() - last.bottom() + web.pageSpacingMm + first.top();
    return rowGap >= 0.0 && std::abs(pageGap - rowGap) < 1.0;
}

struct Worst
{
    int ambiguous = 0;
    int edge = 0;
    int start = 0;
    int pictures = 0;
    int ocrPictures = 0;
    int codeOnlyRead = 0;
    QStringList faults;
};

} // namespace

class TstLabelDetectorSweep : public QObject
{
    Q_OBJECT

    void check(const synth::LabelWeb &web, const FrameExpectation &expect, bool ocr, const QString &name, Worst *worst)
    {
        const ReadData d = m_detector.process(toMat(synth::renderCheckPicture(web)), toMat(synth::renderCutMaskOf(web)),
                                              ocr, true, true, m_models.toStdString(), expect);
        ++worst->pictures;
        auto fault = [&](const QString &what) {
            worst->faults << QStringLiteral("%1 (liner %2 on %3, turned %4, blur %5, noise %6, shading %7): %8")
                                 .arg(name).arg(web.liner).arg(web.background).arg(web.rotationDeg, 0, 'f', 2)
                                 .arg(web.blur).arg(web.noiseSigma, 0, 'f', 1).arg(web.shading, 0, 'f', 2).arg(what);
        };
        const int edge = std::max(std::abs(d.first_edge - web.firstEdge), std::abs(d.last_edge - web.lastEdge));
        worst->edge = std::max(worst->edge, edge);
        if (edge > 2)
            fault(QStringLiteral("edges %1..%2, not %3..%4").arg(d.first_edge).arg(d.last_edge).arg(web.firstEdge).arg(web.lastEdge));
        if (d.segmentX == 0 && d.labels.empty() && !expect.page.known() && regular(web)) {
            ++worst->ambiguous; // a regular grid shows no page start; logged, not reported
            return;
        }
        const int start = d.segmentX < 1 ? web.firstPageY : std::abs(d.segmentX - web.firstPageY);
        worst->start = std::max(worst->start, start);
        if (start > kStartTolerance) {
            fault(QStringLiteral("page start %1, not %2").arg(d.segmentX).arg(web.firstPageY));
            return;
        }
        if (int(d.labels.size()) != web.labels.size()) {
            fault(QStringLiteral("%1 labels, not %2").arg(d.labels.size()).arg(web.labels.size()));
            return;
        }
        for (int i = 0; i < web.labels.size(); ++i) {
            const DetectedLabel &got = d.labels[size_t(i)];
            const bool lost = got.kind == DetectedLabel::Lost;
            if (lost != web.missing.contains(i))
                fault(QStringLiteral("label %1 %2").arg(i).arg(lost ? QStringLiteral("reported lost") : QStringLiteral("missing, not reported")));
            const synth::Label &l = web.labels.at(i);
            if (ocr && !lost && l.text.isEmpty() && !(l.qr.isEmpty() && l.barcode.isEmpty())) {
                ++worst->codeOnlyRead;
                if (!got.texts.empty())
                    fault(QStringLiteral("code-only label %1 (%2 codes read) read as '%3' (%4)")
                              .arg(i).arg(got.qrCodes.size() + got.barcodes.size())
                              .arg(QString::fromStdString(got.texts[0].text)).arg(got.texts[0].confidence));
            }
        }
        worst->ocrPictures += ocr ? 1 : 0;
    }

    void checkOcr(const synth::LabelWeb &web, const QString &name, Worst *worst)
    {
        const ReadData d = m_detector.process(toMat(synth::renderCheckPicture(web)), toMat(synth::renderCutMaskOf(web)),
                                              true, true, true, m_models.toStdString(), FrameExpectation());
        ++worst->ocrPictures;
        if (d.segmentX >= 1 && std::abs(d.segmentX - web.firstPageY) > kStartTolerance) {
            worst->faults << QStringLiteral("%1: page start %2, not %3").arg(name).arg(d.segmentX).arg(web.firstPageY);
            return;
        }
        for (int i = 0; i < web.labels.size() && i < int(d.labels.size()); ++i) {
            const DetectedLabel &got = d.labels[size_t(i)];
            const synth::Label &l = web.labels.at(i);
            if (got.kind == DetectedLabel::Lost || !l.text.isEmpty() || (l.qr.isEmpty() && l.barcode.isEmpty()))
                continue;
            ++worst->codeOnlyRead;
            if (!got.texts.empty())
                worst->faults << QStringLiteral("%1: code-only label %2 read as '%3' (%4)")
                                     .arg(name).arg(i).arg(QString::fromStdString(got.texts[0].text))
                                     .arg(got.texts[0].confidence);
        }
    }

    LabelDetector m_detector;
    QString m_models;

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=false"));
        const QString bin = qEnvironmentVariable("SPOOLSMITH_BUILD_BIN");
        const QString models = bin + QStringLiteral("/models");
        if (!bin.isEmpty() && QFileInfo::exists(models + QStringLiteral("/ch_PP-OCRv3_det_infer.onnx")))
            m_models = models;
    }

    void everyPictureOfTheSet()
    {
        Worst worst;
        QSet<int> mixes;
        const int firstWebs = sweepSize(kFirstWebs, kFullWebs);
        for (int i = 0; i < kWebs && (i < firstWebs || mixes.size() < 16); ++i) {
            synth::LabelWeb web = synth::variedWeb(quint32(7000 + i));
            const int mix = int(web.blur) | (web.noiseSigma > 0) << 1 | (web.shading > 0) << 2 | (web.rotationDeg != 0) << 3;
            if (i >= firstWebs && mixes.contains(mix))
                continue;
            mixes.insert(mix);
            const bool ocr = !m_models.isEmpty() && i % kOcrEvery == 0;
            check(web, FrameExpectation(), false, QStringLiteral("web %1 first").arg(7000 + i), &worst);
            // The same picture read with OCR: no text on code-only labels,
            // and the same page start.
            if (ocr)
                checkOcr(web, QStringLiteral("web %1 first, OCR").arg(7000 + i), &worst);
            // The web collected on; the inspection predicts the page from the
            // previous one, a little off as the roller is.
            const double pitch = synth::pagePitchPx(web);
            const double rowPitch = (web.labels.size() > 1 ? web.labels.last().mm.top() - web.labels.first().mm.top() : 0.0);
            // A page at the picture's very top edge is no page start to report.
            const int moved = std::max(0, int(std::lround((web.firstPageY - 5) * ((i * 37) % 100) / 100.0)));
            web.firstPageY -= moved;
            FrameExpectation expect;
            expect.paperWidth = web.lastEdge - web.firstEdge;
            expect.page.pitch = pitch;
            expect.page.start = web.firstPageY + ((i % 7) - 3) * 0.02 * std::max(rowPitch, 10.0) * synth::pxPerMm(web) / 3.0;
            check(web, expect, false, QStringLiteral("web %1 next").arg(7000 + i), &worst);
        }
        std::printf("label detector over %d pictures (%d with OCR, %d code-only labels read, %d mixes of blur, noise, "
                    "shading and turn): worst edge %d px, worst page start %d px, %d first pages of regular grids "
                    "left unplaced, %d faults\n",
                    worst.pictures, worst.ocrPictures, worst.codeOnlyRead, int(mixes.size()), worst.edge, worst.start,
                    worst.ambiguous, int(worst.faults.size()));
        for (const QString &f : worst.faults)
            std::printf("  %s\n", qPrintable(f));
        QVERIFY2(worst.faults.isEmpty(), "faults listed above");
        QCOMPARE(mixes.size(), 16);
    }
};

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    TstLabelDetectorSweep test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_label_detector_sweep.moc"
