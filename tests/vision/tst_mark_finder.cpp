#include "vision/mark_finder.h"
#include "vision/mark_locate.h"
#include "tests/support/synthetic_marks.h"

#include <QLoggingCategory>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <optional>
#include <vector>

using synth::Mark;
using synth::Shape;

namespace {

// A small picture with dark ellipses on paper, drawn without smoothing.
QImage smallPicture(QSize size, const QList<QRectF> &ellipses, const QList<QRectF> &squares = {})
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(QColor(220, 220, 220));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 30, 30));
    for (const QRectF &r : ellipses)
        p.drawEllipse(r);
    for (const QRectF &r : squares)
        p.drawRect(r);
    return img;
}

// The region growing exactly as defined: whole-picture raster scans.
int naiveRegion(std::vector<uint8_t> &bin, int w, int h, int sx, int sy, int label, int box[4])
{
    bin[size_t(sy) * w + sx] = uint8_t(label);
    int count = 1;
    bool changed = true;
    while (changed) {
        changed = false;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (bin[size_t(y) * w + x] != label)
                    continue;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        uint8_t &q = bin[size_t(std::clamp(y + dy, 0, h - 1)) * w + std::clamp(x + dx, 0, w - 1)];
                        if (q == 255) {
                            q = uint8_t(label);
                            ++count;
                            changed = true;
                        }
                    }
            }
    }
    int l = w, t = h, r = -1, b = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (bin[size_t(y) * w + x] == label) {
                l = std::min(l, x); r = std::max(r, x); t = std::min(t, y); b = std::max(b, y);
            }
    box[0] = l; box[1] = t; box[2] = r - l + 1; box[3] = b - t + 1;
    return count;
}

struct Case
{
    const char *name;
    synth::Picture picture;
    std::optional<QPointF> answer; // full-resolution centre, none for no mark
    double markSize = 3.5;
};

synth::Picture withMarks(QList<Mark> marks, QSize size = {1280, 960})
{
    synth::Picture p;
    p.size = size;
    p.marks = std::move(marks);
    return p;
}

QList<Case> answerCases()
{
    QList<Case> cases;
    const QPointF c(640, 480);
    cases.append({"disk at centre", withMarks({{Shape::Disk, c}}), c});
    cases.append({"disk off centre, sub-pixel", withMarks({{Shape::Disk, {301.5, 702.25}}}), QPointF(301.5, 702.25)});
    cases.append({"disk with ticks", withMarks({{Shape::DiskWithTicks, {700.75, 430.5}}}), QPointF(700.75, 430.5)});
    cases.append({"1280x1024 picture", withMarks({{Shape::Disk, {655.25, 530.5}}}, {1280, 1024}), QPointF(655.25, 530.5)});
    cases.append({"3.0 mm mark", withMarks({{Shape::Disk, {610.5, 455}, 3.0}}), QPointF(610.5, 455), 3.0});
    cases.append({"5.0 mm mark", withMarks({{Shape::DiskWithTicks, {671, 509.5}, 5.0}}), QPointF(671, 509.5), 5.0});
    cases.append({"5.0 mm mark, 1280x1024", withMarks({{Shape::Disk, {420.5, 300.5}, 5.0}}, {1280, 1024}), QPointF(420.5, 300.5), 5.0});
    {
        synth::Picture p = withMarks({{Shape::Disk, {612.5, 505.75}}});
        p.noiseSigma = 10;
        p.blurSigma = 2;
        p.seed = 7;
        cases.append({"noise and blur", p, QPointF(612.5, 505.75)});
    }
    {
        synth::Picture p = withMarks({{Shape::DiskWithTicks, {590.25, 470.5}}});
        p.noiseSigma = 14;
        p.blurSigma = 3.5;
        p.shading = 0.35;
        p.seed = 11;
        cases.append({"heavy blur, noise, uneven light", p, QPointF(590.25, 470.5)});
    }
    {
        synth::Picture p = withMarks({{Shape::DiskWithTicks, {668.5, 444.5}}});
        p.rotationDeg = 17;
        p.blurSigma = 1.5;
        p.noiseSigma = 6;
        cases.append({"rotated page", p, QPointF(668.5, 444.5)});
    }
    {
        synth::Picture p = withMarks({{Shape::Disk, {950, 720}}, {Shape::Square, {640, 480}},
                                      {Shape::Ellipse, {520, 430}, 3.5, 0.6}, {Shape::Ring, {700, 380}},
                                      {Shape::Dots, {560, 560}}, {Shape::Bars, {740, 500}}});
        p.noiseSigma = 6;
        cases.append({"false shapes nearer the centre", p, QPointF(950, 720)});
    }
    {
        synth::Picture p = withMarks({{Shape::Disk, {600.5, 470.5}}});
        p.qrText = QStringLiteral("0000002f");
        p.qrTopLeft = synth::qrBesideMark({600.5, 470.5}, 3.5);
        p.blurSigma = 1.0;
        p.noiseSigma = 5;
        cases.append({"mark with its page code", p, QPointF(600.5, 470.5)});
    }
    cases.append({"empty paper", withMarks({}), std::nullopt});
    {
        synth::Picture p = withMarks({});
        p.noiseSigma = 15;
        p.shading = 0.4;
        cases.append({"noise only", p, std::nullopt});
    }
    cases.append({"cross-hair pattern", withMarks({{Shape::CrossHair, c}}), std::nullopt});
    cases.append({"false shapes only",
                  withMarks({{Shape::Square, c}, {Shape::Ellipse, {500, 400}, 3.5, 0.6}, {Shape::Ring, {760, 560}},
                             {Shape::Blob, {380, 300}}, {Shape::Dots, {800, 300}}, {Shape::Bars, {300, 700}}}),
                  std::nullopt});
    cases.append({"partial mark at the left edge", withMarks({{Shape::Disk, {20, 480}}}), std::nullopt});
    cases.append({"partial mark at a corner", withMarks({{Shape::Disk, {1262, 945}}}), std::nullopt});
    cases.append({"partial mark at the bottom edge, 1280x1024", withMarks({{Shape::Disk, {640, 1000}}}, {1280, 1024}),
                  std::nullopt});
    return cases;
}

} // namespace

