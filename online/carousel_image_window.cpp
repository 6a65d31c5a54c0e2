#include "online/carousel_image_window.h"

#include "online/bounded_reply.h"
#include "online/picture_decoder.h"
#include "online/web_url.h"

#include <QButtonGroup>
#include <QDebug>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <QWindow>

#include <cmath>
#include <utility>

namespace {

constexpr char kOpacity[] = "ImageOpacity";
constexpr char kReplyIndex[] = "carouselIndex";
constexpr char kReplyGeneration[] = "carouselGeneration";
constexpr int kEmbedPollMs = 1000;
// A stall bound (Qt restarts it with every byte) and a bound on the whole.
constexpr int kTransferTimeoutMs = 30000;
constexpr int kTotalTimeoutMs = 60000;
// The window shows about this many (device-independent) pixels.
constexpr qint64 kShownPixels = 100000;

// A URL for the log: never the user information it may carry.
QString loggable(const QUrl &url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo);
}

} // namespace

struct CarouselImageWindow::Private
{
    QTimer *switchTimer = nullptr;
    int switchInterval = kSwitchIntervalMs;
    int currentIndex = 0;
    QPropertyAnimation *fade = nullptr;
    QList<QPushButton *> pageButtons;
    QList<CarouselImage> pictures;
    QNetworkAccessManager *network = nullptr;
    QButtonGroup *buttonGroup = nullptr;
    QHBoxLayout *pageLayout = nullptr;
    QLabel *closeLabel = nullptr;
    QPointer<QWindow> parentWindow;
    int embedTimerId = 0;
    bool hasParent = false;
    // Bumped by every new list: replies for an older one are dropped.
    quint64 generation = 0;
    // The current list's downloads; a new list aborts them.
    QList<QPointer<BoundedReply>> downloads;
    PictureDecoder *decoder = nullptr;
};

CarouselImageWindow::CarouselImageWindow()
    : QWidget(nullptr)
    , d(std::make_unique<Private>())
{
    // Nothing in the program builds one this way; it is made usable as the
    // unattached form placed on the screen.
    initUI();
}

CarouselImageWindow::CarouselImageWindow(QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<Private>())
{
    d->hasParent = parent != nullptr;
    initUI();
    if (parent)
        d->embedTimerId = startTimer(kEmbedPollMs);
}

CarouselImageWindow::CarouselImageWindow(QWindow *parent)
    : QWidget(nullptr)
    , d(std::make_unique<Private>())
{
    d->hasParent = parent != nullptr;
    initUI();
    connectWindow(parent);
}

CarouselImageWindow::~CarouselImageWindow()
{
    abortDownloads();
    detachWindow();
}

void CarouselImageWindow::initUI()
{
    setProperty(kOpacity, 1.0);
    d->fade = new QPropertyAnimation(this, kOpacity, this);
    d->fade->setDuration(kFadeMs);
    d->fade->setStartValue(1.0);
    d->fade->setEndValue(0.0);
    connect(d->fade, &QPropertyAnimation::valueChanged, this, [this] { update(); });

    d->switchTimer = new QTimer(this);
    connect(d->switchTimer, &QTimer::timeout, this, &CarouselImageWindow::onImageChangeTimeout);
    hide();

    d->network = new QNetworkAccessManager(this);
    d->decoder = new PictureDecoder(this);
    connect(d->decoder, &PictureDecoder::decoded, this, &CarouselImageWindow::takePicture);
    d->buttonGroup = new QButtonGroup(this);
    d->buttonGroup->setExclusive(true);
    connect(d->buttonGroup, &QButtonGroup::idClicked, this, &CarouselImageWindow::onImageSwitchButtonClicked);

    d->pageLayout = new QHBoxLayout;
    d->pageLayout->addStretch();
    d->pageLayout->addStretch();
    d->pageLayout->setSpacing(10);

    d->closeLabel = new QLabel(QStringLiteral("x"), this);
    d->closeLabel->setFixedSize(30, 30);
    auto *closeRow = new QHBoxLayout;
    closeRow->addStretch();
    closeRow->addWidget(d->closeLabel);

    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->addLayout(closeRow);
    mainLayout->addStretch();
    mainLayout->addLayout(d->pageLayout);
    mainLayout->setContentsMargins(0, 0, 0, 20);

    setStyleSheet(QStringLiteral("QLabel{color:black;font:20pt;background-color:rgba(0,0,0,0);}"));
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint;
    if (!d->hasParent)
        flags |= Qt::WindowStaysOnTopHint;
    setWindowFlags(flags);
}

