#include "app/quick_item_widget.h"

#include <QDebug>
#include <QQuickWindow>
#include <QWindow>

QuickItemWidget::QuickItemWidget()
{
    connect(this, &QQuickItem::xChanged, this, &QuickItemWidget::onGeometryChanged);
    connect(this, &QQuickItem::yChanged, this, &QuickItemWidget::onGeometryChanged);
    connect(this, &QQuickItem::widthChanged, this, &QuickItemWidget::onGeometryChanged);
    connect(this, &QQuickItem::heightChanged, this, &QuickItemWidget::onGeometryChanged);
    connect(this, &QQuickItem::enabledChanged, this, &QuickItemWidget::onEnabledChanged);
    connect(this, &QQuickItem::visibleChanged, this, &QuickItemWidget::onVisibleChanged);
}

QuickItemWidget::~QuickItemWidget()
{
    // The item's window would otherwise take the widget's native window down
    // with it, behind the back of the widget's owner.
    release();
}

QVariant QuickItemWidget::widget() const
{
    return QVariant::fromValue(m_widget.data());
}

void QuickItemWidget::setWidget(const QVariant &v)
{
    QWidget *w = v.value<QWidget *>();
    if (!w)
        w = qobject_cast<QWidget *>(v.value<QObject *>());
    if (!w && v.isValid() && !v.isNull())
        qCritical() << "QuickItemWidget::setWidget" << "not a widget:" << v;
    if (w == m_widget)
        return;
    release();
    m_widget = w;
    embed(window());
    emit widgetChanged();
}

void QuickItemWidget::embed(QQuickWindow *win)
{
    if (!m_widget || !win)
        return;
    // Honoured by Windows only; elsewhere the native window is reparented.
    m_widget->setProperty("_q_embedded_native_parent_handle", QVariant(win->winId()));
    m_widget->setWindowFlags(m_widget->windowFlags() | Qt::FramelessWindowHint);
    m_widget->winId();
    if (QWindow *handle = m_widget->windowHandle())
        handle->setParent(win);
    placeOver(win);
    m_widget->setEnabled(isEnabled());
    m_widget->setVisible(isVisible());
}

void QuickItemWidget::release()
{
    if (!m_widget)
        return;
    m_widget->hide();
    if (QWindow *handle = m_widget->windowHandle())
        handle->setParent(nullptr);
}

void QuickItemWidget::onGeometryChanged()
{
    placeOver(window());
}

void QuickItemWidget::placeOver(QQuickWindow *win)
{
    if (!m_widget || !win)
        return;
    if (QWindow *handle = m_widget->windowHandle(); handle && handle->parent() != win)
        handle->setParent(win);
    // The item's own corner in window coordinates, wherever it sits in its parent.
    const QPointF topLeft = mapToScene(QPointF(0, 0));
    m_widget->setGeometry(int(topLeft.x()), int(topLeft.y()), int(width()), int(height()));
}

void QuickItemWidget::onEnabledChanged()
{
    if (m_widget)
        m_widget->setEnabled(isEnabled());
}

void QuickItemWidget::onVisibleChanged()
{
    if (m_widget && window())
        m_widget->setVisible(isVisible());
}

void QuickItemWidget::itemChange(ItemChange change, const ItemChangeData &data)
{
    QQuickItem::itemChange(change, data);
    if (change != ItemSceneChange)
        return;
    // A widget given before the item was placed is hosted once it is.
    if (data.window)
        embed(data.window);
    else
        release();
}
