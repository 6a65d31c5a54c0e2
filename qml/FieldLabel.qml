import QtQuick

// The label before a control in the file pages' side panels.
Text {
    height: 30
    horizontalAlignment: Text.AlignRight
    verticalAlignment: Text.AlignVCenter
    font.pointSize: 10
    color: Qt.rgba(0.1, 0.1, 0.1, 0.8)
    elide: Text.ElideRight
}
