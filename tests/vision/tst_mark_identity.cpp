// The fast mark finder against the plain one it replaced: every building
// block and the whole search give the same bytes and records on generated
// pictures (marks, noise, many shapes, flat areas, marks at the edges); and
// the page-code QR read against the one that copied the picture first.
#include "vision/mark_finder.h"
#include "vision/mark_locate.h"
#include "vision/nearest_reduce.h"
#include "vision/page_code.h"
#include "vision/qr_page_code_reader.h"
#include "tests/support/full_sweeps.h"
#include "tests/support/reference_mark_finder.h"
#include "tests/support/reference_qr_page_code.h"
#include "tests/support/synthetic_marks.h"

#include <QLoggingCategory>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

#include <vector>

namespace {

// Unoptimised (sanitiser) builds run a tenth of the generated cases: the
// plain code they are checked against is slow there, and the optimised run
// covers them all. The counts below still hold every format, size and kind
// of picture many times over; three times as many (the full sweeps) added no
// kind of case and took most of the test's time.
#ifdef __OPTIMIZE__
constexpr int kShare = 1;
#else
constexpr int kShare = 10;
#endif

constexpr int rounds(int n)
{
    return n / kShare > 10 ? n / kShare : 10;
}

QString describe(const MarkRecord *r, int n)
{
    QStringList parts;
    for (int i = 0; i < n; ++i)
        parts << QStringLiteral("(%1,%2,%3,%4,%5)").arg(r[i].minD).arg(r[i].maxD).arg(r[i].x).arg(r[i].y).arg(r[i].d);
    return parts.join(QLatin1Char(' '));
}

// A small mark-camera-sized picture: paper, random dark shapes of every kind
// (disks near the expected size among them, some touching the edges), then
// blur-free noise or none.
QImage randomPicture(QRandomGenerator &rng, int *expectedD)
{
    const int w = 24 + rng.bounded(340);
    const int h = 24 + rng.bounded(280);
    const int paper = 120 + rng.bounded(136);
    const int ink = rng.bounded(110);
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(paper, paper, paper));
    const int d = 6 + rng.bounded(40);
    *expectedD = d;
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing, rng.bounded(2) == 0);
        p.setPen(Qt::NoPen);
        const int shapes = rng.bounded(4) == 0 ? 40 + rng.bounded(80) : rng.bounded(12);
        for (int i = 0; i < shapes; ++i) {
            const int tone = std::min(255, ink + rng.bounded(40));
            p.setBrush(QColor(tone, std::max(0, tone - rng.bounded(30)), tone));
            const double cx = rng.bounded(w + 20) - 10, cy = rng.bounded(h + 20) - 10;
            const double size = rng.bounded(3) == 0 ? d * (0.85 + rng.bounded(0.3)) : 2 + rng.bounded(2.0 * d);
            switch (rng.bounded(5)) {
            case 0:
            case 1: p.drawEllipse(QPointF(cx, cy), size / 2, size / 2); break;
            case 2: p.drawEllipse(QPointF(cx, cy), size / 2, size * (0.3 + rng.bounded(0.7)) / 2); break;
            case 3: p.drawRect(QRectF(cx - size / 2, cy - size / 2, size, size)); break;
            default:
                p.setPen(QPen(QColor(tone, tone, tone), 1 + rng.bounded(4)));
                p.drawLine(QPointF(cx, cy), QPointF(rng.bounded(w), rng.bounded(h)));
                p.setPen(Qt::NoPen);
                break;
            }
        }
    }
    const int noise = rng.bounded(3) == 0 ? 0 : rng.bounded(30);
    if (noise > 0)
        for (int y = 0; y < h; ++y) {
            QRgb *row = reinterpret_cast<QRgb *>(img.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const int n = int(rng.bounded(2 * noise + 1)) - noise;
                auto c = [n](int v) { return std::clamp(v + n, 0, 255); };
                row[x] = qRgb(c(qRed(row[x])), c(qGreen(row[x])), c(qBlue(row[x])));
            }
        }
    return img;
}

