#pragma once

#include <QGraphicsView>

// The cut view: shows the cut scene turned a quarter so that the web runs
// from left to right; disabled (as the cut-file page shows it) it fits the
// page on every resize.
class GraphicsView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit GraphicsView(QWidget *parent = nullptr);
    ~GraphicsView() override;

    void fitPage();

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void drawBackground(QPainter *painter, const QRectF &rect) override;
};
