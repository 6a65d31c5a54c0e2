#pragma once

#include "vision/film_slot.h"

#include <QQuickPaintedItem>
#include <QRect>
#include <QtQml/qqmlregistration.h>

#include <functional>

class QPainter;

// The mark camera's current slot over its picture and, on request, the four
// marks of the page as thumbnails. The camera picture is shown turned by a
// quarter turn, so picture y runs along item x.
class FilmView : public QQuickPaintedItem
{
    Q_OBJECT
    QML_NAMED_ELEMENT(FilmView)
    Q_PROPERTY(int videoOutputX READ videoOutputX WRITE setVideoOutputX NOTIFY videoOutputXChanged)
    Q_PROPERTY(int videoOutputY READ videoOutputY WRITE setVideoOutputY NOTIFY videoOutputYChanged)
    Q_PROPERTY(int videoOutputWidth READ videoOutputWidth WRITE setVideoOutputWidth NOTIFY videoOutputWidthChanged)
    Q_PROPERTY(int videoOutputHeight READ videoOutputHeight WRITE setVideoOutputHeight NOTIFY videoOutputHeightChanged)
    Q_PROPERTY(bool showHistory READ showHistory WRITE setShowHistory NOTIFY showHistoryChanged)

public:
    using SlotReader = std::function<QList<FilmSlot>()>;

    // Where every view takes its slots from: the application object, which
    // signals filmViewUpdate(QRect) on notifier when they change. Views
    // paint nothing while no source is set.
    static void setSource(QObject *notifier, SlotReader reader);

    explicit FilmView(QQuickItem *parent = nullptr);
    ~FilmView() override;

    void paint(QPainter *painter) override;

    int videoOutputX() const { return m_videoOutputX; }
    void setVideoOutputX(int v);
    int videoOutputY() const { return m_videoOutputY; }
    void setVideoOutputY(int v);
    int videoOutputWidth() const { return m_videoOutputWidth; }
    void setVideoOutputWidth(int v);
    int videoOutputHeight() const { return m_videoOutputHeight; }
    void setVideoOutputHeight(int v);
    bool showHistory() const { return m_showHistory; }
    void setShowHistory(bool v);

    static void drawMark(QPainter *painter, const QRectF &rect);

signals:
    void videoOutputXChanged();
    void videoOutputYChanged();
    void videoOutputWidthChanged();
    void videoOutputHeightChanged();
    void showHistoryChanged();

private slots:
    void onFilmViewUpdate(const QRect &rect);

private:
    void setOutputValue(int &field, int v, void (FilmView::*signal)());
    void attachSource();
    static void drawCode(QPainter *painter, const FilmSlot &slot,
                         const std::function<QPointF(const QPointF &)> &map);

    int m_videoOutputX = 0;
    int m_videoOutputY = 0;
    int m_videoOutputWidth = 0;
    int m_videoOutputHeight = 0;
    bool m_showHistory = false;
};