void CarouselImageWindow::connectWindow(QWindow *window)
{
    if (d->parentWindow || !window)
        return;
    d->parentWindow = window;
    setProperty("_q_embedded_native_parent_handle", QVariant::fromValue(window->winId()));
#if !defined(Q_OS_WIN)
    // The native-parent property is a Windows matter: elsewhere the widget's
    // own window becomes a child of the given one.
    winId();
    if (QWindow *own = windowHandle())
        own->setParent(window);
#endif
    connect(window, &QWindow::xChanged, this, &CarouselImageWindow::onPosChanged);
    connect(window, &QWindow::yChanged, this, &CarouselImageWindow::onPosChanged);
    connect(window, &QWindow::widthChanged, this, &CarouselImageWindow::onPosChanged);
    connect(window, &QWindow::heightChanged, this, &CarouselImageWindow::onPosChanged);
    // The parent window deletes its child windows: take ours out first.
    connect(window, &QObject::destroyed, this, [this] { detachWindow(); });
    moveWindow();
    if (!d->pictures.isEmpty() && !d->pictures.first().image.isNull())
        show();
}

void CarouselImageWindow::detachWindow()
{
#if !defined(Q_OS_WIN)
    if (d->parentWindow || (windowHandle() && windowHandle()->parent())) {
        hide();
        if (QWindow *own = windowHandle())
            own->setParent(nullptr);
    }
#endif
    d->parentWindow = nullptr;
}

void CarouselImageWindow::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != d->embedTimerId || d->embedTimerId == 0) {
        QWidget::timerEvent(event);
        return;
    }
    if (QWidget *parent = parentWidget())
        connectWindow(parent->window()->windowHandle());
    if (d->parentWindow) {
        killTimer(d->embedTimerId);
        d->embedTimerId = 0;
    }
}