class TestMarkFinder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The finder's diagnostics are debug lines; keep the output readable.
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    }

    void centredDiskIsFound()
    {
        const QImage img = smallPicture({320, 240}, {QRectF(160 - 17.5, 120 - 17.5, 35, 35)});
        MarkRecord r[4];
        QCOMPARE(findMarks(35, img, r, 4), 1);
        QVERIFY(qAbs(r[0].x - 160) <= 1 && qAbs(r[0].y - 120) <= 1);
        QVERIFY(r[0].d >= r[0].minD && r[0].d <= r[0].maxD);
        QCOMPARE(r[0].minD, 31);
        QCOMPARE(r[0].maxD, 38);
        QCOMPARE(r[1].minD, 31); // copied to every record
    }

    void shapesThatAreNotMarksFail()
    {
        MarkRecord r[1];
        // Same area as the disk, but square.
        QCOMPARE(findMarks(35, smallPicture({320, 240}, {}, {QRectF(160 - 15.5, 120 - 15.5, 31, 31)}), r, 1), 0);
        // Bounding box sides differ by more than (minD + maxD) / 10 = 6.
        QCOMPARE(findMarks(35, smallPicture({320, 240}, {QRectF(160 - 19, 120 - 15, 38, 30)}), r, 1), 0);
        // Closer than 10 pixels to the edge (a small mark that fits inside).
        QCOMPARE(findMarks(12, smallPicture({120, 100}, {QRectF(1, 44, 12, 12)}), r, 1), 0);
        QCOMPARE(findMarks(12, smallPicture({120, 100}, {QRectF(20, 44, 12, 12)}), r, 1), 1);
    }

    void nearerMarkComesFirst()
    {
        const QImage img = smallPicture({320, 240}, {QRectF(60, 40, 35, 35), QRectF(180, 110, 35, 35)});
        MarkRecord r[4];
        QCOMPARE(findMarks(35, img, r, 1), 1);
        QVERIFY(qAbs(r[0].x - 198) <= 1 && qAbs(r[0].y - 128) <= 1);
        QCOMPARE(findMarks(35, img, r, 4), 2);
        QVERIFY(qAbs(r[1].x - 78) <= 1);
    }

    void tooManyRegionsEndTheSearch()
    {
        // Separate specks on a 10-pixel grid round the centre, the disk beyond.
        auto picture = [](int rows) {
            QList<QRectF> shapes;
            for (int i = 0; i < rows; ++i)
                for (int j = 0; j < 11; ++j)
                    shapes.append(QRectF(150 + j * 10, 100 + i * 10, 4, 4));
            shapes.append(QRectF(320, 220, 35, 35));
            return smallPicture({400, 300}, shapes);
        };
        MarkRecord r[1];
        QCOMPARE(findMarks(35, picture(11), r, 1), 0);  // 121 regions first: no second threshold try
        QCOMPARE(findMarks(35, picture(8), r, 1), 1);   // 88 regions first: the disk is reached
    }

    void missingRecordsOrCountGiveNothing()
    {
        const QImage img = smallPicture({320, 240}, {QRectF(142, 102, 35, 35)});
        MarkRecord r[1];
        QCOMPARE(findMarks(35, img, nullptr, 1), 0);
        QCOMPARE(findMarks(35, img, r, 0), 0);
        QCOMPARE(findMarks(35, QImage(), r, 1), 0);
    }

    void windowScale()
    {
        QCOMPARE(markFindWindow(320, 38), 20);
        QCOMPARE(markFindWindow(300, 154), 150);
        QCOMPARE(markFindWindow(1 << 12, 1), 16); // none below maxD: width >> 8
    }

    void regionGrowingMatchesTheDefinition()
    {
        QRandomGenerator rng(42);
        const int w = 61, h = 47;
        for (int round = 0; round < 40; ++round) {
            std::vector<uint8_t> bin(size_t(w) * h);
            for (auto &v : bin)
                v = rng.bounded(100) < 55 ? 255 : 0;
            int sx = 0, sy = 0;
            do {
                sx = rng.bounded(w);
                sy = rng.bounded(h);
            } while (bin[size_t(sy) * w + sx] != 255);
            std::vector<uint8_t> expected = bin;
            int box[4];
            const int n = naiveRegion(expected, w, h, sx, sy, 9, box);
            int bx, by, bw, bh;
            QCOMPARE(markFindRegion(bin.data(), w, h, sx, sy, 9, &bx, &by, &bw, &bh), n);
            QCOMPARE(bin, expected);
            QCOMPARE(QList<int>({bx, by, bw, bh}), QList<int>({box[0], box[1], box[2], box[3]}));
        }
        std::vector<uint8_t> bin(16, 255);
        QCOMPARE(markFindRegion(bin.data(), 4, 4, 0, 0, 106, nullptr, nullptr, nullptr, nullptr), 0);
    }

    void greyConversion()
    {
        const uint8_t rgb[] = {0, 0, 0, 255, 255, 255, 255, 0, 0, 128, 128, 128};
        uint8_t grey[4];
        markFindGray(rgb, grey, 4, 1);
        QCOMPARE(grey[0], uint8_t(0));
        QVERIFY(grey[1] >= 254);
        QVERIFY(qAbs(int(grey[3]) - 128) <= 1); // neutral grey keeps its level
        QVERIFY(qAbs(int(grey[2]) - 147) <= 1); // red weighs 0.2973 in linear light
        uint8_t out[4];
        QCOMPARE(markFindGauss(grey, out, 4, 1, 4), -1);
    }

    void knownAnswers_data()
    {
        QTest::addColumn<int>("index");
        const QList<Case> cases = answerCases();
        for (int i = 0; i < cases.size(); ++i)
            QTest::newRow(cases[i].name) << i;
    }

    // Each picture gives the mark within one reduced pixel (0.1 mm), or none.
    void knownAnswers()
    {
        QFETCH(int, index);
        const Case c = answerCases().at(index);
        const QImage picture = synth::render(c.picture);
        MarkLocateParams params;
        params.markSize = c.markSize;
        const MarkLocateResult r = locateMark(picture, params);
        // The real ratio of the picture to its reduced copy (1280 x 1024
        // keeps its aspect in 300 x 240: 4.27, not 4).
        const double scale = double(picture.width()) / r.small.width();
        QCOMPARE(r.scale, scale);
        if (!c.answer) {
            QCOMPARE(r.position, QPointF());
            QCOMPARE(r.diameter, 0.0f);
            return;
        }
        const QPointF expected = *c.answer / scale;
        QVERIFY2(qAbs(r.position.x() - expected.x()) <= 1.0 && qAbs(r.position.y() - expected.y()) <= 1.0,
                 qPrintable(QStringLiteral("found (%1, %2), expected (%3, %4)")
                                .arg(r.position.x()).arg(r.position.y()).arg(expected.x()).arg(expected.y())));
        const double d = c.markSize * 10.0;
        QVERIFY2(r.diameter >= int(d * 0.9) && r.diameter <= d * 1.1, qPrintable(QString::number(r.diameter)));
    }

    void scaleIsTheRealRatio()
    {
        MarkLocateParams params;
        synth::Picture p = withMarks({{Shape::Disk, {500, 375}}}, {1000, 750});
        const MarkLocateResult r = locateMark(synth::render(p), params);
        QCOMPARE(r.scale, 1000.0 / 320.0);
        // The centre maps back through the real ratio (an integer 3 would put
        // it at 166 reduced pixels, 2 px off).
        QVERIFY2(qAbs(r.position.x() - 160) <= 1.0 && qAbs(r.position.y() - 120) <= 1.0,
                 qPrintable(QStringLiteral("%1,%2").arg(r.position.x()).arg(r.position.y())));
        // Smaller than the reduced size, or null: refused, nothing divided.
        p = withMarks({{Shape::Disk, {100, 75}}}, {200, 150});
        const MarkLocateResult tiny = locateMark(synth::render(p), params);
        QCOMPARE(tiny.position, QPointF());
        QCOMPARE(tiny.diameter, 0.0f);
        QCOMPARE(locateMark(QImage(), params).position, QPointF());
    }

    // The mark keeps the full picture's resolution: a centre three full
    // pixels past a reduced one is 0.75 reduced pixels further, not cut back
    // to the whole reduced pixel (0.1 mm off, always the same way).
    void positionKeepsTheFullPicturesPixel()
    {
        MarkLocateParams params;
        params.markSize = 3.5;
        for (const QPointF &c : {QPointF(643, 483), QPointF(602, 455), QPointF(715, 421)}) {
            const MarkLocateResult r = locateMark(synth::render(withMarks({{Shape::Disk, c}})), params);
            const QPointF expected = c / r.scale;
            QVERIFY2(qAbs(r.position.x() - expected.x()) <= 0.4 && qAbs(r.position.y() - expected.y()) <= 0.4,
                     qPrintable(QStringLiteral("found (%1, %2), expected (%3, %4)")
                                    .arg(r.position.x()).arg(r.position.y()).arg(expected.x()).arg(expected.y())));
        }
    }

    void markNearTheCornerCropsAtTheOrigin()
    {
        // Centre 100 px from the corner: the refinement crop starts at (0, 0).
        const MarkLocateResult r = locateMark(synth::render(withMarks({{Shape::Disk, {100, 100}}})), {});
        QVERIFY(qAbs(r.position.x() - 25) <= 1 && qAbs(r.position.y() - 25) <= 1);
    }

    void pairModeKeepsTheOuterMark()
    {
        // Two marks at reduced y 50 and 120.
        const QImage img = synth::render(withMarks({{Shape::Disk, {640, 200}}, {Shape::Disk, {640, 480}}}));
        MarkLocateParams params;
        params.pairMode = true;
        params.markIndex = 3;
        QVERIFY(qAbs(locateMark(img, params).position.y() - 120) <= 1);
        params.markIndex = 1;
        QVERIFY(qAbs(locateMark(img, params).position.y() - 50) <= 1);
        params.pairMode = false; // outside pair mode the nearest wins
        QVERIFY(qAbs(locateMark(img, params).position.y() - 120) <= 1);
    }
};

QTEST_GUILESS_MAIN(TestMarkFinder)
#include "tst_mark_finder.moc"
