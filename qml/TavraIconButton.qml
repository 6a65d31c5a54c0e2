import QtQuick
import QtQuick.Controls

// One glyph of the icon font used as a button, with an optional tooltip.
Rectangle {
    id: button

    property int fontSize: 16
    property var text
    property color iconColor: Qt.rgba(0.2, 0.2, 0, 1)
    property color bkHoverColor: Qt.rgba(0.85, 0.85, 0.85, 1)
    property color bkPressColor: Qt.rgba(0.5, 0.5, 0.5, 1)
    property color bkColor: Qt.rgba(0.5, 0.5, 0.5, 0)
    property string toolTips: ""
    property int iconPadding: 5
    property bool enableMouse: true

    signal clicked()

    implicitWidth: glyph.implicitWidth
    implicitHeight: glyph.implicitHeight
    radius: 2
    color: !enableMouse ? bkColor : area.pressed ? bkPressColor : area.containsMouse ? bkHoverColor : bkColor

    Text {
        id: glyph
        anchors.centerIn: parent
        text: button.text === undefined ? "" : button.text
        font.family: "TavraFont"
        font.pointSize: button.fontSize
        color: button.iconColor
        padding: button.iconPadding
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    MouseArea {
        id: area
        anchors.fill: parent
        anchors.margins: 3
        enabled: button.enableMouse
        hoverEnabled: true
        onClicked: button.clicked()
    }

    ToolTip {
        id: tip
        parent: button
        text: button.toolTips
        delay: 500
        timeout: 3000
        visible: area.containsMouse && button.toolTips !== ""
    }
}
