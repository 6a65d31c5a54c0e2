#pragma once

#include <QPointer>
#include <QQuickItem>
#include <QVariant>
#include <QWidget>
#include <QtQml/qqmlregistration.h>

class QQuickWindow;

// A QML item that shows an ordinary widget over its own rectangle in the
// window. The widget stays owned by whoever made it.
class QuickItemWidget : public QQuickItem
{
    Q_OBJECT
    QML_NAMED_ELEMENT(QuickItemWidget)
    Q_PROPERTY(QVariant widget READ widget WRITE setWidget NOTIFY widgetChanged)

public:
    QuickItemWidget();
    ~QuickItemWidget() override;

    QVariant widget() const;
    void setWidget(const QVariant &v);

signals:
    void widgetChanged();

public slots:
    void onGeometryChanged();
    void onEnabledChanged();
    void onVisibleChanged();

protected:
    void itemChange(ItemChange change, const ItemChangeData &data) override;

private:
    void embed(QQuickWindow *win);
    void placeOver(QQuickWindow *win);
    void release();

    QPointer<QWidget> m_widget;
};
