#pragma once

#include "online/online_export.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QWidget>

#include <memory>

class QWindow;

// One advertisement picture: where it comes from, where a click leads, and
// the picture once downloaded (null until then).
struct CarouselImage
{
    QString url;
    QString link;
    QImage image;
};

// A small frameless window in the bottom-right corner of the window it is
// attached to (or of the screen) that shows advertisement pictures one after
// another with a cross-fade, a row of page buttons and a close mark; a click
// on a picture opens its link.
class SPOOLSMITH_ONLINE_EXPORT CarouselImageWindow : public QWidget
{
    Q_OBJECT
public:
    // Limits on what a message may ask for.
    static constexpr int kMaxPictures = 20;
    static constexpr qint64 kMaxPictureBytes = 10 * 1024 * 1024;
    static constexpr int kSwitchIntervalMs = 5000;
    static constexpr int kFadeMs = 1000;

    CarouselImageWindow();
    explicit CarouselImageWindow(QWidget *parent);
    explicit CarouselImageWindow(QWindow *parent);
    ~CarouselImageWindow() override;

    // Replaces the pictures and starts their downloads. Only http and https
    // addresses are fetched or opened; the first kMaxPictures are kept.
    void setImageUrl(const QList<QString> &images, const QList<QString> &links);
    // One page button per picture, then the first picture.
    void startPlay();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private slots:
    void onImageSwitchButtonClicked(int id);
    void handleNetworkResponse();
    void onImageChangeTimeout();
    void onPosChanged(int);
    void takePicture(quint64 generation, int index, const QImage &image, const QSize &original,
                     const QString &failure);

private:
    struct Private;

    void connectWindow(QWindow *window);
    void detachWindow();
    void abortDownloads();
    void initUI();
    void initChangeImageButton();
    void moveWindow();
    void drawPicture(QPainter &painter, int index, qreal opacity);

    std::unique_ptr<Private> d;
};
