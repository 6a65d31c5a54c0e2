import QtQuick
import QtQuick.Controls

// The start of a job: the once-per-run homing of the web-guide motor and the
// trim unit's Y axis, the clearing of the run counters, and the start. Every
// button acts on press.
ZuPopup {
    id: popup
    implicitWidth: 220
    implicitHeight: 370

    property string title: "Spoolsmith"
    property font titleFont
    property font btnFont

    component ActionButton: Rectangle {
        id: button
        property alias caption: label.text
        signal activated()
        width: column.width
        height: 50
        border.width: 1
        border.color: Qt.rgba(0.5, 0.5, 0.5, 0.5)
        color: area.pressed ? Qt.rgba(0.5, 0.5, 0.5, 1)
                            : area.containsMouse ? Qt.rgba(0.8, 0.8, 0.8, 1) : "white"
        Text {
            id: label
            anchors.fill: parent
            anchors.margins: 2
            font: popup.btnFont
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }
        MouseArea {
            id: area
            anchors.fill: parent
            hoverEnabled: true
            onPressed: button.activated()
        }
    }

    contentItem: Item {
        PopupTitleBar {
            id: titleBar
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            title: popup.title
            titleFont: popup.titleFont
            onClosePressed: popup.close()
        }

        Column {
            id: column
            objectName: "startButtons"
            width: Math.round(popup.width * 0.7)
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: titleBar.bottom
            anchors.topMargin: 20
            spacing: 20

            ActionButton {
                objectName: "rectifyResetButton"
                caption: qsTr("纠偏复位")
                visible: !config.rectifyReset
                onActivated: {
                    if (device.wRectifyMotorReset())
                        config.rectifyReset = true
                    else
                        device.errorMessage = qsTr("纠偏电机复位失败，请检查设备后重试")
                }
            }
            ActionButton {
                objectName: "trimResetButton"
                caption: qsTr("裁断复位")
                visible: config.trim && !config.trimReset
                // Only a homing that went out counts as done; otherwise the
                // button stays for another try.
                onActivated: {
                    if (device.wTirmMotorYReset())
                        config.trimReset = true
                    else
                        device.errorMessage = qsTr("裁断电机复位未发出，请检查设备后重试")
                }
            }
            ActionButton {
                objectName: "recountButton"
                caption: qsTr("计数清零")
                onActivated: app.reCount()
            }
            ActionButton {
                objectName: "startButton"
                caption: qsTr("开始工作")
                onActivated: {
                    app.startTask(false)
                    popup.close()
                }
            }
        }
    }
}
