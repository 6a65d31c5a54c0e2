import QtQuick
import QtQuick.Controls.Basic

// A path shown on a plain bordered face; a click opens the page's dialog.
Button {
    id: field

    height: 30
    font.pointSize: 9
    contentItem: Text {
        text: field.text
        font: field.font
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        // A long path keeps its start and its file name.
        elide: Text.ElideMiddle
    }
    background: Rectangle {
        color: "white"
        border.width: 1
        border.color: Qt.rgba(0.75, 0.75, 0.75, 1)
    }
}
