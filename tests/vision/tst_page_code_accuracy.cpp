// Page codes printed beside a mark, read back through the mark scan's OCR:
// the program's own print (its default font, lower case) and two other
// fonts in both cases, slightly blurred and turned, read on the whole
// picture or, with the mark found, on the code's area. At least 99 % must
// read exactly. Needs the PP-OCR models (scripts/install-ocr.sh).
#include "tests/support/app_test_main.h"
#include "tests/support/printed_codes.h"
#include "settings/config.h"
#include "vision/film_slot.h"
#include "vision/page_code.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <memory>

class TestPageCodeAccuracy : public QObject
{
    Q_OBJECT

    SpoolsmithApp *app() { return SpoolsmithApp::instance(); }
    // The scan takes the mark's size from the settings.
    QTemporaryDir m_dir;
    std::unique_ptr<Config> m_config;

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=false\ndefault.debug=false"));
        // The program finds its models from its working directory.
        const QString bin = qEnvironmentVariable("SPOOLSMITH_BUILD_BIN");
        if (!bin.isEmpty())
            QDir::setCurrent(bin);
        if (!QFileInfo::exists(QStringLiteral("models/ppocr_keys_v1.txt")))
            QSKIP("OCR models not installed (scripts/install-ocr.sh)");
        QVERIFY(app()->initOcr());
        m_config = std::make_unique<Config>(m_dir.path(), m_dir.filePath(QStringLiteral("config.db")));
        Config::setInstance(m_config.get());
    }

    void cleanupTestCase() { Config::setInstance(nullptr); }

    void printedCodesReadExactly()
    {
        // A quarter of the set bench_ocr reads (a thousand): 25 in each
        // style read whole and as many by the code's area. A read takes
        // tens of milliseconds on every core of the machine.
        synth::PrintedCodes codes;
        const int total = 250;
        int exact = 0;
        QStringList misses;
        for (int i = 0; i < total; ++i) {
            const synth::PrintedCode printed = codes.next();
            FilmSlot slot;
            slot.image = printed.picture.scaled(320, 120);
            // As the scan gives it, with its mark found: the code's area is
            // read by itself then.
            if (printed.markFound)
                slot.markPos = printed.mark / 2;
            app()->scanOCR(printed.picture, slot);
            quint32 read = 0;
            if (parsePageCode(slot.text.toLower(), &read) && read == printed.code)
                ++exact;
            else if (misses.size() < 20)
                misses << QStringLiteral("%1 (%2, %3 deg) as \"%4\"")
                              .arg(printed.text, printed.family)
                              .arg(printed.angle, 0, 'f', 1)
                              .arg(slot.text);
        }
        std::fprintf(stderr, "page codes read exactly: %d of %d\n", exact, total);
        for (const QString &miss : misses)
            std::fprintf(stderr, "  missed %s\n", qPrintable(miss));
        QVERIFY2(exact * 100 >= total * 99, qPrintable(QStringLiteral("%1 of %2; e.g. %3")
                                                            .arg(exact)
                                                            .arg(total)
                                                            .arg(misses.join(QStringLiteral("; ")))));
    }
};

SPOOLSMITH_APP_TEST_MAIN(TestPageCodeAccuracy)
#include "tst_page_code_accuracy.moc"
