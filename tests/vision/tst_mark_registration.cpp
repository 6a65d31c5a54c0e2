#include "vision/mark_geometry.h"
#include "vision/mark_locate.h"
#include "vision/page_code.h"
#include "vision/qr_page_code_reader.h"
#include "tests/support/synthetic_marks.h"

#include <QLoggingCategory>
#include <QTest>

#include <cmath>

namespace {

// A page distortion: scale and rotation about the page origin, then shift
// (plotter units).
QTransform printed(double shiftXmm, double shiftYmm, double angleDeg, double scale)
{
    QTransform t;
    t.translate(shiftXmm * kPlotterUnitsPerMm, shiftYmm * kPlotterUnitsPerMm);
    t.rotate(angleDeg);
    t.scale(scale, scale);
    return t;
}

// The picture the camera takes standing over a design mark: the printed
// mark appears displaced by where the print put it. One full-resolution
// pixel is one plotter unit; picture y runs against the feed axis X and
// picture x against Y.
QImage cameraOver(const QPointF &design, const QPointF &actual, uint32_t seed)
{
    const QPointF delta = actual - design;
    synth::Picture p;
    p.marks = {{synth::Shape::DiskWithTicks, QPointF(640 - delta.y(), 480 - delta.x())}};
    p.blurSigma = 1.5;
    p.noiseSigma = 8;
    p.seed = seed;
    return synth::render(p);
}

} // namespace