std::vector<uint8_t> randomBytes(QRandomGenerator &rng, size_t n, int levels)
{
    std::vector<uint8_t> out(n);
    for (auto &v : out)
        v = uint8_t(levels >= 256 ? rng.bounded(256) : (rng.bounded(levels) * 255) / std::max(1, levels - 1));
    return out;
}

} // namespace

class TestMarkIdentity : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    }

    // Every one of the 2^24 colours, so the cut-point table cannot miss one.
    void greyOfEveryColour()
    {
        std::vector<uint8_t> rgb(256 * 256 * 3), bgra(256 * 256 * 4), fast(256 * 256), plain(256 * 256);
        for (int r = 0; r < 256; r += kShare == 1 ? 1 : 7) {
            for (int g = 0; g < 256; ++g)
                for (int b = 0; b < 256; ++b) {
                    uint8_t *p = &rgb[size_t(g * 256 + b) * 3];
                    p[0] = uint8_t(r);
                    p[1] = uint8_t(g);
                    p[2] = uint8_t(b);
                }
            markFindGray(rgb.data(), fast.data(), 256, 256);
            reference::markFindGray(rgb.data(), plain.data(), 256, 256);
            if (fast != plain)
                QFAIL(qPrintable(QStringLiteral("grey differs for red %1").arg(r)));
            // The same colours as 32-bit pixels, rows of every length.
            for (size_t i = 0; i < fast.size(); ++i) {
                const uint8_t *p = &rgb[i * 3];
                bgra[i * 4] = p[2];
                bgra[i * 4 + 1] = p[1];
                bgra[i * 4 + 2] = p[0];
                bgra[i * 4 + 3] = uint8_t(i);
            }
            const int w = 1 + r % 256;
            markFindGray32(bgra.data(), fast.data(), w, int(fast.size()) / w);
            fast.resize(size_t(w) * (fast.size() / size_t(w)));
            if (!std::equal(fast.begin(), fast.end(), plain.begin()))
                QFAIL(qPrintable(QStringLiteral("32-bit grey differs for red %1").arg(r)));
            fast.resize(plain.size());
        }
    }

    // Smoothing, binarisation and the opening on noise, coarse levels, flat
    // pictures (whole-number sums) and pictures narrower than the kernel.
    void buildingBlocks()
    {
        QRandomGenerator rng(30);
        for (int round = 0; round < rounds(600); ++round) {
            const int w = 1 + rng.bounded(90), h = 1 + rng.bounded(70);
            const size_t n = size_t(w) * h;
            const int levels = QList<int>{1, 2, 3, 8, 256}.at(rng.bounded(5));
            std::vector<uint8_t> in = randomBytes(rng, n, levels);
            if (round % 7 == 0)
                std::fill(in.begin(), in.end(), uint8_t(rng.bounded(256)));
            if (round % 7 == 3) {
                // Flat stretches of one level beside others, ending anywhere.
                const int x0 = rng.bounded(w), y0 = rng.bounded(h);
                const int x1 = x0 + rng.bounded(w - x0 + 1), y1 = y0 + rng.bounded(h - y0 + 1);
                const uint8_t level = uint8_t(rng.bounded(256));
                for (int y = y0; y < y1; ++y)
                    std::fill(in.begin() + y * w + x0, in.begin() + y * w + x1, level);
            }
            std::vector<uint8_t> a(n), b(n), a2(n), b2(n);
            QCOMPARE(markFindGauss(in.data(), a.data(), w, h, 5), reference::markFindGauss(in.data(), b.data(), w, h, 5));
            QVERIFY2(a == b, qPrintable(QStringLiteral("smoothing, round %1").arg(round)));
            const int size = 1 + 2 * rng.bounded(4);
            QCOMPARE(markFindGauss(in.data(), a.data(), w, h, size), reference::markFindGauss(in.data(), b.data(), w, h, size));
            QVERIFY2(a == b, qPrintable(QStringLiteral("smoothing %1, round %2").arg(size).arg(round)));

            const int s2 = rng.bounded(std::max(w, h) + 2);
            const int t = 5 * rng.bounded(3);
            markFindThreshold(in.data(), a.data(), w, h, s2, t);
            reference::markFindThreshold(in.data(), b.data(), w, h, s2, t);
            QVERIFY2(a == b, qPrintable(QStringLiteral("threshold, round %1").arg(round)));

            markFindPassV(in.data(), a.data(), w, h);
            reference::markFindPassV(in.data(), b.data(), w, h);
            QVERIFY2(a == b, qPrintable(QStringLiteral("erosion, round %1").arg(round)));
            markFindPassH(a.data(), a2.data(), w, h);
            reference::markFindPassH(b.data(), b2.data(), w, h);
            QVERIFY2(a2 == b2, qPrintable(QStringLiteral("dilation, round %1").arg(round)));
            markFindPassH(in.data(), a.data(), w, h);
            reference::markFindPassH(in.data(), b.data(), w, h);
            QVERIFY2(a == b, qPrintable(QStringLiteral("dilation of grey, round %1").arg(round)));
        }
    }

    // Region growing on binary noise near the percolation density, where
    // regions wind the most, and on earlier labels left in the picture.
    void regionGrowing()
    {
        QRandomGenerator rng(31);
        for (int round = 0; round < rounds(400); ++round) {
            const int w = 1 + rng.bounded(120), h = 1 + rng.bounded(90);
            std::vector<uint8_t> bin(size_t(w) * h);
            const int density = 30 + rng.bounded(50);
            for (auto &v : bin)
                v = rng.bounded(100) < density ? 255 : (rng.bounded(10) == 0 ? uint8_t(5 + rng.bounded(8)) : 0);
            std::vector<uint8_t> plain = bin;
            for (int label = 20; label < 26; ++label) {
                const int sx = rng.bounded(w), sy = rng.bounded(h);
                int f[4] = {}, p[4] = {};
                const int cf = markFindRegion(bin.data(), w, h, sx, sy, label, &f[0], &f[1], &f[2], &f[3]);
                const int cp = reference::markFindRegion(plain.data(), w, h, sx, sy, label, &p[0], &p[1], &p[2], &p[3]);
                QCOMPARE(cf, cp);
                QCOMPARE(QList<int>(f, f + 4), QList<int>(p, p + 4));
                QVERIFY(bin == plain);
            }
        }
    }

    // The whole search on 800 small pictures (2400 full), every record compared.
    void searchOnGeneratedPictures()
    {
        QRandomGenerator rng(32);
        int withMarks = 0;
        const int total = rounds(sweepSize(800, 2400));
        for (int round = 0; round < total; ++round) {
            int d = 0;
            QImage img = randomPicture(rng, &d);
            if (round % 5 == 1)
                img = img.convertToFormat(QImage::Format_RGB888);
            else if (round % 5 == 2)
                img = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            const int n = 1 + rng.bounded(4);
            MarkRecord fast[4], plain[4];
            const int cf = findMarks(d, img, fast, n);
            const int cp = reference::findMarks(d, img, plain, n);
            QVERIFY2(cf == cp && std::equal(fast, fast + 4, plain, [](const MarkRecord &a, const MarkRecord &b) {
                         return a.minD == b.minD && a.maxD == b.maxD && a.x == b.x && a.y == b.y && a.d == b.d;
                     }),
                     qPrintable(QStringLiteral("round %1: %2 vs %3").arg(round).arg(describe(fast, 4), describe(plain, 4))));
            withMarks += cf > 0;
        }
        // The pictures must exercise both outcomes, not only empty searches.
        QVERIFY2(withMarks > total / 12 && withMarks < total * 11 / 12, qPrintable(QString::number(withMarks)));
    }

    // Reduce, search and refine on full-size camera pictures: marks anywhere
    // (also by the edges), turned, shaded, blurred, noisy or clean, over-exposed, and up to 60
    // other shapes, in and out of pair mode.
    void locateOnCameraPictures()
    {
        QRandomGenerator rng(33);
        const QList<synth::Shape> others = {synth::Shape::Square, synth::Shape::Ellipse, synth::Shape::Ring,
                                            synth::Shape::Blob, synth::Shape::Dots, synth::Shape::Bars,
                                            synth::Shape::CrossHair};
        int found = 0;
        const int total = rounds(sweepSize(60, 120));
        for (int round = 0; round < total; ++round) {
            synth::Picture p;
            p.size = round % 3 ? QSize(1280, 1024) : QSize(1000 + rng.bounded(400), 760 + rng.bounded(300));
            const int marks = rng.bounded(4);
            for (int i = 0; i < marks; ++i)
                p.marks.append({rng.bounded(2) ? synth::Shape::Disk : synth::Shape::DiskWithTicks,
                                QPointF(rng.bounded(p.size.width()), rng.bounded(p.size.height())),
                                3.0 + rng.bounded(1.0)});
            const int extra = rng.bounded(4) == 0 ? 60 : rng.bounded(6);
            for (int i = 0; i < extra; ++i)
                p.marks.append({others.at(rng.bounded(others.size())),
                                QPointF(rng.bounded(p.size.width()), rng.bounded(p.size.height())),
                                0.5 + rng.bounded(5.0), 0.4 + rng.bounded(0.6)});
            p.rotationDeg = rng.bounded(2) ? 0.0 : rng.bounded(20.0) - 10.0;
            p.blurSigma = rng.bounded(2.0);
            // Clean and over-exposed paper too: flat windows everywhere.
            p.noiseSigma = rng.bounded(3) == 0 ? 0.0 : rng.bounded(12.0);
            p.exposure = rng.bounded(4) == 0 ? 1.2 + rng.bounded(0.4) : 1.0;
            p.shading = rng.bounded(2) ? 0.0 : rng.bounded(0.4);
            p.seed = uint32_t(round + 1);
            // Captures in other formats too: read in place or converted.
            const QImage img = synth::render(p).convertToFormat(
                QList<QImage::Format>{QImage::Format_RGB32, QImage::Format_RGB32, QImage::Format_ARGB32,
                                      QImage::Format_RGB888, QImage::Format_ARGB32_Premultiplied}.at(round % 5));
            MarkLocateParams params;
            params.markSize = 3.0 + rng.bounded(1.0);
            params.pairMode = rng.bounded(3) == 0;
            params.markIndex = rng.bounded(5);
            const MarkLocateResult fast = locateMark(img, params);
            const MarkLocateResult plain = reference::locateMark(img, params);
            QVERIFY2(fast.position == plain.position && fast.diameter == plain.diameter
                         && fast.candidates == plain.candidates && fast.scale == plain.scale,
                     qPrintable(QStringLiteral("round %1: (%2,%3) d %4 n %5 vs (%6,%7) d %8 n %9")
                                    .arg(round).arg(fast.position.x()).arg(fast.position.y()).arg(fast.diameter)
                                    .arg(fast.candidates).arg(plain.position.x()).arg(plain.position.y())
                                    .arg(plain.diameter).arg(plain.candidates)));
            QCOMPARE(fast.small, plain.small);
            found += !fast.position.isNull();
        }
        QVERIFY2(found > total / 6, qPrintable(QString::number(found)));
    }

    // The table-driven reduction gives Qt's own, pixel for pixel, whatever the
    // sizes (odd ratios, enlarging, past the index range) and formats.
    void nearestReductionIsQts()
    {
        QRandomGenerator rng(35);
        const QList<QPair<QSize, QSize>> sizes = {{{1280, 1024}, {320, 240}}, {{1001, 767}, {320, 240}},
                                                 {{640, 480}, {320, 240}},    {{333, 211}, {97, 55}},
                                                 {{300, 300}, {600, 600}},    {{5000, 10}, {320, 240}}};
        for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_RGB888}) {
            for (const auto &[from, bound] : sizes) {
                QImage picture(from, QImage::Format_ARGB32);
                for (int y = 0; y < from.height(); ++y)
                    for (int x = 0; x < from.width(); ++x)
                        picture.setPixel(x, y, rng.generate());
                picture = picture.convertToFormat(format);
                picture.setDotsPerMeterX(1234);
                for (int twice = 0; twice < 2; ++twice) { // learnt, then read by table
                    const QImage fast = reduceNearest(picture, bound);
                    QVERIFY2(fast == picture.scaled(bound, Qt::KeepAspectRatio, Qt::FastTransformation),
                             qPrintable(QStringLiteral("%1 x %2 in format %3").arg(from.width()).arg(from.height())
                                            .arg(int(format))));
                    QCOMPARE(fast.dotsPerMeterX(), 1234);
                }
            }
        }
    }

    // The page code read in every picture format the camera may give, on the
    // whole picture, its region and a region partly outside it.
    void qrReadInEveryFormat()
    {
        const QList<QImage::Format> formats = {QImage::Format_RGB32, QImage::Format_ARGB32,
                                               QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB888,
                                               QImage::Format_BGR888, QImage::Format_Grayscale8};
        QRandomGenerator rng(34);
        QrPageCodeReader reader;
        int read = 0;
        const int total = rounds(sweepSize(30, 60));
        for (int round = 0; round < total; ++round) {
            synth::Picture p;
            p.size = QSize(1280, 1024);
            const QPointF mark(200 + rng.bounded(880), 200 + rng.bounded(624));
            p.marks = {{synth::Shape::Disk, mark}};
            if (rng.bounded(6) != 0) {
                p.qrText = rng.bounded(5) ? pageCodeText(1 + rng.bounded(0xfffffffeu)) : QStringLiteral("other");
                p.qrTopLeft = synth::qrBesideMark(mark, 3.5);
            }
            p.rotationDeg = rng.bounded(20.0) - 10.0;
            p.blurSigma = rng.bounded(2.0);
            p.noiseSigma = rng.bounded(12.0);
            p.exposure = rng.bounded(3) == 0 ? 1.3 : 1.0;
            p.seed = uint32_t(round + 1);
            QImage img = synth::render(p).convertToFormat(formats.at(round % formats.size()));
            if (img.format() == QImage::Format_ARGB32 && round % 2) // alpha not opaque: dropped
                for (int y = 0; y < img.height(); ++y) {
                    QRgb *row = reinterpret_cast<QRgb *>(img.scanLine(y));
                    for (int x = 0; x < img.width(); ++x)
                        row[x] = (row[x] & 0xffffffu) | 0x50000000u;
                }
            const QRect regions[] = {QRect(), pageCodeRegion(mark, 3.5, img.size()),
                                     QRect(int(mark.x()), int(mark.y()), 900, 900)};
            for (const QRect &region : regions) {
                const PageCodeRead fast = reader.read(img, region);
                const PageCodeRead plain = reference::readQrPageCode(img, region);
                QVERIFY2(fast.text == plain.text && fast.type == plain.type && fast.code == plain.code
                             && fast.points == plain.points,
                         qPrintable(QStringLiteral("round %1, format %2: %3 vs %4").arg(round)
                                        .arg(int(img.format())).arg(fast.text, plain.text)));
                read += !fast.text.isEmpty();
            }
        }
        // Enough codes read that the comparison is not of empty results
        // (sanitiser builds run only ten rounds).
        QVERIFY2(read > total / 2, qPrintable(QString::number(read)));
    }
};

QTEST_GUILESS_MAIN(TestMarkIdentity)
#include "tst_mark_identity.moc"
