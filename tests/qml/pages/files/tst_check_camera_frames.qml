import QtQuick
import QtTest
import Spoolsmith2024

// The check camera as an industrial camera (Aravis's fake one): its frames
// come through the program's own loop and the image provider, the pane
// shows them at once when the camera is chosen, and the capture bar's stills
// are the loop's frames.
TestCase {
    id: testCase
    name: "CheckCameraFrames"
    width: 800
    height: 600
    when: windowShown
    visible: true

    // The camera object's members the pane reads; its sessions get no
    // frames here.
    Item {
        id: camera
        property var cameras: []
        property var currCS: null
        function update_camera() {}
        function idText(device) { return device.id }
    }

    Component {
        id: paneComponent
        CameraView {
            width: 600
            height: 400
            cs: camera.currCS
        }
    }

    property string savedCheckCamera

    function initTestCase() {
        savedCheckCamera = config.checkCamera
        config.enableScanAndTrim = true
        config.checkCamera = ""
    }

    function cleanupTestCase() {
        sim.stopIndustrialCheckCamera()
        config.showCamera = 0
        config.checkCamera = savedCheckCamera
        config.usedQMLCamera = true
    }

    function cleanup() {
        compare(sim.takeWarnings(), [])
    }

    function item(pane, name) {
        const found = findChild(pane, name)
        verify(found, name)
        return found
    }

    // Shown before the camera is chosen: the pane turns to the frame
    // picture the moment the industrial camera becomes the check camera,
    // and the lost-label overlay covers the painted frame.
    function test_framesShownWhenChosen() {
        config.showCamera = 1
        config.usedQMLCamera = true
        const pane = createTemporaryObject(paneComponent, testCase)
        const frame = item(pane, "frameImage")
        verify(!frame.visible)
        verify(item(pane, "cameraChooser").visible)

        if (!sim.startIndustrialCheckCamera())
            skip("no industrial camera (Aravis's fake camera needs SPOOLSMITH_FAKE_CAMERA=1)")
        verify(!config.usedQMLCamera)
        verify(frame.visible)
        verify(!item(pane, "videoOutput").visible)
        verify(!item(pane, "cameraChooser").visible)

        tryVerify(() => app.framePath !== "" && frame.status === Image.Ready && frame.paintedWidth > 0, hangMs)
        const rotation = config.checkCameraRotation
        compare(frame.width, rotation === 0 ? pane.width - 150 : pane.height)
        const lost = item(pane, "lostLabelView")
        compare(lost.width, rotation === 0 ? frame.paintedHeight : frame.paintedWidth)
        compare(lost.height, rotation === 0 ? frame.paintedWidth : frame.paintedHeight)
        // Each frame comes under a new address, and the rate follows.
        const first = String(frame.source)
        tryVerify(() => String(frame.source) !== first, hangMs)
        tryVerify(() => app.fps > 0, hangMs)
        // The rate changes on the frame loop; the text follows once its
        // signal reaches this thread.
        tryVerify(() => item(pane, "fpsText").text === "fps: " + app.fps, hangMs)
    }

    // Stills of the loop's frames: each one kept, as "<time>.jpg".
    function test_stillsOfFrames() {
        if (config.usedQMLCamera)
            skip("no industrial camera")
        config.showCamera = 1
        const pane = createTemporaryObject(paneComponent, testCase)
        const bar = item(pane, "videoToolBar")
        const folder = sim.programDir()
        const before = sim.files(folder, "*.jpg")
        bar.folder = folder
        const button = item(pane, "captureButton")
        mouseClick(button)
        mouseClick(button)
        mouseClick(button)
        const stills = sim.files(folder, "*.jpg").filter(name => before.indexOf(name) < 0)
        compare(stills.length, 3)
        verify(stills.every(name => /^\d{4}(-\d\d){5}-\d{3}(-\d+)?\.jpg$/.test(name)), stills.join())
    }
}
