import QtQuick

// The title bar of the module's dialogs: the title on the left and a close
// button "X" that acts when pressed. What closing means is the dialog's own
// business, so the bar only reports the press.
Rectangle {
    id: bar

    property string title: ""
    property alias titleFont: titleText.font
    signal closePressed()

    height: 40
    color: Qt.rgba(0.6, 0.6, 0.6, 1)

    Text {
        id: titleText
        objectName: "titleText"
        anchors.left: parent.left
        anchors.leftMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        text: bar.title
    }

    Rectangle {
        id: closeButton
        objectName: "closeButton"
        width: 30
        height: 30
        radius: 2
        anchors.right: parent.right
        anchors.rightMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        color: closeArea.pressed ? Qt.rgba(0.5, 0.5, 0.5, 1)
                                 : closeArea.containsMouse ? Qt.rgba(1, 1, 1, 0.8)
                                                           : Qt.rgba(0.8, 0.8, 0.8, 0)

        Text {
            anchors.centerIn: parent
            text: "X"
            font.pointSize: 12
            font.bold: true
            color: closeArea.pressed ? Qt.rgba(0.5, 0.5, 0.5, 1)
                                     : closeArea.containsMouse ? Qt.rgba(0, 0, 0, 1)
                                                               : Qt.rgba(1, 1, 1, 1)
        }

        MouseArea {
            id: closeArea
            anchors.fill: parent
            hoverEnabled: true
            onPressed: bar.closePressed()
        }
    }
}
