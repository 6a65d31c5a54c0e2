// The advertisement window: pictures from a local HTTP server, paging, the
// fade and the placement checked on grabbed pixels, and what it refuses.
#include "online/carousel_image_window.h"
#include "tests/support/gui_thread_watch.h"
#include "tests/support/http_test_server.h"
#include "tests/support/log_capture.h"
#include "tests/support/solid_png.h"

#include <QApplication>
#include <QDesktopServices>
#include <QNetworkReply>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <memory>
#include <vector>

Q_DECLARE_METATYPE(HttpTestServer::Response)

namespace {

QColor centre(QWidget &window)
{
    const QImage image = window.grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

bool near(const QColor &a, const QColor &b, int tolerance = 12)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

QList<QPushButton *> pageButtons(CarouselImageWindow &window)
{
    QList<QPushButton *> buttons;
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button->isVisibleTo(&window) && button->group())
            buttons.append(button);
    }
    return buttons;
}

} // namespace

// Records what would have been handed to the desktop.
class OpenedLinks : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class TestCarouselImageWindow : public QObject
{
    Q_OBJECT

    // Installed once the test runner has set up its own log handler.
    std::unique_ptr<LogCapture> log;
    HttpTestServer http;
    OpenedLinks opened;

    QString url(const QString &path) { return http.url(path).toString(); }

    // All of the list's downloads asked for and handled: the window deletes
    // each reply once it has handed its picture to the decoder.
    void waitForDownloads(CarouselImageWindow &window, int requests)
    {
        QTRY_VERIFY_WITH_TIMEOUT(http.requests().size() >= requests, kHangMs);
        QTRY_VERIFY_WITH_TIMEOUT(window.findChildren<QNetworkReply *>().isEmpty(), kHangMs);
    }

private slots:
    void initTestCase()
    {
        log = std::make_unique<LogCapture>();
        QVERIFY(http.start());
        http.setBody(QStringLiteral("/red.png"), solidPng(Qt::red, QSize(400, 250)), "image/png");
        http.setBody(QStringLiteral("/blue.png"), solidPng(Qt::blue, QSize(400, 250)), "image/png");
        http.setBody(QStringLiteral("/green.png"), solidPng(Qt::green, QSize(400, 250)), "image/png");
        http.setBody(QStringLiteral("/square.png"), solidPng(Qt::yellow, QSize(1000, 1000)), "image/png");
        http.setBody(QStringLiteral("/text"), "not a picture", "text/plain");
        http.setRedirect(QStringLiteral("/moved.png"), QStringLiteral("/blue.png"));
        for (const char *scheme : {"http", "https", "file"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &opened, "open");
    }

    void cleanupTestCase()
    {
        for (const char *scheme : {"http", "https", "file"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    void init()
    {
        LogCapture::clear();
        opened.urls.clear();
    }

    void sizedByTheFirstPictureAndPlacedInTheParentsCorner()
    {
        QWindow parent;
        parent.resize(800, 600);
        parent.show();
        CarouselImageWindow window(&parent);
        QVERIFY(!window.isVisible());
        window.setImageUrl({url(QStringLiteral("/red.png"))}, {});
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), kHangMs);
        QCOMPARE(window.size(), QSize(400, 250));
        // The window itself, not its frame: a child window on X11 has none.
        QCOMPARE(window.geometry().topLeft(), QPoint(400, 350));
        // The window follows its parent's size.
        parent.resize(1000, 700);
        QTRY_COMPARE_WITH_TIMEOUT(window.geometry().topLeft(), QPoint(600, 450), kHangMs);

        // A square of 1000 x 1000 comes down to about 100000 square pixels.
        window.setImageUrl({url(QStringLiteral("/square.png"))}, {});
        QTRY_COMPARE_WITH_TIMEOUT(window.size(), QSize(316, 316), kHangMs);
        QCOMPARE(window.geometry().topLeft(), QPoint(1000 - 316, 700 - 316));
    }

    void aWidgetParentIsAttachedOnceItHasAWindow()
    {
        QWidget parent;
        parent.resize(700, 500);
        CarouselImageWindow window(&parent);
        QVERIFY(!(window.windowFlags() & Qt::WindowStaysOnTopHint));
        window.setImageUrl({url(QStringLiteral("/red.png"))}, {});
        // Loaded, but its parent has no native window yet: not shown.
        QTRY_VERIFY_WITH_TIMEOUT(http.requestCount(QStringLiteral("/red.png")) > 0, kHangMs);
        QTest::qWait(1200);
        QVERIFY(!window.isVisible());
        parent.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), kHangMs);
        QCOMPARE(window.geometry(), QRect(300, 250, 400, 250));
    }

