#pragma once

#include "platform/detector/read_data.h"

#include <QQuickPaintedItem>
#include <QRect>
#include <QtQml/qqmlregistration.h>

#include <functional>

class QPainter;

// The last label inspection over the check camera's picture: lost labels
// filled red, the codes and texts read on the others outlined, the paper
// edges and the page start. Item coordinates are picture pixels divided by
// imageH / height; QML turns the item by a quarter turn over the picture.
class LostLabelView : public QQuickPaintedItem
{
    Q_OBJECT
    QML_NAMED_ELEMENT(LostLabelView)
    Q_PROPERTY(double imageW READ imageW WRITE setImageW NOTIFY imageWChanged)
    Q_PROPERTY(double imageH READ imageH WRITE setImageH NOTIFY imageHChanged)

public:
    struct Snapshot
    {
        ReadData result;
        int segmentX = -1; // the application's page position
    };
    using Reader = std::function<Snapshot()>;

    // Where every view takes the kept inspection from: the application
    // object, which signals lostViewUpdate(QRect) on notifier. Views paint
    // nothing while no source is set.
    static void setSource(QObject *notifier, Reader reader);

    explicit LostLabelView(QQuickItem *parent = nullptr);
    ~LostLabelView() override;

    void paint(QPainter *painter) override;
    // What paint draws, for a given snapshot (tests paint into an image).
    void paintSnapshot(QPainter *painter, const Snapshot &s);

    double imageW() const { return m_imageW; }
    void setImageW(double w);
    double imageH() const { return m_imageH; }
    void setImageH(double h);

signals:
    void imageWChanged();
    void imageHChanged();

private slots:
    void onLostViewUpdate(const QRect &rect);

private:
    double m_imageW = 0.0;
    double m_imageH = 0.0;
    double m_scale = 1.0;
};
