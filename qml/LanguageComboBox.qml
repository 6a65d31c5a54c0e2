import QtQuick
import QtQuick.Controls

// Two-entry language picker: 0 Simplified Chinese, 1 English. The language
// names are shown as themselves, never translated.
Rectangle {
    id: picker

    property int mod: 0
    signal modModfiy()

    radius: 4
    border.width: 1
    border.color: Qt.rgba(0.8, 0.8, 0.8, 1)
    color: area.pressed ? Qt.rgba(0.5, 0.5, 0.5, 1)
                        : area.containsMouse ? Qt.rgba(0.8, 0.8, 0.8, 1) : Qt.rgba(0.9, 0.9, 0.9, 1)

    readonly property var names: ["简体中文", "English"]

    Text {
        anchors.fill: parent
        text: picker.mod === 1 ? "English" : "简体中文"
        font.pointSize: 9
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onPressed: list.opened ? list.close() : list.open()
    }

    Popup {
        id: list
        objectName: "languageList"
        width: picker.width
        height: entries.height + 2
        y: -height - 2
        padding: 0
        focus: true
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutsideParent
        background: Rectangle {
            color: Qt.rgba(0.5, 0.5, 0.5, 1)
            radius: 2
        }

        contentItem: Item {
            Column {
                id: entries
                x: 1
                y: 1
                Repeater {
                    model: picker.names
                    Rectangle {
                        objectName: "languageEntry" + index
                        width: picker.width - 2
                        height: 30
                        color: entryArea.containsMouse ? Qt.rgba(1, 1, 1, 0.6) : Qt.rgba(1, 1, 1, 0.4)
                        Text {
                            anchors.centerIn: parent
                            text: modelData
                        }
                        MouseArea {
                            id: entryArea
                            anchors.fill: parent
                            hoverEnabled: true
                            onPressed: {
                                if (index !== picker.mod) {
                                    picker.mod = index
                                    picker.modModfiy()
                                }
                                list.close()
                            }
                        }
                    }
                }
            }
        }
    }
}
