import QtQuick
import QtTest
import QtMultimedia
import Spoolsmith2024

// The capture and record bar: still names, the recording lamp and its
// target, the folder chosen by a long press.
TestCase {
    id: testCase
    name: "VideoToolBar"
    width: 400
    height: 300
    when: windowShown
    visible: true

    CaptureSession {
        id: session
        imageCapture: ImageCapture {}
        recorder: MediaRecorder {}
    }

    Component {
        id: barComponent
        VideoToolBar {
            width: 40
            height: 80
            capture: session.imageCapture
            recorder: session.recorder
        }
    }

    function init() {
        config.showCamera = 0
        config.usedQMLCamera = true
    }

    function cleanup() {
        config.usedQMLCamera = true
        compare(sim.takeWarnings(), [])
    }

    function makeBar() {
        const bar = createTemporaryObject(barComponent, testCase)
        verify(bar)
        return bar
    }

    function test_layout() {
        const bar = makeBar()
        compare(bar.folder, app.appPath())
        const still = findChild(bar, "captureButton")
        const record = findChild(bar, "recordButton")
        compare(still.height, 80 * 0.48)
        compare(record.y, 80 - 80 * 0.48)
        compare(still.radius, 4)
        verify(Qt.colorEqual(findChild(bar, "recordLamp").color, Qt.rgba(0, 1, 0, 1)))
        verify(record.visible)
        // Frames from the program's own loop cannot be recorded.
        config.usedQMLCamera = false
        verify(!record.visible)
    }

    // Two stills in one second keep both: the names carry milliseconds and,
    // within one millisecond, a count.
    function test_stillNamesDiffer() {
        const bar = makeBar()
        const names = []
        for (let i = 0; i < 5; ++i)
            names.push(bar.uniqueStamp())
        compare(new Set(names).size, 5)
        verify(/^\d{4}-\d\d-\d\d-\d\d-\d\d-\d\d-\d{3}(-\d+)?$/.test(names[0]), names[0])
        // The suffix names the format the capture writes, JPEG by default.
        compare(bar.stillSuffix(), ".jpg")
    }

    // A still of the program's own frame loop goes through app.saveFrame,
    // which adds ".jpg"; with no frame yet nothing is written and nothing
    // complains.
    function test_stillWithoutFrame() {
        config.usedQMLCamera = false
        const bar = makeBar()
        bar.folder = sim.programDir()
        mouseClick(findChild(bar, "captureButton"))
        wait(0)
    }

    // The record button names the recording in the folder; a recorder
    // without a camera does not start, and the lamp stays green.
    function test_recordTarget() {
        const bar = makeBar()
        bar.folder = sim.programDir()
        mouseClick(findChild(bar, "recordButton"))
        const target = String(session.recorder.outputLocation)
        verify(target.startsWith("file://" + (sim.programDir().startsWith("/") ? "" : "/") + sim.programDir() + "/"), target)
        verify(session.recorder.recorderState !== MediaRecorder.RecordingState)
        verify(Qt.colorEqual(findChild(bar, "recordLamp").color, Qt.rgba(0, 1, 0, 1)))
    }

    // A long press opens the folder dialog and takes no still; an accepted
    // folder becomes the bar's.
    function test_longPressChoosesFolder() {
        const bar = makeBar()
        const dialog = findChild(bar, "folderDialog")
        verify(dialog)
        const location = String(session.recorder.outputLocation)
        const still = findChild(bar, "captureButton")
        mousePress(still, 10, 10)
        tryVerify(() => dialog.visible, hangMs)
        mouseRelease(still, 10, 10)
        compare(String(session.recorder.outputLocation), location)
        compare(bar.lastStamp, "")
        dialog.selectedFolder = "file://" + sim.programDir()
        dialog.accepted()
        dialog.close()
        compare(bar.folder, sim.programDir())
    }
}
