import QtQuick
import QtTest
import Spoolsmith2024

// The camera object's side of the capture hand-shake, with stand-ins for the
// sessions' image captures (one without a camera never answers), and its
// choice of cameras from the settings.
TestCase {
    id: testCase
    name: "RCamera"

    Component {
        id: cameraComponent
        RCamera {}
    }

    // Answers like an image capture: capture() gives a request id, the
    // picture comes later through imageCaptured.
    Component {
        id: captureStandIn
        QtObject {
            property bool readyForCapture: true
            property bool refuse: false
            property int nextId: 1
            property var asked: []
            signal imageCaptured(int requestId, var preview)
            signal errorOccurred(int requestId, int error, string errorString)
            function capture() {
                if (refuse)
                    return -1
                const id = nextId++
                asked.push(id)
                return id
            }
        }
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    property var saved: ({})

    function initTestCase() {
        saved = { mark: config.markCamera, check: config.checkCamera, rotation: config.checkCameraRotation,
                  show: config.showCamera, scan: config.enableScanAndTrim }
    }

    function cleanup() {
        config.markCamera = saved.mark
        config.checkCamera = saved.check
        config.checkCameraRotation = saved.rotation
        config.showCamera = saved.show
        config.enableScanAndTrim = saved.scan
        compare(sim.takeWarnings(), [])
    }

    function picture(color) {
        // Any value stands for the picture: it is handed on as delivered.
        return { picture: color }
    }

    function makeCamera() {
        const camera = createTemporaryObject(cameraComponent, testCase)
        verify(camera)
        const mark = createTemporaryObject(captureStandIn, testCase)
        const check = createTemporaryObject(captureStandIn, testCase)
        camera.markImageCapture = mark
        camera.checkImageCapture = check
        const markSpy = createTemporaryObject(spyComponent, testCase,
                                              { target: camera, signalName: "capturedMarkImage" })
        const labelSpy = createTemporaryObject(spyComponent, testCase,
                                               { target: camera, signalName: "capturedLabelImage" })
        return { camera: camera, mark: mark, check: check, markSpy: markSpy, labelSpy: labelSpy }
    }

    function test_requestAnsweredOnlyByItsOwnPicture() {
        const t = makeCamera()
        t.camera.capture(31)
        compare(t.mark.asked, [1])
        compare(t.check.asked, [])
        compare(t.camera.captureID, 31)
        // A still the capture bar took on the same session is not the answer.
        t.mark.imageCaptured(7, picture("still"))
        compare(t.markSpy.count, 0)
        compare(t.camera.captureID, 31)
        const own = picture("mark")
        t.mark.imageCaptured(1, own)
        compare(t.markSpy.count, 1)
        compare(t.markSpy.signalArguments[0][0], 31)
        compare(t.markSpy.signalArguments[0][1].picture, "mark")
        compare(t.camera.captureID, 0)
        // The same picture again, or a late one, answers nothing more.
        t.mark.imageCaptured(1, own)
        compare(t.markSpy.count, 1)
        compare(t.labelSpy.count, 0)
    }

    function test_sessionChosenByTheTokensLastDigit_data() {
        return [
            { tag: "mark", token: 41, markAsked: 1, checkAsked: 0 },
            { tag: "check", token: 42, markAsked: 0, checkAsked: 1 },
            { tag: "other camera to check", token: 43, markAsked: 0, checkAsked: 1 },
            { tag: "plain 1 from the pause click", token: 1, markAsked: 1, checkAsked: 0 },
            { tag: "plain 2 from the pause click", token: 2, markAsked: 0, checkAsked: 1 },
        ]
    }

    function test_sessionChosenByTheTokensLastDigit(data) {
        const t = makeCamera()
        t.camera.capture(data.token)
        compare(t.mark.asked.length, data.markAsked)
        compare(t.check.asked.length, data.checkAsked)
        const source = data.markAsked ? t.mark : t.check
        source.imageCaptured(1, picture("p"))
        const spy = data.markAsked ? t.markSpy : t.labelSpy
        const other = data.markAsked ? t.labelSpy : t.markSpy
        compare(spy.count, 1)
        compare(spy.signalArguments[0][0], data.token)
        compare(other.count, 0)
    }

    // Mark captures of the task thread and check captures of the collect
    // thread run side by side: neither takes the other's answer.
    function test_twoSessionsPendingAtOnce() {
        const t = makeCamera()
        t.camera.capture(51)
        t.camera.capture(62)
        t.check.imageCaptured(1, picture("label"))
        compare(t.labelSpy.count, 1)
        compare(t.labelSpy.signalArguments[0][0], 62)
        compare(t.markSpy.count, 0)
        compare(t.camera.captureID, 51)
        t.mark.imageCaptured(1, picture("mark"))
        compare(t.markSpy.count, 1)
        compare(t.markSpy.signalArguments[0][0], 51)
        compare(t.labelSpy.count, 1)
        compare(t.camera.captureID, 0)
    }

    // A newer request of the same camera replaces the one given up: the old
    // picture arriving late answers nobody.
    function test_newerRequestReplacesTheOlder() {
        const t = makeCamera()
        t.camera.capture(11)
        t.camera.capture(21)
        compare(t.mark.asked, [1, 2])
        t.mark.imageCaptured(1, picture("late"))
        compare(t.markSpy.count, 0)
        t.mark.imageCaptured(2, picture("new"))
        compare(t.markSpy.count, 1)
        compare(t.markSpy.signalArguments[0][0], 21)
    }

    // The pause click's picture does not take a waiting job's answer away.
    function test_operatorPictureJoinsAWaitingJob() {
        const t = makeCamera()
        t.camera.capture(91)
        t.camera.capture(1)
        compare(t.mark.asked, [1])
        t.mark.imageCaptured(1, picture("mark"))
        compare(t.markSpy.count, 1)
        compare(t.markSpy.signalArguments[0][0], 91)
        // With nothing waiting it is a request of its own.
        t.camera.capture(1)
        compare(t.mark.asked, [1, 2])
        t.mark.imageCaptured(2, picture("mark"))
        compare(t.markSpy.signalArguments[1][0], 1)
    }

    function test_nothingPendingWithoutAnswer_data() {
        return [
            { tag: "camera not ready", ready: true, refuse: false, fail: true },
            { tag: "capture refused", ready: true, refuse: true, fail: false },
            { tag: "no camera", ready: false, refuse: false, fail: false },
        ]
    }

    function test_nothingPendingWithoutAnswer(data) {
        const t = makeCamera()
        t.mark.readyForCapture = data.ready
        if (data.refuse)
            t.mark.refuse = true
        t.camera.capture(71)
        if (data.fail) {
            compare(t.camera.captureID, 71)
            t.mark.errorOccurred(1, 1, "device lost")
        }
        compare(t.camera.captureID, 0)
        compare(t.camera.markPending, null)
        // The next picture of the session is no answer to the lost request.
        t.mark.imageCaptured(1, picture("stray"))
        compare(t.markSpy.count, 0)
    }

    // The real image capture of a session without a camera: nothing is left
    // waiting for a picture that will never come.
    function test_realCaptureWithoutCameraLeavesNothingPending() {
        const camera = createTemporaryObject(cameraComponent, testCase)
        verify(!camera.markImageCapture.readyForCapture)
        camera.capture(11)
        camera.capture(12)
        compare(camera.captureID, 0)
        compare(camera.markPending, null)
        compare(camera.checkPending, null)
    }

    // Without a device a session holds no camera, which would stream a test
    // pattern for nothing.
    function test_sessionsIdleWithoutDevice() {
        const camera = createTemporaryObject(cameraComponent, testCase)
        compare(camera.cameras.length, 0)
        compare(camera.markSessionObject().camera, null)
        compare(camera.checkSessionObject().camera, null)
        verify(camera.markCameraObject() !== null)
        verify(camera.checkCameraObject() !== null)
    }

    function test_badRequestsIgnored() {
        const t = makeCamera()
        t.camera.capture(0)
        t.camera.capture(-2)
        t.camera.capture("x")
        compare(t.mark.asked, [])
        compare(t.check.asked, [])
        compare(t.camera.captureID, 0)
    }

    function devices() {
        return [
            { id: "video-a", description: "Integrated Webcam" },
            { id: "video-b", description: "PC Camera" },
            { id: "video-c", description: "USB Camera" },
            { id: "video-d", description: "USB 4K HD Camera" },
        ]
    }

    function recordUses(camera) {
        const uses = []
        camera.useDevice = function(cam, device) {
            uses.push((cam === camera.markCameraObject() ? "mark:" : "check:") + device.id)
        }
        camera.stopCamera = function(cam) {
            uses.push(cam === camera.markCameraObject() ? "stop mark" : "stop check")
        }
        return uses
    }

    function test_defaultsChosenByDescription() {
        const camera = createTemporaryObject(cameraComponent, testCase)
        const uses = recordUses(camera)
        config.markCamera = ""
        config.checkCamera = ""
        config.setCheckCameraName("")
        config.checkCameraRotation = 0
        config.enableScanAndTrim = true
        const rotations = []
        const watch = function() { rotations.push(config.checkCameraRotation) }
        config.checkCameraChanged.connect(watch)
        camera.init_camera(devices())
        config.checkCameraChanged.disconnect(watch)
        compare(config.markCamera, "video-b")
        compare(config.checkCamera, "video-c")
        // The name was stored before the id, so the rotation followed it.
        compare(rotations, [90])
        compare(uses, ["mark:video-b", "check:video-c"])
    }

    function test_checkSessionOnlyWithTheLabelCheck() {
        const camera = createTemporaryObject(cameraComponent, testCase)
        const uses = recordUses(camera)
        config.markCamera = "video-a"
        config.checkCamera = "video-d"
        config.enableScanAndTrim = false
        camera.init_camera(devices())
        compare(uses, ["mark:video-a"])
        compare(config.markCamera, "video-a")
        compare(config.checkCamera, "video-d")
    }

    function test_namedCameraNotPluggedIn() {
        const camera = createTemporaryObject(cameraComponent, testCase)
        const uses = recordUses(camera)
        config.markCamera = "video-x"
        config.checkCamera = "video-y"
        config.enableScanAndTrim = true
        camera.init_camera(devices())
        compare(uses, [])
        // Plugged in later: taken up by the next pass.
        camera.init_camera(devices().concat([{ id: "video-x", description: "Other" }]))
        compare(uses, ["mark:video-x"])
    }

    function test_updateRestartsOnlyTheShownCamera_data() {
        return [
            { tag: "mark shown", show: 0, scan: true, uses: ["stop mark", "mark:video-c"] },
            { tag: "check shown", show: 1, scan: true, uses: ["stop check", "check:video-a"] },
            { tag: "check shown, label check off", show: 1, scan: false, uses: [] },
        ]
    }

    function test_updateRestartsOnlyTheShownCamera(data) {
        const camera = createTemporaryObject(cameraComponent, testCase)
        const uses = recordUses(camera)
        config.markCamera = "video-c"
        config.checkCamera = "video-a"
        config.enableScanAndTrim = data.scan
        config.showCamera = data.show
        camera.update_camera(devices())
        compare(uses, data.uses)
        compare(camera.currCS, data.show ? camera.checkSessionObject() : camera.markSessionObject())
    }
}
