// A widget hosted over a QML item in a real window (X11 under Xvfb: the
// offscreen platform cannot parent one window to another).
#include "app/quick_item_widget.h"
#include "tests/support/hang_bound.h"

#include <QLabel>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickView>
#include <QWindow>
#include <QtTest>
#include <QtQml/qqmlextensionplugin.h>

#include <memory>

Q_IMPORT_QML_PLUGIN(QuickItemWidgetPlugin)

class TstQuickItemWidget : public QObject
{
    Q_OBJECT

private slots:
    void widgetGivenBeforeTheWindowIsHostedOncePlaced()
    {
        QQuickView view;
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view, kHangMs));

        QLabel label(QStringLiteral("cut view"));
        QuickItemWidget item;
        item.setWidget(QVariant::fromValue(static_cast<QWidget *>(&label)));
        QVERIFY(!label.isVisible());

        QQuickItem frame(view.contentItem());
        frame.setPosition(QPointF(100, 50));
        item.setParentItem(&frame);
        item.setPosition(QPointF(30, 40));
        item.setSize(QSizeF(120.6, 80.2));

        QVERIFY(label.windowHandle());
        QCOMPARE(label.windowHandle()->parent(), &view);
        QTRY_VERIFY_WITH_TIMEOUT(label.isVisible(), kHangMs);
        // The item's corner in the window, not its position mapped twice.
        QCOMPARE(label.geometry(), QRect(130, 90, 120, 80));

        item.setEnabled(false);
        QVERIFY(!label.isEnabled());
        item.setEnabled(true);
        QVERIFY(label.isEnabled());
        item.setVisible(false);
        QVERIFY(!label.isVisible());
        item.setVisible(true);
        QVERIFY(label.isVisible());
        item.setParentItem(nullptr);
        QVERIFY(!label.isVisible());
        QVERIFY(!label.windowHandle()->parent());
    }

    void widgetOutlivesItemAndWindow()
    {
        QLabel label(QStringLiteral("cut view"));
        {
            QQuickView view;
            view.resize(200, 200);
            view.show();
            QVERIFY(QTest::qWaitForWindowExposed(&view, kHangMs));
            auto *item = new QuickItemWidget;
            item->setParentItem(view.contentItem());
            item->setSize(QSizeF(50, 50));
            item->setWidget(QVariant::fromValue(static_cast<QWidget *>(&label)));
            QCOMPARE(label.windowHandle()->parent(), &view);
        }
        QVERIFY(label.windowHandle());
        QVERIFY(!label.windowHandle()->parent());
        label.setText(QStringLiteral("still here"));
    }

    void qmlGivesTheWidgetAsAnObject()
    {
        QLabel label;
        QQuickView view;
        view.rootContext()->setContextProperty(QStringLiteral("hosted"), &label);
        QQmlComponent component(view.engine());
        component.setData("import QtQuick\nimport QuickItemWidget 1.0\n"
                          "Item { width: 300; height: 200\n"
                          "  QuickItemWidget { objectName: 'host'; anchors.fill: parent; enabled: false; widget: hosted } }",
                          QUrl());
        std::unique_ptr<QObject> root(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));
        view.setContent(QUrl(), &component, root.get());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view, kHangMs));
        auto *host = root->findChild<QuickItemWidget *>(QStringLiteral("host"));
        QVERIFY(host);
        QCOMPARE(host->widget().value<QWidget *>(), &label);
        QTRY_COMPARE_WITH_TIMEOUT(label.geometry(), QRect(0, 0, 300, 200), kHangMs);
        QVERIFY(!label.isEnabled());
        root.release();
    }

    void nonWidgetIsRefused()
    {
        QuickItemWidget item;
        QObject notAWidget;
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("QuickItemWidget::setWidget.*not a widget"));
        item.setWidget(QVariant::fromValue(&notAWidget));
        QVERIFY(!item.widget().value<QWidget *>());
    }
};

QTEST_MAIN(TstQuickItemWidget)
#include "tst_quick_item_widget.moc"
