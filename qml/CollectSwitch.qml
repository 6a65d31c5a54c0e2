import QtQuick

// Finishing mode at the machine's output: rewind (`trim` false) or trim
// (`trim` true). The knob covers the label of the half it stands on, so the
// visible label names the current mode. Acts on press.
Rectangle {
    id: control

    property bool trim: false

    radius: height / 2
    border.width: 1
    border.color: Qt.rgba(0.8, 0.8, 0.8, 1)

    Text {
        objectName: "rewindLabel"
        width: control.width / 2
        height: control.height
        text: qsTr("收卷")
        font.pointSize: 9
        elide: Text.ElideRight
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    Text {
        objectName: "trimLabel"
        x: control.width / 2
        width: control.width / 2
        height: control.height
        text: qsTr("裁断")
        font.pointSize: 9
        elide: Text.ElideRight
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    Rectangle {
        objectName: "knob"
        x: control.trim ? 0 : control.width / 2
        width: control.width / 2
        height: control.height
        radius: height / 2
        color: Qt.rgba(0.4, 0.4, 0.4, 1)
    }

    MouseArea {
        anchors.fill: parent
        onPressed: control.trim = !control.trim
    }
}