class TestMarkRegistration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); }

    void offsetFromCentre()
    {
        // 3.5 mm over 35 pixels: 4 plotter units a pixel.
        QCOMPARE(markOffsetFromCentre({170, 100}, 35, 320, 240, 3.5), QPointF(80, -40));
        QCOMPARE(markOffsetFromCentre({170, 100}, 0, 320, 240, 3.5), QPointF());
        // An odd-sized picture's centre lies between two pixels.
        QCOMPARE(markOffsetFromCentre({160.5, 120.5}, 35, 321, 241, 3.5), QPointF(0, 0));
    }

    void transformOnlyForFourMarks()
    {
        const QList<QPointF> d = {{0, 0}, {0, 4000}, {6000, 4000}, {6000, 0}};
        QList<QPointF> s = d;
        for (QPointF &p : s)
            p += QPointF(40, -20);
        QCOMPARE(pageTransform(d, s).map(QPointF(100, 100)), QPointF(140, 80));
        QVERIFY(pageTransform(d.mid(0, 3), s.mid(0, 3)).isIdentity());
        QVERIFY(pageTransform(d + QList<QPointF>{{10, 10}}, s + QList<QPointF>{{10, 10}}).isIdentity());
        // Four marks on one line have no projective mapping: identity, not garbage.
        const QList<QPointF> line = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
        QVERIFY(pageTransform(line, s).isIdentity());
    }

    void fitCheck()
    {
        QTransform t;
        t.rotate(3.5);
        const PageFitCheck c = checkPageFit(t, {100, 150});
        QVERIFY(qAbs(qAbs(c.angle) - 3.5) < 1e-9);
        QVERIFY(!c.withinLimits);
        QVERIFY(checkPageFit(QTransform(), {100, 150}).withinLimits);
    }

    void registrationAccuracy_data()
    {
        QTest::addColumn<double>("shiftX");
        QTest::addColumn<double>("shiftY");
        QTest::addColumn<double>("angle");
        QTest::addColumn<double>("scale");
        QTest::newRow("as designed") << 0.0 << 0.0 << 0.0 << 1.0;
        QTest::newRow("shifted") << 0.8 << -0.6 << 0.0 << 1.0;
        QTest::newRow("turned") << 0.0 << 0.0 << 0.4 << 1.0;
        QTest::newRow("stretched") << 0.0 << 0.0 << 0.0 << 1.004;
        QTest::newRow("shrunk") << 0.0 << 0.0 << 0.0 << 0.997;
        QTest::newRow("all together") << -0.5 << 0.7 << -0.3 << 1.002;
    }

    // Pages printed with a known distortion: the fitted transform puts every
    // label corner within 0.15 mm of where the print put it.
    void registrationAccuracy()
    {
        QFETCH(double, shiftX);
        QFETCH(double, shiftY);
        QFETCH(double, angle);
        QFETCH(double, scale);
        const QTransform truth = printed(shiftX, shiftY, angle, scale);
        // Marks at the corners of a 150 x 100 mm page (plotter units).
        const QList<QPointF> design = {{0, 0}, {0, 4000}, {6000, 4000}, {6000, 0}};
        QList<QPointF> measured;
        uint32_t seed = 1;
        for (const QPointF &d : design) {
            const MarkLocateResult r = locateMark(cameraOver(d, truth.map(d), seed++), {});
            QVERIFY(!r.position.isNull());
            measured.append(measuredMarkPoint(d, markOffsetFromCentre(r.position, r.diameter, 320, 240, 3.5)));
        }
        const QTransform fit = pageTransform(design, measured);
        double worst = 0.0;
        for (double x = 200; x <= 5800; x += 1400)
            for (double y = 200; y <= 3800; y += 1200) {
                const QPointF e = fit.map(QPointF(x, y)) - truth.map(QPointF(x, y));
                worst = std::max(worst, std::hypot(e.x(), e.y()) / kPlotterUnitsPerMm);
            }
        QVERIFY2(worst <= 0.15, qPrintable(QStringLiteral("worst label corner %1 mm").arg(worst)));
    }

    void pageCodes()
    {
        QCOMPARE(pageCodeText(0x2f), QStringLiteral("0000002f"));
        uint32_t code = 0;
        QVERIFY(parsePageCode(QStringLiteral("0000002f"), &code));
        QCOMPARE(code, 0x2fu);
        QVERIFY(parsePageCode(QStringLiteral("DEADBEEF"), &code));
        for (const char *bad : {"", "2f", "0000002f ", "00000000", "12ab34zz", "0x00002f", "000000002f", "https://x"})
            QVERIFY2(!parsePageCode(QString::fromLatin1(bad), &code), bad);
    }

    void qrPageCodeIsRead_data()
    {
        QTest::addColumn<double>("rotation");
        QTest::addColumn<double>("blur");
        QTest::addColumn<bool>("useRegion");
        QTest::newRow("plain, whole picture") << 0.0 << 0.0 << false;
        QTest::newRow("plain, beside the mark") << 0.0 << 0.0 << true;
        QTest::newRow("turned and blurred") << 12.0 << 1.5 << true;
    }

    void qrPageCodeIsRead()
    {
        QFETCH(double, rotation);
        QFETCH(double, blur);
        QFETCH(bool, useRegion);
        synth::Picture p;
        const QPointF mark(560, 500);
        p.marks = {{synth::Shape::Disk, mark}};
        p.qrText = pageCodeText(0x1a2b3c4d);
        p.qrTopLeft = synth::qrBesideMark(mark, 3.5);
        p.rotationDeg = rotation;
        p.blurSigma = blur;
        p.noiseSigma = 6;
        const QImage img = synth::render(p);
        QrPageCodeReader reader;
        const PageCodeRead r = reader.read(img, useRegion ? pageCodeRegion(mark, 3.5, img.size()) : QRect());
        QCOMPARE(r.text, QStringLiteral("1a2b3c4d"));
        QCOMPARE(r.code, 0x1a2b3c4du);
        QCOMPARE(r.type, QStringLiteral("QR-Code"));
        QCOMPARE(r.points.size(), 4);
        // The outline lies on the printed symbol.
        const QRectF symbol(p.qrTopLeft, QSizeF(240, 240));
        for (const QPointF &pt : r.points)
            QVERIFY(symbol.adjusted(-60, -60, 60, 60).contains(pt));
    }

    void otherCodesAreNotPageCodes()
    {
        synth::Picture p;
        p.qrText = QStringLiteral("hello");
        p.qrTopLeft = {500, 400};
        const PageCodeRead r = QrPageCodeReader().read(synth::render(p));
        QCOMPARE(r.text, QStringLiteral("hello"));
        QCOMPARE(r.code, 0u);
        // No symbol at all.
        synth::Picture empty;
        empty.noiseSigma = 10;
        QVERIFY(QrPageCodeReader().read(synth::render(empty)).text.isEmpty());
        QVERIFY(QrPageCodeReader().read(QImage()).text.isEmpty());
        // A page code followed by a NUL and more is not a page code; the
        // text shown is the whole data.
        synth::Picture nul;
        nul.qrText = QString::fromLatin1("1234abcd\0zz", 11);
        nul.qrTopLeft = {500, 400};
        const PageCodeRead withNul = QrPageCodeReader().read(synth::render(nul));
        QCOMPARE(withNul.text, nul.qrText);
        QCOMPARE(withNul.code, 0u);
    }

    // Pictures thinner than the reduction factor (a truncated capture):
    // nothing read, nothing thrown.
    void thinPicturesGiveNoCode_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("region");
        QTest::newRow("1300 x 1") << QSize(1300, 1) << QRect();
        QTest::newRow("700 x 1") << QSize(700, 1) << QRect();
        QTest::newRow("1 x 1300") << QSize(1, 1300) << QRect();
        QTest::newRow("2000 x 2") << QSize(2000, 2) << QRect();
        QTest::newRow("2 x 2000") << QSize(2, 2000) << QRect();
        QTest::newRow("thin region") << QSize(1600, 1200) << QRect(0, 600, 1600, 1);
    }
    void thinPicturesGiveNoCode()
    {
        QFETCH(QSize, size);
        QFETCH(QRect, region);
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(Qt::white);
        PageCodeRead r;
        try {
            r = QrPageCodeReader().read(picture, region);
        } catch (...) {
            QFAIL("an exception left the reader");
        }
        QVERIFY(r.text.isEmpty());
        QCOMPARE(r.code, 0u);
    }
};

QTEST_GUILESS_MAIN(TestMarkRegistration)
#include "tst_mark_registration.moc"
