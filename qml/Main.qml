import QtQuick
import QtQuick.Window

Window {
    id: root
    width: 1080
    height: 760
    visible: true
    title: qsTr("Spoolsmith 2024")

    Text {
        anchors.centerIn: parent
        text: "Spoolsmith " + app.version
        font.pixelSize: 24
    }
}