void CarouselImageWindow::moveWindow()
{
    if (d->parentWindow) {
        // The client area, not the frame: on X11 the frame of a child window
        // is taken to be its parent, whose offset would be added again.
        setGeometry(QRect(QPoint(d->parentWindow->width() - width(), d->parentWindow->height() - height()), size()));
        return;
    }
    if (parentWidget())
        return;
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The available area need not start at the origin (a panel on the left
    // or top): its corner is what counts.
    const QRect area = screen->availableGeometry();
    move(area.x() + area.width() - width(), area.y() + area.height() - height());
}

void CarouselImageWindow::onPosChanged(int)
{
    moveWindow();
}

void CarouselImageWindow::abortDownloads()
{
    const QList<QPointer<BoundedReply>> downloads = std::exchange(d->downloads, {});
    for (const QPointer<BoundedReply> &download : downloads) {
        if (!download)
            continue;
        QNetworkReply *reply = download->reply();
        download->disconnect(this);
        download->abort();
        if (reply)
            reply->deleteLater();
    }
}

void CarouselImageWindow::setImageUrl(const QList<QString> &images, const QList<QString> &links)
{
    ++d->generation;
    abortDownloads();
    d->decoder->dropOlderThan(d->generation);
    d->pictures.clear();
    if (images.size() > kMaxPictures)
        qWarning() << "CarouselImageWindow::setImageUrl" << images.size() << "pictures, the first" << kMaxPictures
                   << "kept";
    const int count = std::min<int>(images.size(), kMaxPictures);
    for (int i = 0; i < count; ++i) {
        const QUrl url(images.at(i).trimmed(), QUrl::StrictMode);
        if (!spoolsmith::isWebUrl(url)) {
            qWarning() << "CarouselImageWindow::setImageUrl" << "picture dropped, not an http(s) address:"
                       << loggable(url);
            continue;
        }
        CarouselImage picture;
        if (links.size() == 1)
            picture.link = links.first();
        else if (i < links.size())
            picture.link = links.at(i);
        picture.link = picture.link.trimmed();
        if (!picture.link.isEmpty() && !spoolsmith::isWebUrl(picture.link)) {
            qWarning() << "CarouselImageWindow::setImageUrl" << "link dropped, not an http(s) address:"
                       << loggable(QUrl(picture.link));
            picture.link.clear();
        }
        picture.url = url.toString();
        d->pictures.append(picture);

        QNetworkRequest request(url);
        request.setTransferTimeout(kTransferTimeoutMs);
        // Redirects stay on the web and never step down from https.
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        QNetworkReply *reply = d->network->get(request);
        auto *download = new BoundedReply(reply, kMaxPictureBytes, kTotalTimeoutMs, reply);
        download->setProperty(kReplyIndex, int(d->pictures.size() - 1));
        download->setProperty(kReplyGeneration, d->generation);
        d->downloads.append(download);
        connect(download, &BoundedReply::finished, this, &CarouselImageWindow::handleNetworkResponse);
    }
}

void CarouselImageWindow::handleNetworkResponse()
{
    auto *download = qobject_cast<BoundedReply *>(sender());
    if (!download || !download->reply())
        return;
    QNetworkReply *reply = download->reply();
    reply->deleteLater();
    d->downloads.removeAll(download);
    const quint64 generation = download->property(kReplyGeneration).toULongLong();
    const int index = download->property(kReplyIndex).toInt();
    if (download->tooLarge()) {
        qCritical() << "CarouselImageWindow::handleNetworkResponse" << "picture larger than" << kMaxPictureBytes
                    << "bytes dropped:" << loggable(reply->request().url());
    } else if (download->timedOut()) {
        qCritical() << "CarouselImageWindow::handleNetworkResponse" << "picture not in within" << kTotalTimeoutMs
                    << "ms:" << loggable(reply->request().url());
    } else if (reply->error() != QNetworkReply::NoError) {
        qCritical() << "CarouselImageWindow::handleNetworkResponse" << reply->error()
                    << loggable(reply->request().url());
    } else if (generation == d->generation && index >= 0 && index < d->pictures.size()) {
        const qreal ratio = devicePixelRatioF();
        d->decoder->decode(generation, index, download->takeBody(), qint64(kShownPixels * ratio * ratio));
    }
}

void CarouselImageWindow::takePicture(quint64 generation, int index, const QImage &image, const QSize &original,
                                      const QString &failure)
{
    if (generation != d->generation || index < 0 || index >= d->pictures.size())
        return;
    CarouselImage &picture = d->pictures[index];
    if (image.isNull()) {
        qWarning() << "CarouselImageWindow::handleNetworkResponse" << failure << picture.url;
        return;
    }
    picture.image = image;
    if (index == 0) {
        // About 100000 square pixels in the first picture's proportions.
        const float scale = float(std::sqrt(double(kShownPixels) / (double(original.width()) * original.height())));
        setFixedSize(int(std::lround(original.width() * scale)), int(std::lround(original.height() * scale)));
        if (!(parentWidget() && !d->parentWindow)) {
            moveWindow();
            show();
        }
    }
    update();
}

void CarouselImageWindow::initChangeImageButton()
{
    const int pictures = d->pictures.size();
    for (int i = int(d->buttonGroup->buttons().size()); i < pictures; ++i) {
        QPushButton *button = i < d->pageButtons.size() ? d->pageButtons.at(i) : nullptr;
        if (!button) {
            button = new QPushButton(this);
            button->setFixedSize(16, 16);
            button->setCheckable(true);
            d->pageButtons.append(button);
        }
        d->buttonGroup->addButton(button, i + 1);
        d->pageLayout->insertWidget(i + 1, button);
        // Children added to a window already on screen start hidden.
        button->show();
    }
    while (d->buttonGroup->buttons().size() > pictures && !d->pageButtons.isEmpty()) {
        QPushButton *button = d->pageButtons.takeLast();
        d->buttonGroup->removeButton(button);
        d->pageLayout->removeWidget(button);
        // Left as a bare child it would stay drawn over the picture.
        button->hide();
        button->deleteLater();
    }
    d->currentIndex = 0;
}

void CarouselImageWindow::startPlay()
{
    if (d->pictures.isEmpty())
        return;
    initChangeImageButton();
    onImageSwitchButtonClicked(d->currentIndex + 1);
}

void CarouselImageWindow::onImageSwitchButtonClicked(int id)
{
    const int count = d->pageButtons.size();
    const int index = id == 0 ? count - 1 : id - 1;
    if (index < 0 || index >= count)
        return;
    d->switchTimer->stop();
    d->currentIndex = index;
    d->pageButtons.at(index)->setChecked(true);
    d->switchTimer->start(d->switchInterval);
    update();
}

void CarouselImageWindow::onImageChangeTimeout()
{
    const int count = d->pageButtons.size();
    if (count == 0)
        return;
    d->currentIndex = (d->currentIndex + 1) % count;
    d->pageButtons.at(d->currentIndex)->setChecked(true);
    d->fade->stop();
    d->fade->start();
    d->switchTimer->start(d->switchInterval);
}

void CarouselImageWindow::drawPicture(QPainter &painter, int index, qreal opacity)
{
    if (index < 0 || index >= d->pictures.size() || d->pictures.at(index).image.isNull())
        return;
    const QRect r = rect();
    const QImage scaled =
        d->pictures.at(index).image.scaled(r.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    painter.setOpacity(opacity);
    painter.drawImage(r.x() + (r.width() - scaled.width()) / 2, r.y() + (r.height() - scaled.height()) / 2, scaled);
}

void CarouselImageWindow::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        const int count = d->pageButtons.size();
        if (count == 0) {
            painter.drawText(rect(), QStringLiteral("404"));
        } else if (count == 1) {
            drawPicture(painter, 0, 1.0);
        } else if (d->fade->state() != QAbstractAnimation::Running) {
            drawPicture(painter, d->currentIndex, 1.0);
        } else {
            const int previous = d->currentIndex == 0 ? count - 1 : d->currentIndex - 1;
            drawPicture(painter, d->currentIndex, 1.0);
            drawPicture(painter, previous, property(kOpacity).toReal());
        }
    }
    QWidget::paintEvent(event);
}

void CarouselImageWindow::mousePressEvent(QMouseEvent *event)
{
    const QRect closeRect(d->closeLabel->mapTo(this, QPoint(0, 0)), d->closeLabel->size());
    if (closeRect.contains(QPoint(int(event->position().x()), int(event->position().y())))) {
        hide();
    } else if (d->currentIndex >= 0 && d->currentIndex < d->pictures.size()) {
        const QString link = d->pictures.at(d->currentIndex).link;
        // Only web addresses ever reach the desktop's handler.
        if (spoolsmith::isWebUrl(link))
            QDesktopServices::openUrl(QUrl(link, QUrl::StrictMode));
        else if (!link.isEmpty())
            qWarning() << "CarouselImageWindow::mousePressEvent" << "link not opened:" << loggable(QUrl(link));
    }
    QWidget::mousePressEvent(event);
}
