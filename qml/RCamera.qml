import QtQuick
import QtMultimedia

// The program's camera object: the mark and check capture sessions, the
// choice of their cameras from the settings, and the capture hand-shake with
// the application core.
//
// A request carries a token whose last digit is the camera (1 mark, anything
// else check); the picture goes back with that same token, so a picture that
// comes after its request was given up never satisfies a newer one. Each
// session keeps at most one pending request, matched by the request id its
// image capture returned: stills the capture bar takes on the same session
// carry other ids and are never handed on.
Item {
    id: root
    visible: false

    property alias cameras: medias.videoInputs
    // Token of the newest request still waiting for its picture (0: none).
    property int captureID: 0
    property var currCS: config.showCamera !== 0 ? check_session : mark_session

    // The sessions' image captures as the hand-shake uses them; tests put
    // stand-ins here, since an image capture without a camera never answers.
    property QtObject markImageCapture: mark_capture
    property QtObject checkImageCapture: check_capture

    // Pending request per session: {token, requestId}, or null.
    property var markPending: null
    property var checkPending: null

    signal capture(var c)
    signal capturedMarkImage(int id, var c)
    signal capturedLabelImage(int id, var c)

    onCapture: (c) => request(c)

    // Camera ids are bytes; settings hold them as text.
    function idText(device) {
        const id = device.id
        if (typeof id === "string")
            return id
        const bytes = new Uint8Array(id)
        let text = ""
        for (let i = 0; i < bytes.length; ++i)
            text += String.fromCharCode(bytes[i])
        return text
    }

    function tokenCamera(token) {
        return token % 10
    }

    function refreshCaptureID() {
        captureID = checkPending ? checkPending.token : markPending ? markPending.token : 0
    }

    function request(c) {
        const token = Number(c)
        if (!Number.isInteger(token) || token <= 0) {
            console.warn("RCamera::capture", "not a camera request:", c)
            return
        }
        const mark = tokenCamera(token) === 1
        const imageCapture = mark ? markImageCapture : checkImageCapture
        // A plain camera number is the operator's picture (the pause click):
        // while a job waits on the session, the job's picture serves both and
        // the job keeps its answer.
        if (token < 10 && (mark ? markPending : checkPending)) {
            console.info("RCamera::capture", "picture", token, "joins the pending request",
                         (mark ? markPending : checkPending).token)
            return
        }
        // A new request of the job replaces the session's older one: that
        // one's waiter has given up, as requests of one camera come one at a
        // time.
        if (mark)
            markPending = null
        else
            checkPending = null
        if (!imageCapture || !imageCapture.readyForCapture) {
            console.warn("RCamera::capture", "camera not ready, request", token, "unanswered")
            refreshCaptureID()
            return
        }
        const requestId = imageCapture.capture()
        if (requestId < 0) {
            console.warn("RCamera::capture", "capture refused, request", token, "unanswered")
            refreshCaptureID()
            return
        }
        if (mark)
            markPending = { token: token, requestId: requestId }
        else
            checkPending = { token: token, requestId: requestId }
        refreshCaptureID()
    }

    function delivered(mark, requestId, preview) {
        const pending = mark ? markPending : checkPending
        if (!pending || pending.requestId !== requestId)
            return
        if (mark)
            markPending = null
        else
            checkPending = null
        refreshCaptureID()
        if (mark)
            capturedMarkImage(pending.token, preview)
        else
            capturedLabelImage(pending.token, preview)
    }

    function failed(mark, requestId, message) {
        const pending = mark ? markPending : checkPending
        if (!pending || pending.requestId !== requestId)
            return
        console.warn("RCamera::capture", "request", pending.token, "failed:", message)
        if (mark)
            markPending = null
        else
            checkPending = null
        refreshCaptureID()
    }

    Connections {
        target: root.markImageCapture
        ignoreUnknownSignals: true
        function onImageCaptured(requestId, preview) { root.delivered(true, requestId, preview) }
        function onErrorOccurred(requestId, error, message) { root.failed(true, requestId, message) }
    }

    Connections {
        target: root.checkImageCapture
        ignoreUnknownSignals: true
        function onImageCaptured(requestId, preview) { root.delivered(false, requestId, preview) }
        function onErrorOccurred(requestId, error, message) { root.failed(false, requestId, message) }
    }

    // How a device reaches a session's camera; tests observe it here, as no
    // camera is plugged in on a test machine.
    property var useDevice: function(cam, device) {
        cam.cameraDevice = device
        if (cam === root.checkCameraObject())
            root.checkInUse = true
        else
            root.markInUse = true
        cam.start()
    }
    property var stopCamera: function(cam) {
        cam.stop()
    }

    function markSessionObject() { return mark_session }
    function checkSessionObject() { return check_session }
    function markCameraObject() { return mark_camera }
    function checkCameraObject() { return root.checkCameraSource }

    // A session gets its camera only once a device has been given to it: a
    // camera without one streams a test pattern for nothing.
    property bool markInUse: false
    property bool checkInUse: false
    // The application core's check camera where the program provides it.
    readonly property QtObject checkCameraSource: typeof checkCamera !== "undefined" && checkCamera
                                                  ? checkCamera : own_check_camera

    // devices: the video inputs to choose from, the system's by default.
    function init_camera(devices) {
        const list = devices !== undefined ? devices : cameras
        for (let i = 0; i < list.length; ++i) {
            const device = list[i]
            const id = idText(device)
            if (config.markCamera === "" && device.description === "PC Camera")
                config.markCamera = id
            if (id === config.markCamera) {
                useDevice(markCameraObject(), device)
                continue
            }
            if (config.checkCamera === ""
                    && (device.description === "USB 4K HD Camera" || device.description === "USB Camera")) {
                // The name first: the check camera's rotation follows it.
                config.setCheckCameraName(device.description)
                config.checkCamera = id
            }
            if (id === config.checkCamera && config.enableScanAndTrim)
                useDevice(checkCameraObject(), device)
        }
    }

    function update_camera(devices) {
        const list = devices !== undefined ? devices : cameras
        for (let i = 0; i < list.length; ++i) {
            const device = list[i]
            const id = idText(device)
            if (config.showCamera !== 0) {
                if (id === config.checkCamera) {
                    if (config.enableScanAndTrim) {
                        stopCamera(checkCameraObject())
                        useDevice(checkCameraObject(), device)
                    }
                    return
                }
            } else if (id === config.markCamera) {
                stopCamera(markCameraObject())
                useDevice(markCameraObject(), device)
                return
            }
        }
    }

    MediaDevices {
        id: medias
        onVideoInputsChanged: root.init_camera(undefined)
    }

    Camera { id: mark_camera }

    CaptureSession {
        id: mark_session
        objectName: "markSession"
        camera: root.markInUse ? mark_camera : null
        imageCapture: ImageCapture { id: mark_capture }
        recorder: MediaRecorder { id: mark_recorder }
    }

    // Stands in for the application core's check camera where the program
    // provides none.
    Camera { id: own_check_camera }

    CaptureSession {
        id: check_session
        objectName: "checkSession"
        camera: root.checkInUse ? root.checkCameraSource : null
        imageCapture: ImageCapture { id: check_capture }
        recorder: MediaRecorder { id: check_recorder }
    }

    Component.onCompleted: init_camera(undefined)
}
