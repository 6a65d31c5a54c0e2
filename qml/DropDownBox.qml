import QtQuick
import QtQuick.Controls

// A small drop-down of fixed entries whose index is `mod`. A value outside the
// entries shows the first one. `modModfiy` follows a pick of another entry,
// never a write of `mod` from outside.
Rectangle {
    id: picker

    property int mod: 0
    property var names: []
    // The list opens above the box instead of below it.
    property bool listAbove: false
    // Prefix of the list's and the entries' object names.
    property string partName: "dropDown"
    signal modModfiy()

    radius: 4
    border.width: 1
    border.color: Qt.rgba(0.8, 0.8, 0.8, 1)
    color: area.pressed ? Qt.rgba(0.5, 0.5, 0.5, 1)
                        : area.containsMouse ? Qt.rgba(0.8, 0.8, 0.8, 1) : Qt.rgba(0.9, 0.9, 0.9, 1)

    Text {
        objectName: picker.partName + "Text"
        anchors.fill: parent
        text: picker.mod >= 0 && picker.mod < picker.names.length ? picker.names[picker.mod]
                                                                   : (picker.names.length > 0 ? picker.names[0] : "")
        font.pointSize: 9
        elide: Text.ElideRight
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
        objectName: picker.partName + "List"
        width: picker.width
        height: entries.height + 2
        y: picker.listAbove ? -height - 2 : picker.height + 1
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
                        objectName: picker.partName + "Entry" + index
                        width: picker.width - 2
                        height: 30
                        color: entryArea.containsMouse ? Qt.rgba(1, 1, 1, 0.6) : Qt.rgba(1, 1, 1, 0.4)
                        Text {
                            anchors.fill: parent
                            text: modelData
                            elide: Text.ElideRight
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
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
