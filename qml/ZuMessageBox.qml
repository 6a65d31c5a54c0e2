import QtQuick
import QtQuick.Controls

// OK/cancel confirmation. Only OK emits clickedOk(); every other way out just
// closes the box.
ZuPopup {
    id: box
    implicitWidth: 600
    implicitHeight: 300

    property string title: "Spoolsmith"
    property string text: ""
    property font titleFont
    property font textFont
    property font btnFont
    property real btnWidth: 120
    property real btnHeight: 50

    signal clickedOk()

    component BoxButton: Rectangle {
        id: button
        property alias caption: label.text
        signal activated()
        width: box.btnWidth
        height: box.btnHeight
        anchors.verticalCenter: parent.verticalCenter
        border.width: 1
        border.color: Qt.rgba(0.5, 0.5, 0.5, 0.5)
        color: area.pressed ? Qt.rgba(0.5, 0.5, 0.5, 1)
                            : area.containsMouse ? Qt.rgba(0.8, 0.8, 0.8, 1) : "white"
        Text {
            id: label
            anchors.centerIn: parent
            font: box.btnFont
        }
        MouseArea {
            id: area
            anchors.fill: parent
            hoverEnabled: true
            onPressed: button.activated()
        }
    }

    contentItem: Item {
        Rectangle {
            id: titleBar
            width: parent.width
            height: box.height * 0.2
            color: Qt.rgba(0.6, 0.6, 0.6, 1)
            Text {
                anchors.fill: parent
                text: box.title
                font: box.titleFont
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }
        }

        Text {
            id: message
            anchors.top: titleBar.bottom
            width: parent.width
            height: box.height * 0.6
            text: box.text
            font: box.textFont
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }

        Rectangle {
            id: strip
            anchors.top: message.bottom
            width: parent.width
            height: box.btnHeight + 20
            color: "white"
            border.width: 1
            border.color: Qt.rgba(0.5, 0.5, 0.5, 0.5)

            BoxButton {
                objectName: "okButton"
                x: strip.width / 2 - 10 - width
                caption: qsTr("确 定")
                onActivated: {
                    box.clickedOk()
                    box.close()
                }
            }
            BoxButton {
                objectName: "cancelButton"
                x: strip.width / 2 + 10
                caption: qsTr("取 消")
                onActivated: box.close()
            }
        }
    }
}