    void outlivesTheWindowItIsAttachedTo()
    {
        // At shut-down the QML window goes before the MQTT client that owns
        // the carousel.
        auto *parent = new QWindow;
        parent->resize(600, 400);
        parent->show();
        auto *window = new CarouselImageWindow(parent);
        window->setImageUrl({url(QStringLiteral("/red.png"))}, {});
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), kHangMs);
        delete parent;
        QVERIFY(!window->isVisible());
        QVERIFY(!window->windowHandle() || !window->windowHandle()->parent());
        window->setImageUrl({url(QStringLiteral("/blue.png"))}, {});
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), kHangMs);
        delete window;
    }

    void withoutParentItSitsInTheScreensCorner()
    {
        CarouselImageWindow window(static_cast<QWindow *>(nullptr));
        QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
        window.setImageUrl({url(QStringLiteral("/red.png"))}, {});
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), kHangMs);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(window.geometry().bottomRight(), area.bottomRight());
    }

    void pagesAndFadesBetweenPictures()
    {
        CarouselImageWindow window(static_cast<QWindow *>(nullptr));
        const int before = http.requests().size();
        window.setImageUrl({url(QStringLiteral("/red.png")), url(QStringLiteral("/blue.png")),
                            url(QStringLiteral("/green.png"))},
                           {});
        waitForDownloads(window, before + 3);
        // The first picture is in (it shows the window), yet with no page
        // buttons: "404" on an empty window, no picture.
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), kHangMs);
        QVERIFY(!near(centre(window), Qt::red));

        window.startPlay();
        QList<QPushButton *> buttons = pageButtons(window);
        QCOMPARE(buttons.size(), 3);
        QVERIFY(buttons.at(0)->isChecked());
        // Pictures are decoded on threads of their own: on a loaded machine
        // one may come after its reply was seen.
        QTRY_VERIFY_WITH_TIMEOUT(near(centre(window), Qt::red), kHangMs);

        // A page button jumps straight to its picture, without a fade.
        QTest::mouseClick(buttons.at(2), Qt::LeftButton);
        QVERIFY(buttons.at(2)->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(near(centre(window), Qt::green), kHangMs);

        // The timer's step from the last picture wraps to the first while the
        // last fades out over it.
        auto *fade = window.findChild<QPropertyAnimation *>();
        QVERIFY(fade);
        QVERIFY(QMetaObject::invokeMethod(&window, "onImageChangeTimeout"));
        QCOMPARE(fade->state(), QAbstractAnimation::Running);
        QVERIFY(buttons.at(0)->isChecked());
        // Set while it runs, and grabbed before the event loop moves it on.
        fade->setCurrentTime(500);
        const QColor half = centre(window);
        QVERIFY2(near(half, QColor(127, 127, 0), 20), qPrintable(half.name()));
        fade->setCurrentTime(1000);
        QCOMPARE(fade->state(), QAbstractAnimation::Stopped);
        QVERIFY(near(centre(window), Qt::red));

        // Fewer pictures: the spare buttons go, and are not left on screen.
        window.setImageUrl({url(QStringLiteral("/blue.png"))}, {});
        window.startPlay();
        QCOMPARE(pageButtons(window).size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(window.findChildren<QPushButton *>().size(), 1, kHangMs);
        QTRY_VERIFY_WITH_TIMEOUT(near(centre(window), Qt::blue), kHangMs);

        // Ids outside the pages change nothing.
        QVERIFY(QMetaObject::invokeMethod(&window, "onImageSwitchButtonClicked", Q_ARG(int, 7)));
        QVERIFY(near(centre(window), Qt::blue));
    }

    void repliesAreMatchedByTheirPlaceInTheList()
    {
        CarouselImageWindow window(static_cast<QWindow *>(nullptr));
        // A redirected picture still lands in its entry.
        window.setImageUrl({url(QStringLiteral("/moved.png"))}, {});
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), kHangMs);
        window.startPlay();
        QVERIFY(near(centre(window), Qt::blue));

        // The same address twice fills both entries.
        int before = http.requests().size();
        window.setImageUrl({url(QStringLiteral("/green.png")), url(QStringLiteral("/green.png"))}, {});
        waitForDownloads(window, before + 2);
        window.startPlay();
        QVERIFY(QMetaObject::invokeMethod(&window, "onImageSwitchButtonClicked", Q_ARG(int, 2)));
        QTRY_VERIFY_WITH_TIMEOUT(near(centre(window), Qt::green), kHangMs);

        // A list replaced before its replies arrive: they are dropped.
        before = http.requests().size();
        window.setImageUrl({url(QStringLiteral("/square.png"))}, {});
        window.setImageUrl({url(QStringLiteral("/red.png"))}, {});
        // The first may be aborted before it is even asked.
        waitForDownloads(window, before + 1);
        QTest::qWait(200);
        QCOMPARE(window.size(), QSize(400, 250));
        window.startPlay();
        QTRY_VERIFY_WITH_TIMEOUT(near(centre(window), Qt::red), kHangMs);
    }

    void onlyWebAddressesAndBoundedLists()
    {
        CarouselImageWindow window(static_cast<QWindow *>(nullptr));
        int before = http.requests().size();
        QStringList many;
        for (int i = 0; i < 21; ++i)
            many.append(url(QStringLiteral("/red.png?n=%1").arg(i)));
        window.setImageUrl(many, {});
        QVERIFY(LogCapture::contains(QStringLiteral("the first 20 kept")));
        waitForDownloads(window, before + 20);
        QTest::qWait(200);
        QCOMPARE(http.requests().size(), before + 20);
        window.startPlay();
        QCOMPARE(pageButtons(window).size(), 20);

        // A local file is neither fetched nor opened.
        before = http.requests().size();
        window.setImageUrl({QStringLiteral("file:///etc/hostname"), url(QStringLiteral("/red.png"))},
                           {QStringLiteral("https://example.invalid/a"), QStringLiteral("file:///bin/sh")});
        QVERIFY(LogCapture::contains(QStringLiteral("picture dropped")));
        QVERIFY(LogCapture::contains(QStringLiteral("link dropped")));
        waitForDownloads(window, before + 1);
        window.startPlay();
        QCOMPARE(pageButtons(window).size(), 1);
        QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(50, 100));
        QVERIFY(opened.urls.isEmpty());

        // One link is shared by all pictures, and a web link opens on a click.
        before = http.requests().size();
        window.setImageUrl({url(QStringLiteral("/red.png")), url(QStringLiteral("/blue.png"))},
                           {QStringLiteral("https://example.invalid/offer")});
        waitForDownloads(window, before + 2);
        window.startPlay();
        QVERIFY(QMetaObject::invokeMethod(&window, "onImageSwitchButtonClicked", Q_ARG(int, 2)));
        QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(50, 100));
        QCOMPARE(opened.urls, QList<QUrl>{QUrl(QStringLiteral("https://example.invalid/offer"))});

        // The close mark hides the window and nothing else.
        window.show();
        QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(window.width() - 15, 15));
        QVERIFY(!window.isVisible());
        QCOMPARE(opened.urls.size(), 1);
    }

    void aNewListAbortsTheDownloadsOfTheOldOne()
    {
        // Twenty hosts that send the head of a picture and stall.
        std::vector<std::unique_ptr<HttpTestServer>> hosts;
        HttpTestServer::Response stall;
        stall.body = QByteArray(1000, 'x');
        stall.announcedLength = 5 * 1024 * 1024;
        stall.stallAfter = 100;
        for (int i = 0; i < CarouselImageWindow::kMaxPictures; ++i) {
            hosts.push_back(std::make_unique<HttpTestServer>());
            QVERIFY(hosts.back()->start());
            hosts.back()->setResponse(QStringLiteral("/stall.png"), stall);
        }
        auto requests = [&hosts] {
            int n = 0;
            for (const auto &host : hosts)
                n += int(host->requests().size());
            return n;
        };
        auto open = [&hosts] {
            int n = 0;
            for (const auto &host : hosts)
                n += host->openConnections();
            return n;
        };
        CarouselImageWindow window(static_cast<QWindow *>(nullptr));
        for (int list = 0; list < 5; ++list) {
            QStringList urls;
            for (const auto &host : hosts)
                urls.append(host->url(QStringLiteral("/stall.png")).toString() + QStringLiteral("?l=%1").arg(list));
            window.setImageUrl(urls, {});
            QTRY_COMPARE_WITH_TIMEOUT(requests(), (list + 1) * CarouselImageWindow::kMaxPictures, kHangMs);
            // Never more held than one list's.
            QTRY_VERIFY_WITH_TIMEOUT(open() <= CarouselImageWindow::kMaxPictures, kHangMs);
        }
        window.setImageUrl({url(QStringLiteral("/red.png"))}, {});
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), kHangMs);
        QTRY_COMPARE_WITH_TIMEOUT(open(), 0, kHangMs);
    }

    // Pictures are cut off at the cap as they arrive, refused above 16
    // megapixels before they are decoded, and decoded off the GUI thread.
    void hostilePicturesStayBounded_data()
    {
        QTest::addColumn<HttpTestServer::Response>("picture");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QSize>("shownSize"); // empty: not shown
        QTest::addColumn<int>("copies");
        HttpTestServer::Response endless;
        endless.endless = true;
        endless.body = QByteArray(256 * 1024, 'x');
        QTest::newRow("endless fast host") << endless << QStringLiteral("bytes dropped") << QSize() << 1;
        HttpTestServer::Response huge;
        huge.body = solidPng(Qt::red, QSize(5790, 5790));
        huge.contentType = "image/png";
        QTest::newRow("small files of 33 megapixels") << huge << QStringLiteral("5790 x 5790 pixels refused") << QSize()
                                                  << CarouselImageWindow::kMaxPictures;
        HttpTestServer::Response large;
        large.body = solidPng(Qt::blue, QSize(4000, 3000));
        large.contentType = "image/png";
        QTest::newRow("12 megapixels") << large << QString() << QSize(365, 274)
                                   << CarouselImageWindow::kMaxPictures;
    }

    void hostilePicturesStayBounded()
    {
        QFETCH(HttpTestServer::Response, picture);
        QFETCH(QString, logged);
        QFETCH(QSize, shownSize);
        QFETCH(int, copies);
        HttpTestServer host;
        QVERIFY(host.start());
        host.setResponse(QStringLiteral("/p.png"), picture);
        QStringList urls;
        for (int i = 0; i < copies; ++i)
            urls.append(host.url(QStringLiteral("/p.png")).toString() + QStringLiteral("?n=%1").arg(i));
        CarouselImageWindow window(static_cast<QWindow *>(nullptr));
        GuiThreadWatch watch;
        window.setImageUrl(urls, {});
        if (shownSize.isValid()) {
            QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), kHangMs);
            QCOMPARE(window.size(), shownSize);
            window.startPlay();
            QTRY_VERIFY_WITH_TIMEOUT(near(centre(window), Qt::blue), kHangMs);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(LogCapture::all().count(logged) == copies, kHangMs);
            QVERIFY(!window.isVisible());
        }
        QTRY_COMPARE_WITH_TIMEOUT(host.openConnections(), 0, kHangMs);
        qInfo() << "peak" << watch.peakMb() << "MB, rose" << watch.peakRiseMb() << "MB; longest GUI gap"
                << watch.longestGapMs() << "ms";
        // The pictures' caps, never the 30 MiB each a check on the progress
        // signal let in, nor the decoded pictures at full size.
        const qint64 boundMb =
            copies * CarouselImageWindow::kMaxPictureBytes / (1024 * 1024) + 8 + GuiThreadWatch::kQuarantineMb;
        QVERIFY2(watch.peakRiseMb() < boundMb, qPrintable(QString::number(watch.peakRiseMb())));
        // The gap's goal is weighed by bench_online; here only a hang fails.
        QVERIFY2(watch.longestGapMs() < kHangMs, qPrintable(QString::number(watch.longestGapMs())));
    }

    void oversizedAndBrokenPicturesStayEmpty()
    {
        http.setBody(QStringLiteral("/huge.png"), QByteArray(CarouselImageWindow::kMaxPictureBytes + 1024, 'x'),
                     "image/png");
        CarouselImageWindow window(static_cast<QWindow *>(nullptr));
        window.setImageUrl({url(QStringLiteral("/huge.png")), url(QStringLiteral("/text")),
                            url(QStringLiteral("/missing.png"))},
                           {});
        QTRY_VERIFY_WITH_TIMEOUT(LogCapture::contains(QStringLiteral("bytes dropped")), kHangMs);
        QTRY_VERIFY_WITH_TIMEOUT(LogCapture::contains(QStringLiteral("ContentNotFoundError")), kHangMs);
        QTRY_VERIFY_WITH_TIMEOUT(LogCapture::contains(QStringLiteral("not a picture")), kHangMs);
        QVERIFY(!window.isVisible());
        window.startPlay();
        QCOMPARE(pageButtons(window).size(), 3);
        const QColor empty = centre(window);
        QVERIFY(!near(empty, Qt::red) && !near(empty, Qt::blue));

        // startPlay with no pictures does nothing.
        CarouselImageWindow idle(static_cast<QWindow *>(nullptr));
        idle.startPlay();
        QCOMPARE(pageButtons(idle).size(), 0);
        QVERIFY(QMetaObject::invokeMethod(&idle, "onImageChangeTimeout"));
    }
};

QTEST_MAIN(TestCarouselImageWindow)
#include "tst_carousel_image_window.moc"
