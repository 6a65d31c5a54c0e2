import QtQuick
import QtQuick.Controls
import QtTest
import QtMultimedia
import Spoolsmith2024

// The camera pane on the real settings: its layers by camera and rotation,
// the session wiring, the tabs and the device chooser.
TestCase {
    id: testCase
    name: "CameraView"
    width: 800
    height: 600
    when: windowShown
    visible: true

    // Stands in for the task tab's camera object (RCamera, whose device list
    // is the system's): two sessions without devices, and a device list.
    Item {
        id: camera
        property var cameras: [
            { id: "pc-1", description: "PC Camera" },
            { id: "usb-1", description: "USB Camera" },
            { id: "4k-1", description: "USB 4K HD Camera" }
        ]
        property int updates: 0
        property CaptureSession currCS: config.showCamera !== 0 ? check_session : mark_session
        function update_camera() { ++updates }
        function idText(device) { return device.id }
    }
    CaptureSession {
        id: mark_session
        imageCapture: ImageCapture {}
        recorder: MediaRecorder {}
    }
    CaptureSession {
        id: check_session
        imageCapture: ImageCapture {}
        recorder: MediaRecorder {}
    }

    Component {
        id: paneComponent
        CameraView {
            width: 600
            height: 400
            cs: camera.currCS
        }
    }

    function init() {
        config.enableScanAndTrim = true
        config.showCamera = 0
        config.checkCameraRotation = 0
        config.usedQMLCamera = true
        camera.updates = 0
    }

    function cleanup() {
        spy.target = null
        config.showCamera = 0
        config.usedQMLCamera = true
        config.checkCameraRotation = 0
        compare(sim.takeWarnings(), [])
    }

    function watch(target, signalName) {
        spy.target = null
        spy.signalName = signalName
        spy.target = target
        spy.clear()
        return spy
    }

    function makePane(props) {
        const pane = createTemporaryObject(paneComponent, testCase, props || {})
        verify(pane)
        return pane
    }

    function item(pane, name) {
        const found = findChild(pane, name)
        verify(found, name)
        return found
    }

    // The geometry tables, on the real items with a 640 x 480 camera frame:
    // size, turn and zoom of the live picture, the frame picture, and the
    // lost-label overlay that must cover the picture shown.
    function test_layers_data() {
        return [
            { tag: "mark camera", show: 0, rot: 0, live: true, scale: 0.5,
              vw: 400, vh: 600, vrot: 90, zoom: 1, lost: false },
            { tag: "mark camera, rotation set", show: 0, rot: 90, live: true, scale: 0,
              vw: 400, vh: 600, vrot: 90, zoom: 1, lost: false },
            { tag: "check camera upright", show: 1, rot: 0, live: true, scale: 0,
              vw: 600, vh: 400, vrot: 0, zoom: 1, lost: true, lw: 400, lh: 533.333 },
            { tag: "check camera upright, zoomed", show: 1, rot: 0, live: true, scale: 0.5,
              vw: 600, vh: 400, vrot: 0, zoom: 1.5, lost: true, lw: 600, lh: 800 },
            { tag: "check camera turned", show: 1, rot: 90, live: true, scale: 0,
              vw: 400, vh: 600, vrot: -90, zoom: 1, lost: true, lw: 400, lh: 300 },
            { tag: "check camera turned, zoomed", show: 1, rot: 90, live: true, scale: 0.5,
              vw: 400, vh: 600, vrot: -90, zoom: 1.5, lost: true, lw: 600, lh: 450 },
            { tag: "frames upright", show: 1, rot: 0, live: false, scale: 0,
              fw: 450, fh: 400, lost: true },
            { tag: "frames turned", show: 1, rot: 90, live: false, scale: 0,
              fw: 400, fh: 450, lost: true }
        ]
    }

    function test_layers(data) {
        config.showCamera = data.show
        config.checkCameraRotation = data.rot
        config.usedQMLCamera = data.live
        const pane = makePane({ markScale: data.scale })
        const video = item(pane, "videoOutput")
        const frame = item(pane, "frameImage")
        const lost = item(pane, "lostLabelView")
        const check = data.show !== 0

        verify(Qt.colorEqual(pane.color, check ? Qt.rgba(0, 0, 0, 1) : "white"))
        compare(item(pane, "printPreview").visible, !check)
        compare(item(pane, "filmView").visible, !check)
        compare(item(pane, "legend").visible, check)
        compare(lost.visible, data.lost)
        compare(video.visible, data.live)
        compare(item(pane, "cameraChooser").visible, data.live)
        compare(frame.visible, !data.live)
        compare(item(pane, "fpsText").visible, !data.live)
        compare(item(pane, "videoToolBar").width, 40)
        compare(item(pane, "videoToolBar").height, 80)
        compare(lost.rotation, -90)

        if (data.live) {
            verify(sim.showVideoFrame(video, 640, 480))
            // The frame's aspect ratio shows in the content rectangle.
            tryVerify(() => video.contentRect.width < video.width - 1 || video.contentRect.height < video.height - 1, hangMs)
            compare(video.width, data.vw)
            compare(video.height, data.vh)
            compare(video.rotation, data.vrot)
            // Centred in the pane.
            compare(video.x + video.width / 2, pane.width / 2)
            compare(video.y + video.height / 2, pane.height / 2)
            const zoom = video.transform[0]
            compare(zoom.xScale, data.zoom)
            compare(zoom.yScale, data.zoom)
            if (check) {
                fuzzyCompare(zoom.origin.x, video.contentRect.x + video.contentRect.width / 2, 0.01)
                fuzzyCompare(zoom.origin.y, video.contentRect.y + video.contentRect.height / 2, 0.01)
                fuzzyCompare(lost.width, data.lw, 0.01)
                fuzzyCompare(lost.height, data.lh, 0.01)
            }
            // The film strip gets the content rectangle in whole pixels.
            const film = item(pane, "filmView")
            compare(film.videoOutputX, Math.trunc(video.contentRect.x))
            compare(film.videoOutputWidth, Math.trunc(video.contentRect.width))
            compare(film.videoOutputHeight, Math.trunc(video.contentRect.height))
        } else {
            compare(frame.width, data.fw)
            compare(frame.height, data.fh)
            compare(frame.rotation, data.rot)
            compare(lost.width, data.rot === 0 ? frame.paintedHeight : frame.paintedWidth)
            compare(lost.height, data.rot === 0 ? frame.paintedWidth : frame.paintedHeight)
        }
    }

    // A rotation setting arriving later (a check camera chosen) turns the
    // picture at once.
    function test_rotationFollowsTheSetting() {
        config.showCamera = 1
        const pane = makePane()
        const video = item(pane, "videoOutput")
        compare(video.rotation, 0)
        config.checkCameraRotation = 90
        compare(video.rotation, -90)
        compare(video.width, pane.height)
    }

    // Only the pane in view takes the session's video; a hidden pane takes
    // it back when it is shown again, and setCs wires at once.
    function test_wiring() {
        const first = makePane()
        compare(mark_session.videoOutput, item(first, "videoOutput"))
        compare(item(first, "videoToolBar").capture, mark_session.imageCapture)
        compare(item(first, "videoToolBar").recorder, mark_session.recorder)

        const second = makePane()
        compare(mark_session.videoOutput, item(second, "videoOutput"))
        first.setCs(mark_session)
        compare(mark_session.videoOutput, item(first, "videoOutput"))

        // A camera switch while the first pane is hidden: the pane in view
        // ends up with the new session, whatever the order of the changes.
        first.visible = false
        config.showCamera = 1
        compare(check_session.videoOutput, item(second, "videoOutput"))
        compare(item(second, "videoToolBar").recorder, check_session.recorder)
        first.visible = true
        compare(check_session.videoOutput, item(first, "videoOutput"))
        compare(item(first, "videoToolBar").capture, check_session.imageCapture)
    }

    // The tabs act on press, and not at all on the camera already shown.
    function test_tabs() {
        const pane = makePane()
        const tabs = item(pane, "cameraTabs")
        verify(tabs.visible)
        const check = item(pane, "cameraTab1")
        verify(Qt.colorEqual(check.color, Qt.rgba(0, 0, 0, 0.4)))
        verify(Qt.colorEqual(item(pane, "cameraTab0").color, Qt.rgba(0, 0, 0, 0.9)))
        const changes = watch(config, "showCameraChanged")
        mousePress(check, 10, 10)
        compare(config.showCamera, 1)
        mouseRelease(check, 10, 10)
        verify(Qt.colorEqual(check.color, Qt.rgba(0.9, 0.9, 0.9, 1)))
        mouseClick(check, 10, 10)
        compare(changes.count, 1)
        mouseClick(item(pane, "cameraTab0"), 10, 10)
        compare(config.showCamera, 0)

        config.enableScanAndTrim = false
        verify(!tabs.visible)
        compare(config.showCamera, 0)
    }

    // One spy a file, declared here: a spy made and destroyed within a case
    // would stay connected to its signal.
    SignalSpy {
        id: spy
    }

    // The chooser lists the devices; a choice writes the name before the id,
    // so "USB Camera" turns the live picture, and restarts the shown camera.
    function test_chooser() {
        config.showCamera = 1
        config.checkCamera = ""
        const pane = makePane()
        const box = item(pane, "cameraChooser")
        const list = item(pane, "cameraList")
        mousePress(box, 20, 10)
        tryVerify(() => list.opened, hangMs)
        mouseRelease(box, 20, 10)
        const usb = findChild(list.contentItem, "cameraRow1")
        verify(usb)
        // The row acts on press: the list is gone before the release.
        mousePress(usb, 10, 10)
        mouseRelease(pane, 10, 200)
        tryVerify(() => !list.visible, hangMs)
        compare(config.checkCamera, "usb-1")
        compare(config.checkCameraRotation, 90)
        compare(item(pane, "videoOutput").rotation, -90)
        compare(camera.updates, 1)

        // The same device again writes and restarts nothing.
        pane.chooseDevice(camera.cameras[1])
        compare(camera.updates, 1)
        pane.chooseDevice(camera.cameras[2])
        compare(config.checkCameraRotation, 0)
        compare(item(pane, "videoOutput").rotation, 0)
        compare(camera.updates, 2)

        // With the mark camera shown the choice goes to the mark camera.
        config.showCamera = 0
        const mark = config.markCamera
        pane.chooseDevice(camera.cameras[0])
        compare(config.markCamera, "pc-1")
        compare(config.checkCamera, "4k-1")
        compare(camera.updates, mark === "pc-1" ? 2 : 3)
    }

    // The legend explains the overlay's colours in tooltips.
    function test_legendTooltip() {
        config.showCamera = 1
        const pane = makePane({ toolTipDelay: 10 })
        const swatch = item(pane, "legendSwatch2")
        compare(swatch.width, 50)
        compare(swatch.height, 20)
        verify(Qt.colorEqual(swatch.color, Qt.rgba(1, 0, 0, 0.5)))
        mouseMove(swatch, 5, 5)
        tryVerify(() => swatch.ToolTip.toolTip.visible, hangMs)
        compare(swatch.ToolTip.text, qsTranslate("CameraView", "红色区域表示缺标"))
        mouseMove(pane, 300, 300)
    }
}
