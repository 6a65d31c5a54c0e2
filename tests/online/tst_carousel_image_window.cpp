// The advertisement window: pictures from a local HTTP server, paging, the
// fade and the placement checked on grabbed pixels, and what it refuses.
#include "online/carousel_image_window.h"
#include "tests/support/http_test_server.h"
#include "tests/support/log_capture.h"
#include "tests/support/solid_png.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

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

    // All of the list's pictures in (the window paints something for each).
    void waitForDownloads(int requests)
    {
        QTRY_VERIFY_WITH_TIMEOUT(http.requests().size() >= requests, 5000);
        // The last reply is handled in the event loop turn after it is sent.
        QTest::qWait(100);
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
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 5000);
        QCOMPARE(window.size(), QSize(400, 250));
        // The window itself, not its frame: a child window on X11 has none.
        QCOMPARE(window.geometry().topLeft(), QPoint(400, 350));
        // The window follows its parent's size.
        parent.resize(1000, 700);
        QTRY_COMPARE(window.geometry().topLeft(), QPoint(600, 450));

        // A square of 1000 x 1000 comes down to about 100000 square pixels.
        window.setImageUrl({url(QStringLiteral("/square.png"))}, {});
        QTRY_COMPARE_WITH_TIMEOUT(window.size(), QSize(316, 316), 5000);
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
        QTRY_VERIFY_WITH_TIMEOUT(http.requestCount(QStringLiteral("/red.png")) > 0, 5000);
        QTest::qWait(1200);
        QVERIFY(!window.isVisible());
        parent.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 5000);
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
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 5000);
        delete parent;
        QVERIFY(!window->isVisible());
        QVERIFY(!window->windowHandle() || !window->windowHandle()->parent());
        window->setImageUrl({url(QStringLiteral("/blue.png"))}, {});
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 5000);
        delete window;
    }

    void withoutParentItSitsInTheScreensCorner()
    {
        CarouselImageWindow window(static_cast<QWindow *>(nullptr));
        QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
        window.setImageUrl({url(QStringLiteral("/red.png"))}, {});
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 5000);
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
        waitForDownloads(before + 3);
        // No page buttons yet: "404" on an empty window, no picture.
        QVERIFY(!near(centre(window), Qt::red));

        window.startPlay();
        QList<QPushButton *> buttons = pageButtons(window);
        QCOMPARE(buttons.size(), 3);
        QVERIFY(buttons.at(0)->isChecked());
        QVERIFY(near(centre(window), Qt::red));

        // A page button jumps straight to its picture, without a fade.
        QTest::mouseClick(buttons.at(2), Qt::LeftButton);
        QVERIFY(buttons.at(2)->isChecked());
        QVERIFY(near(centre(window), Qt::green));

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
        QTRY_COMPARE(window.findChildren<QPushButton *>().size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(near(centre(window), Qt::blue), 5000);

        // Ids outside the pages change nothing.
        QVERIFY(QMetaObject::invokeMethod(&window, "onImageSwitchButtonClicked", Q_ARG(int, 7)));
        QVERIFY(near(centre(window), Qt::blue));
    }

    void repliesAreMatchedByTheirPlaceInTheList()
    {
        CarouselImageWindow window(static_cast<QWindow *>(nullptr));
        // A redirected picture still lands in its entry.
        window.setImageUrl({url(QStringLiteral("/moved.png"))}, {});
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 5000);
        window.startPlay();
        QVERIFY(near(centre(window), Qt::blue));

        // The same address twice fills both entries.
        int before = http.requests().size();
        window.setImageUrl({url(QStringLiteral("/green.png")), url(QStringLiteral("/green.png"))}, {});
        waitForDownloads(before + 2);
        window.startPlay();
        QVERIFY(QMetaObject::invokeMethod(&window, "onImageSwitchButtonClicked", Q_ARG(int, 2)));
        QVERIFY(near(centre(window), Qt::green));

        // A list replaced before its replies arrive: they are dropped.
        before = http.requests().size();
        window.setImageUrl({url(QStringLiteral("/square.png"))}, {});
        window.setImageUrl({url(QStringLiteral("/red.png"))}, {});
        waitForDownloads(before + 2);
        QTest::qWait(200);
        QCOMPARE(window.size(), QSize(400, 250));
        window.startPlay();
        QVERIFY(near(centre(window), Qt::red));
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
        waitForDownloads(before + 20);
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
        waitForDownloads(before + 1);
        window.startPlay();
        QCOMPARE(pageButtons(window).size(), 1);
        QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(50, 100));
        QVERIFY(opened.urls.isEmpty());

        // One link is shared by all pictures, and a web link opens on a click.
        before = http.requests().size();
        window.setImageUrl({url(QStringLiteral("/red.png")), url(QStringLiteral("/blue.png"))},
                           {QStringLiteral("https://example.invalid/offer")});
        waitForDownloads(before + 2);
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

    void oversizedAndBrokenPicturesStayEmpty()
    {
        http.setBody(QStringLiteral("/huge.png"), QByteArray(CarouselImageWindow::kMaxPictureBytes + 1024, 'x'),
                     "image/png");
        CarouselImageWindow window(static_cast<QWindow *>(nullptr));
        window.setImageUrl({url(QStringLiteral("/huge.png")), url(QStringLiteral("/text")),
                            url(QStringLiteral("/missing.png"))},
                           {});
        QTRY_VERIFY_WITH_TIMEOUT(LogCapture::contains(QStringLiteral("bytes dropped")), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(LogCapture::contains(QStringLiteral("ContentNotFoundError")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(LogCapture::contains(QStringLiteral("not a picture")), 5000);
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
