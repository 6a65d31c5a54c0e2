import QtQuick
import QtQuick.Dialogs
import QtMultimedia

// The capture and record bar of a camera pane: a still of the camera shown,
// a recording of it, and (long press on either) the folder they go to.
Rectangle {
    id: bar

    property string folder: app.appPath()
    property ImageCapture capture: null
    property MediaRecorder recorder: null

    // Two stills in one millisecond still get names of their own.
    property string lastStamp: ""
    property int stampCount: 0

    readonly property bool recording: recorder !== null && recorder.recorderState === MediaRecorder.RecordingState

    color: Qt.rgba(0, 0, 0, 0)

    function uniqueStamp() {
        const stamp = Qt.formatDateTime(new Date(), "yyyy-MM-dd-HH-mm-ss-zzz")
        if (stamp === lastStamp) {
            ++stampCount
            return stamp + "-" + stampCount
        }
        lastStamp = stamp
        stampCount = 0
        return stamp
    }

    function fileUrl(path) {
        return (path.startsWith("/") ? "file://" : "file:///") + path
    }

    // The capture writes its default format, JPEG, unless told another.
    function stillSuffix() {
        switch (capture ? capture.fileFormat : ImageCapture.UnspecifiedFormat) {
        case ImageCapture.PNG:
            return ".png"
        case ImageCapture.WebP:
            return ".webp"
        case ImageCapture.Tiff:
            return ".tiff"
        default:
            return ".jpg"
        }
    }

    function takeStill() {
        const name = folder + "/" + uniqueStamp()
        if (config.usedQMLCamera) {
            if (capture)
                capture.captureToFile(name + stillSuffix())
        } else {
            app.saveFrame(name)
        }
    }

    function toggleRecording() {
        if (!recorder)
            return
        if (recording) {
            recorder.stop()
            return
        }
        recorder.outputLocation = fileUrl(folder + "/" + uniqueStamp())
        recorder.record()
    }

    function chooseFolder() {
        folder_dialog.currentFolder = fileUrl(folder)
        folder_dialog.open()
    }

    Rectangle {
        id: btn_capture
        objectName: "captureButton"
        anchors.top: parent.top
        anchors.left: parent.left
        width: bar.width
        height: bar.height * 0.48
        radius: 4
        border.width: 1
        color: capture_area.pressed ? Qt.rgba(0.5, 0.5, 0.5, 0.5)
                                    : capture_area.containsMouse ? Qt.rgba(0.7, 0.7, 0.7, 0.7) : Qt.rgba(0.8, 0.8, 0.8, 0.5)

        Text {
            anchors.centerIn: parent
            text: "\uf030"
            font.family: "TavraFont"
            font.pointSize: 18
            color: Qt.rgba(0.8, 0.8, 0.8, 1)
        }
        MouseArea {
            id: capture_area
            anchors.fill: parent
            hoverEnabled: true
            onClicked: bar.takeStill()
            onPressAndHold: bar.chooseFolder()
        }
    }

    Rectangle {
        id: btn_record
        objectName: "recordButton"
        visible: config.usedQMLCamera
        anchors.bottom: parent.bottom
        anchors.left: parent.left
        width: bar.width
        height: bar.height * 0.48
        radius: 4
        border.width: 1
        color: record_area.pressed ? Qt.rgba(0.5, 0.5, 0.5, 0.5)
                                   : record_area.containsMouse ? Qt.rgba(0.7, 0.7, 0.7, 0.7) : Qt.rgba(0.8, 0.8, 0.8, 0.5)

        Rectangle {
            objectName: "recordLamp"
            anchors.centerIn: parent
            width: 16
            height: 16
            radius: 8
            color: bar.recording ? Qt.rgba(1, 0, 0, 1) : Qt.rgba(0, 1, 0, 1)
        }
        MouseArea {
            id: record_area
            anchors.fill: parent
            hoverEnabled: true
            onClicked: bar.toggleRecording()
            onPressAndHold: bar.chooseFolder()
        }
    }

    FolderDialog {
        id: folder_dialog
        objectName: "folderDialog"
        currentFolder: bar.fileUrl(bar.folder)
        selectedFolder: bar.fileUrl(bar.folder)
        onAccepted: bar.folder = app.toLocalPath(selectedFolder)
    }
}
