import QtQuick

// The web guide's two edge sensors, S6 and S7, as lamps: red while the
// sensor is on, black while it is off. The owner gives the height.
Row {
    spacing: 5

    component Label: Text {
        height: parent.height
        font.bold: true
        font.pointSize: 9
        verticalAlignment: Text.AlignVCenter
        color: Qt.rgba(0.4, 0.4, 0.4, 1)
    }
    component Lamp: Rectangle {
        property bool on: false
        anchors.verticalCenter: parent.verticalCenter
        width: parent.height / 2
        height: width
        radius: width / 2
        color: on ? Qt.rgba(1, 0, 0, 1) : Qt.rgba(0, 0, 0, 1)
    }

    Label {
        objectName: "sensor6Label"
        text: "S6"
    }
    Lamp {
        objectName: "sensor6Lamp"
        on: device.sensor6
    }
    Label {
        objectName: "sensor7Label"
        text: "S7"
    }
    Lamp {
        objectName: "sensor7Lamp"
        on: device.sensor7
    }
}
