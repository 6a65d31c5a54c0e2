import QtQuick
import QtQuick.Controls
import QtMultimedia
import FilmView 1.0
import LostLabelView 1.0

// The camera pane: the live picture of the camera config.showCamera selects,
// with that camera's overlay, the camera tabs, the device chooser and the
// capture bar. The embedding page binds cs to camera.currCS.
Rectangle {
    id: pane

    property CaptureSession cs: null
    property bool showFilmHistory: false
    property real markScale: 0
    property int lineWidth: 50
    property int toolTipDelay: 500
    property int toolTipTimeOut: 5000

    readonly property bool checkShown: config.showCamera !== 0
    readonly property int rotationSetting: config.checkCameraRotation
    readonly property real zoom: 1 + markScale

    function setCs(c) {
        wire(c)
    }

    // A session feeds one video output at a time: a hidden pane leaves it to
    // the pane in view and takes it back when it is shown again.
    function wire(c) {
        if (!c)
            return
        c.videoOutput = video_output
        toolbar.capture = c.imageCapture
        toolbar.recorder = c.recorder
    }

    // The page is leaving: its video output leaves the window while the
    // session still feeds it. Qt 6.4 gives an output a new renderer when it
    // leaves its window and starts that renderer whatever its pipeline does;
    // only inside the session's pipeline is it brought back to NULL with
    // the rest, so GStreamer never disposes it running.
    function release() {
        video_output.parent = null
    }

    onCsChanged: {
        if (visible)
            wire(cs)
    }
    onVisibleChanged: {
        if (visible && cs)
            wire(cs)
    }
    Component.onCompleted: {
        if (cs)
            wire(cs)
    }

    color: checkShown ? Qt.rgba(0, 0, 0, 1) : "white"
    clip: true

    Image {
        id: print_preview
        objectName: "printPreview"
        anchors.fill: parent
        visible: !pane.checkShown
        source: app.printImgPath
        fillMode: Image.PreserveAspectFit
        sourceSize.width: width
        sourceSize.height: height
        asynchronous: false
        cache: false
    }

    VideoOutput {
        id: video_output
        objectName: "videoOutput"
        visible: config.usedQMLCamera
        width: pane.checkShown && pane.rotationSetting === 0 ? pane.width : pane.height
        height: pane.checkShown && pane.rotationSetting === 0 ? pane.height : pane.width
        anchors.centerIn: parent
        rotation: pane.checkShown ? -pane.rotationSetting : 90
        fillMode: VideoOutput.PreserveAspectFit
        transform: Scale {
            objectName: "videoZoom"
            origin.x: pane.checkShown ? video_output.contentRect.x + video_output.contentRect.width / 2 : 0
            origin.y: pane.checkShown ? video_output.contentRect.y + video_output.contentRect.height / 2 : 0
            xScale: pane.checkShown ? pane.zoom : 1
            yScale: pane.checkShown ? pane.zoom : 1
        }
    }

    FilmView {
        id: film_view
        objectName: "filmView"
        anchors.fill: parent
        visible: !pane.checkShown
        showHistory: pane.showFilmHistory
        videoOutputX: Math.trunc(video_output.contentRect.x)
        videoOutputY: Math.trunc(video_output.contentRect.y)
        videoOutputWidth: Math.trunc(video_output.contentRect.width)
        videoOutputHeight: Math.trunc(video_output.contentRect.height)
    }

    Image {
        id: frame_image
        objectName: "frameImage"
        visible: !config.usedQMLCamera
        width: pane.rotationSetting === 0 ? pane.width - 150 : pane.height
        height: pane.rotationSetting === 0 ? pane.height : pane.width - 150
        anchors.centerIn: parent
        rotation: pane.rotationSetting
        source: visible ? app.framePath : ""
        fillMode: Image.PreserveAspectFit
        sourceSize.width: width
        sourceSize.height: height
        asynchronous: false
        cache: false
    }

    Text {
        id: fps_text
        objectName: "fpsText"
        visible: !config.usedQMLCamera
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.topMargin: 20
        anchors.rightMargin: 20
        text: "fps: " + app.fps
        color: "white"
        font.pointSize: 12
    }

    LostLabelView {
        id: lost_view
        objectName: "lostLabelView"
        visible: pane.checkShown
        anchors.centerIn: parent
        rotation: -90
        imageW: app.imageWidth
        imageH: app.imageHeight
        width: config.usedQMLCamera
               ? (pane.rotationSetting === 0 ? video_output.contentRect.height * pane.zoom
                                             : video_output.contentRect.width * pane.zoom)
               : (pane.rotationSetting === 0 ? frame_image.paintedHeight : frame_image.paintedWidth)
        height: config.usedQMLCamera
                ? (pane.rotationSetting === 0 ? video_output.contentRect.width * pane.zoom
                                              : video_output.contentRect.height * pane.zoom)
                : (pane.rotationSetting === 0 ? frame_image.paintedWidth : frame_image.paintedHeight)
    }

    Column {
        id: legend
        objectName: "legend"
        visible: pane.checkShown
        x: 20
        y: 50
        spacing: 10

        Repeater {
            id: legend_entries
            model: [
                { h: 10, line: "blue", fill: "transparent", border: "transparent", tip: qsTr("蓝线表示纸张边界") },
                { h: 10, line: "red", fill: "transparent", border: "transparent", tip: qsTr("红线表示裁断线") },
                { h: 20, line: "", fill: Qt.rgba(1, 0, 0, 0.5), border: "transparent", tip: qsTr("红色区域表示缺标") },
                { h: 20, line: "", fill: "transparent", border: Qt.rgba(0, 1, 0, 1), tip: qsTr("绿色表示文字识别") },
                { h: 20, line: "", fill: "transparent", border: Qt.rgba(0.5, 0, 0.5, 1), tip: qsTr("紫色表示条形码识别") },
                { h: 20, line: "", fill: "transparent", border: Qt.rgba(1, 0.65, 0, 1), tip: qsTr("橙色表示二维码识别") }
            ]
            Rectangle {
                objectName: "legendSwatch" + index
                width: pane.lineWidth
                height: modelData.h
                color: modelData.fill
                border.width: modelData.line === "" ? 1 : 0
                border.color: modelData.border

                Rectangle {
                    visible: modelData.line !== ""
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width
                    height: 2
                    color: modelData.line === "" ? "transparent" : modelData.line
                }

                HoverHandler {
                    id: swatch_hover
                }
                ToolTip.text: modelData.tip
                ToolTip.delay: pane.toolTipDelay
                ToolTip.timeout: pane.toolTipTimeOut
                ToolTip.visible: swatch_hover.hovered
            }
        }
    }

    VideoToolBar {
        id: toolbar
        objectName: "videoToolBar"
        width: 40
        height: 80
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.rightMargin: 3
        anchors.bottomMargin: 3
    }

    Row {
        id: camera_tabs
        objectName: "cameraTabs"
        visible: config.enableScanAndTrim
        x: 10
        y: 5

        Repeater {
            model: [qsTr("巡边"), qsTr("检测")]
            Rectangle {
                id: tab
                objectName: "cameraTab" + index
                readonly property bool current: config.showCamera === index
                width: 50
                height: 30
                color: pane.checkShown
                       ? (current ? Qt.rgba(0.9, 0.9, 0.9, 1) : tab_area.containsMouse ? Qt.rgba(1, 1, 1, 0.6) : Qt.rgba(1, 1, 1, 0.4))
                       : (current ? Qt.rgba(0, 0, 0, 0.9) : tab_area.containsMouse ? Qt.rgba(0, 0, 0, 0.6) : Qt.rgba(0, 0, 0, 0.4))

                Text {
                    anchors.fill: parent
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    elide: Text.ElideRight
                    text: modelData
                    color: pane.checkShown ? Qt.rgba(0, 0, 0, 1) : Qt.rgba(1, 1, 1, 1)
                }
                MouseArea {
                    id: tab_area
                    anchors.fill: parent
                    hoverEnabled: true
                    onPressed: {
                        if (config.showCamera !== index)
                            config.showCamera = index
                    }
                }
            }
        }
    }

    Rectangle {
        id: chooser
        objectName: "cameraChooser"
        visible: config.usedQMLCamera
        width: 150
        height: 30
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.topMargin: 3
        anchors.rightMargin: 3
        color: Qt.rgba(0.5, 0.5, 0.5, 0.3)

        Text {
            objectName: "cameraName"
            anchors.fill: parent
            anchors.leftMargin: 4
            anchors.rightMargin: 4
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
            text: pane.cs && pane.cs.camera ? pane.cs.camera.cameraDevice.description : ""
            color: pane.checkShown ? Qt.rgba(1, 1, 1, 1) : Qt.rgba(0, 0, 0, 1)
        }
        MouseArea {
            anchors.fill: parent
            onPressed: {
                if (device_list.visible)
                    device_list.close()
                else
                    device_list.open()
            }
        }

        Popup {
            id: device_list
            objectName: "cameraList"
            y: chooser.height
            width: chooser.width
            padding: 0
            modal: false
            focus: true
            closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutsideParent
            background: Rectangle {
                color: Qt.rgba(0.5, 0.5, 0.5, 1)
            }
            contentItem: Column {
                Repeater {
                    model: typeof camera !== "undefined" && camera ? camera.cameras : []
                    Rectangle {
                        objectName: "cameraRow" + index
                        width: device_list.width
                        height: 30
                        color: row_area.containsMouse ? Qt.rgba(1, 1, 1, 0.6) : Qt.rgba(1, 1, 1, 0.4)

                        Text {
                            anchors.fill: parent
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                            elide: Text.ElideRight
                            text: modelData.description
                        }
                        MouseArea {
                            id: row_area
                            anchors.fill: parent
                            hoverEnabled: true
                            onPressed: pane.chooseDevice(modelData)
                        }
                    }
                }
            }
        }
    }

    function chooseDevice(dev) {
        device_list.close()
        // Ids reach QML as bytes; the camera object reads them as text.
        const id = camera.idText(dev)
        if (config.showCamera !== 0) {
            if (config.checkCamera !== id) {
                // The name first: the id's write sets the rotation from it.
                config.setCheckCameraName(dev.description)
                config.checkCamera = id
                camera.update_camera()
            }
        } else if (config.markCamera !== id) {
            config.markCamera = id
            camera.update_camera()
        }
    }
}
