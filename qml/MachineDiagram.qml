import QtQuick

// The frame of a machine diagram: the background picture fitted into the
// item, and over exactly its painted part the children of the version,
// placed in units of the drawing. `coef` is the number of pixels per unit.
Rectangle {
    id: diagram

    property url background
    // Width of the background drawing in its own units.
    property real referenceWidth: 580
    // Size at which the background is rendered; empty keeps its own size.
    property size backgroundSize: Qt.size(0, 0)
    readonly property real coef: img_dev.paintedWidth * img_dev.scale / referenceWidth
    readonly property alias paintedWidth: painted.width
    readonly property alias paintedHeight: painted.height

    default property alias parts: painted.data

    Image {
        id: img_dev
        objectName: "img_dev"
        anchors.fill: parent
        fillMode: Image.PreserveAspectFit
        smooth: true
        source: diagram.background
        sourceSize: diagram.backgroundSize
    }

    Item {
        id: painted
        objectName: "painted"
        anchors.centerIn: img_dev
        width: img_dev.paintedWidth
        height: img_dev.paintedHeight
    }
}
