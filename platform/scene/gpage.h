#pragma once

#include <QPageLayout>
#include <QRectF>

class GMarkItem;

// The page of a scene: its size (kept exactly as designed, never snapped to
// a standard size) and its mark item, when the design has marks.
class GPage
{
public:
    GPage();

    // sizeMm is width x height; a non-positive size falls back to A4.
    void setSize(const QSizeF &sizeMm);
    QPageLayout layout() const { return m_layout; }
    // Always in millimetres: a size equal to a standard one defined in
    // inches (Letter, Legal, Tabloid) is taken by Qt in inches.
    QSizeF sizeMm() const { return m_layout.fullRect(QPageLayout::Millimeter).size(); }
    GMarkItem *markItem() const { return m_mark; }
    void setMarkItem(GMarkItem *mark);

    QRectF fullRectPoints() const;
    // The area inside the marks (the whole page without marks).
    QRectF paintRectPoints() const;

    static QPageLayout makeLayout(const QSizeF &sizeMm);

private:
    QPageLayout m_layout;
    GMarkItem *m_mark = nullptr; // owned by the scene
};
