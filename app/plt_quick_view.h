#pragma once

#include "app/plt_file_reader.h"

#include <QPointF>
#include <QPolygonF>
#include <QQuickPaintedItem>
#include <QRectF>
#include <QtQml/qqmlregistration.h>

#include <memory>

// Previews an HPGL cut file: page and marks from the file's header, cut
// lines through the HPGL reader, the page turned a quarter (web upwards).
// The file is read on the reader's thread; the drawing changes once the GUI
// thread takes what it read (fileRead).
class PltQuickView : public QQuickPaintedItem
{
    Q_OBJECT
    QML_NAMED_ELEMENT(PltQuickView)
    Q_PROPERTY(QString file READ file WRITE setFile NOTIFY fileChanged)

public:
    explicit PltQuickView(QQuickItem *parent = nullptr);
    ~PltQuickView() override;

    QString file() const { return m_file; }
    void setFile(const QString &file);

    void paint(QPainter *painter) override;

    // Geometry read from the header (points), for tests and the paint.
    QRectF pageRect() const { return m_pageRect; }
    QPointF origin() const { return m_origin; }
    QPointF farCornerAdjustment() const { return m_farCorner; }
    int markType() const { return m_markType; }
    double markSize() const { return m_markSize; }
    // The polylines of the last file read (shared by every preview item).
    static QList<QPolygonF> polylines();

signals:
    void fileChanged();
    // The newest file set has been read and is drawn.
    void fileRead();

private:
    void take(PltFileReader::Result &result);
    void parseHeader(const QString &path, const QByteArray &head);
    void drawMarks(QPainter *painter, const QRectF &rect) const;
    void drawCrossHair(QPainter *painter, const QRectF &rect) const;

    QRectF m_pageRect{0, 0, 210.0, 297.0};
    QPointF m_origin;
    QPointF m_farCorner;
    int m_markType = 0;
    double m_markSize = 5.0;
    QString m_file;
    std::unique_ptr<PltFileReader> m_reader;
};
