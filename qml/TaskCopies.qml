import QtQuick
import QtQuick.Controls.Basic

// A number of copies: the button shows it, its drop-down offers a spin box
// for any number and a column of presets. Only the operator's own change of
// the spin box writes its number back, so opening the drop-down over "0" or
// "自动" keeps that preset.
Button {
    id: control

    readonly property alias popuped: popup.visible
    readonly property var presets: ["0", "10", "20", "50", "100", "200", "500", "1000", qsTr("自动")]

    contentItem: Text {
        text: control.text
        font: control.font
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    onClicked: {
        if (popup.visible) {
            popup.close()
        } else {
            popup.open()
        }
        const n = Number(control.text)
        if (control.text !== "" && Number.isInteger(n) && n >= spb.from && n <= spb.to)
            spb.value = n
    }

    Popup {
        id: popup
        objectName: "copiesPopup"
        y: control.height + 1
        x: 0
        width: control.width
        height: col.height + 30
        padding: 0
        modal: false
        focus: true
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutsideParent
        background: Rectangle { color: Qt.rgba(0.5, 0.5, 0.5, 1) }
        onOpened: spb.forceActiveFocus()

        contentItem: Item {
            SpinBox {
                id: spb
                objectName: "copiesSpinBox"
                width: parent.width
                height: 30
                from: 1
                to: 999999
                stepSize: 1
                value: 100
                editable: false
                font.pointSize: 8
                // Plain digits: the tab turns the text into a number, and
                // digit groups are written differently in every locale.
                textFromValue: function(value) { return String(value) }
                valueFromText: function(text) { return Number(text) }
                onValueModified: control.text = String(value)

                // With ids: deferred items without one are counted as still
                // being created when the engine goes.
                up.indicator: Rectangle {
                    id: upIndicator
                    x: spb.width - width
                    width: 30
                    height: spb.height
                    color: spb.up.pressed ? Qt.rgba(0.8, 0.8, 0.8, 1) : Qt.rgba(0.95, 0.95, 0.95, 1)
                    border.color: Qt.rgba(0.75, 0.75, 0.75, 1)
                    Text { anchors.centerIn: parent; text: "+"; font.pointSize: 10 }
                }
                down.indicator: Rectangle {
                    id: downIndicator
                    x: 0
                    width: 30
                    height: spb.height
                    color: spb.down.pressed ? Qt.rgba(0.8, 0.8, 0.8, 1) : Qt.rgba(0.95, 0.95, 0.95, 1)
                    border.color: Qt.rgba(0.75, 0.75, 0.75, 1)
                    Text { anchors.centerIn: parent; text: "-"; font.pointSize: 10 }
                }
                background: Rectangle {
                    color: "white"
                    border.width: 1
                    border.color: Qt.rgba(0.75, 0.75, 0.75, 1)
                }
            }

            Column {
                id: col
                objectName: "copiesPresets"
                anchors.top: spb.bottom
                width: parent.width
                Repeater {
                    model: control.presets
                    delegate: cmp
                }
            }

            Component {
                id: cmp
                Item {
                    id: row
                    required property string modelData
                    objectName: "preset_" + modelData
                    width: control.width
                    height: 30
                    Rectangle {
                        anchors.fill: parent
                        color: "white"
                        opacity: area.containsMouse ? 0.6 : 0.4
                    }
                    Text {
                        anchors.fill: parent
                        text: row.modelData
                        font.pointSize: 10
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        elide: Text.ElideRight
                    }
                    MouseArea {
                        id: area
                        anchors.fill: parent
                        hoverEnabled: true
                        onPressed: {
                            control.text = row.modelData
                            popup.close()
                        }
                    }
                }
            }
        }
    }
}
