import QtQuick
import QtQuick.Controls
import QtTest
import Spoolsmith2024

// The task tab's header, page stack and popups against the real objects.
TestCase {
    id: testCase
    name: "TaskStackPage"
    when: windowShown
    visible: true
    width: 1080
    height: 720

    Component {
        id: tabComponent
        TaskStackPage { width: testCase.width; height: testCase.height }
    }

    // A page with a native view, as the cut-file page has.
    Component {
        id: nativePage
        Item {
            property var shown: []
            function showWindow(on) { shown.push(on) }
        }
    }

    Component {
        id: captureStandIn
        QtObject {
            property bool readyForCapture: true
            property int asked: 0
            signal imageCaptured(int requestId, var preview)
            signal errorOccurred(int requestId, int error, string errorString)
            function capture() { return ++asked }
        }
    }

    property int savedShow: 0
    property bool savedPrint: true

    function initTestCase() {
        savedShow = config.showCamera
        savedPrint = config.enablePrint
    }

    function init() {
        testCase.Window.window.requestActivate()
        tryVerify(() => testCase.Window.active, hangMs)
    }

    function cleanup() {
        app.taskStatus = 2
        config.showCamera = savedShow
        config.enablePrint = savedPrint
        device.errorMessage = ""
        compare(sim.takeWarnings(), [])
    }

    function findIn(item, name) {
        if (!item)
            return null
        if (item.objectName === name)
            return item
        const kids = item.children !== undefined ? item.children : []
        for (let i = 0; i < kids.length; ++i) {
            const found = findIn(kids[i], name)
            if (found)
                return found
        }
        return null
    }

    function makeTab() {
        device.errorMessage = ""
        const tab = createTemporaryObject(tabComponent, testCase)
        verify(tab)
        waitForRendering(tab)
        return tab
    }

    function glyphOf(button) {
        return button.children[0]
    }

    function test_playButtonFollowsStatus_data() {
        return [
            { tag: "stopped", status: 2, glyph: "\uf04b", color: Qt.rgba(0, 0.85, 0, 1) },
            { tag: "paused", status: 0, glyph: "\uf144", color: Qt.rgba(0.1, 0.8, 0.1, 1) },
            { tag: "running", status: 1, glyph: "\uf04c", color: Qt.rgba(0.8, 0.8, 0, 1) },
            { tag: "other", status: 7, glyph: "\uf04b", color: Qt.rgba(0, 0, 0, 1) },
        ]
    }

    function test_playButtonFollowsStatus(data) {
        const tab = makeTab()
        const glyph = glyphOf(findIn(tab, "playButton"))
        app.taskStatus = data.status
        compare(glyph.text, data.glyph)
        verify(Math.abs(glyph.color.r - data.color.r) < 0.01 && Math.abs(glyph.color.g - data.color.g) < 0.01
               && Math.abs(glyph.color.b - data.color.b) < 0.01, String(glyph.color))
        compare(glyph.font.pointSize, 22)
        app.taskStatus = 2
        compare(glyph.text, "\uf04b")
    }

    // Stopped: the play button only opens the start popup.
    function test_playWhileStoppedOpensTheStartPopup() {
        const tab = makeTab()
        mouseClick(findIn(tab, "playButton"))
        tryCompare(tab.startPopup, "opened", true, hangMs)
        compare(app.taskStatus, 2)
        keyClick(Qt.Key_Escape)
        tryCompare(tab.startPopup, "visible", false, hangMs)
    }

    // Running: the pause is asked first, then one picture of the shown camera.
    function test_pauseAsksForThePictureOfTheShownCamera_data() {
        return [{ tag: "mark shown", show: 0, mark: 1, check: 0 },
                { tag: "check shown", show: 1, mark: 0, check: 1 }]
    }

    function test_pauseAsksForThePictureOfTheShownCamera(data) {
        const tab = makeTab()
        const mark = createTemporaryObject(captureStandIn, testCase)
        const check = createTemporaryObject(captureStandIn, testCase)
        tab.camera.markImageCapture = mark
        tab.camera.checkImageCapture = check
        config.showCamera = data.show
        app.taskStatus = 1
        mouseClick(findIn(tab, "playButton"))
        compare(mark.asked, data.mark)
        compare(check.asked, data.check)
        compare(tab.camera.captureID, data.show + 1)
        // The pause itself ends on a thread of its own.
        tryCompare(app, "taskStatus", 0, hangMs)
        device.errorMessage = ""
    }

    function test_backButtonAndStack() {
        const tab = makeTab()
        const back = findIn(tab, "backButton")
        const stack = tab.stackView
        compare(stack.depth, 1)
        verify(!back.visible)
        const overview = stack.currentItem
        overview.submit("nothing", 0)
        compare(stack.depth, 1)
        overview.submit("print_file", 0)
        tryCompare(stack, "busy", false, hangMs)
        compare(stack.depth, 2)
        verify(back.visible)
        const first = stack.currentItem
        mouseClick(back)
        tryCompare(stack, "busy", false, hangMs)
        compare(stack.depth, 1)
        compare(stack.currentItem, overview)
        verify(!back.visible)
        // Every visit makes a new page.
        overview.submit("print_file", 0)
        tryCompare(stack, "busy", false, hangMs)
        verify(stack.currentItem !== first)
        mouseClick(back)
        tryCompare(stack, "busy", false, hangMs)
    }

    function test_pagesByName_data() {
        return [{ tag: "cut_file", type: "CutFilePage" }, { tag: "print_file", type: "PrintFilePage" },
                { tag: "video", type: "VideoPage" }, { tag: "device", type: "DevicePage" }]
    }

    function test_pagesByName(data) {
        const tab = makeTab()
        verify(String(tab.stackView.currentItem).startsWith("TaskPage"), String(tab.stackView.currentItem))
        tab.stackView.currentItem.submit(data.tag, undefined)
        tryCompare(tab.stackView, "busy", false, hangMs)
        compare(tab.stackView.depth, 2)
        verify(String(tab.stackView.currentItem).startsWith(data.type), String(tab.stackView.currentItem))
        mouseClick(findIn(tab, "backButton"))
        tryCompare(tab.stackView, "busy", false, hangMs)
        compare(tab.stackView.depth, 1)
    }

    function test_errorPopup() {
        const tab = makeTab()
        const popup = tab.errorPopup
        device.errorMessage = ""
        compare(popup.visible, false)
        device.errorMessage = "纸张不足"
        tryCompare(popup, "opened", true, hangMs)
        compare(popup.text, "纸张不足")
        // A second text while open shows in the same popup.
        device.errorMessage = "请稍后重试 \n"
        compare(popup.text, "请稍后重试 \n")
        verify(popup.visible)
        mousePress(findIn(popup.contentItem, "closeButton"), 5, 5)
        tryCompare(popup, "visible", false, hangMs)
        compare(device.errorMessage, "")
        // The same text again opens it again; Escape clears it too.
        device.errorMessage = "请稍后重试 \n"
        tryCompare(popup, "opened", true, hangMs)
        keyClick(Qt.Key_Escape)
        tryCompare(popup, "visible", false, hangMs)
        compare(device.errorMessage, "")
        device.errorMessage = "请稍后重试 \n"
        tryCompare(popup, "opened", true, hangMs)
        device.errorMessage = ""
        verify(popup.visible)
        popup.close()
        tryCompare(popup, "visible", false, hangMs)
    }

    // Popups and drop-downs over a native view hide it while they are open.
    function test_nativeViewHiddenUnderPopups() {
        const tab = makeTab()
        const stack = tab.stackView
        const page = stack.push(nativePage)
        tryCompare(stack, "busy", false, hangMs)
        page.shown = []
        tab.startPopup.open()
        tryCompare(tab.startPopup, "opened", true, hangMs)
        compare(page.shown, [false])
        device.errorMessage = "纸张不足"
        tryCompare(tab.errorPopup, "opened", true, hangMs)
        tab.startPopup.close()
        tryCompare(tab.startPopup, "visible", false, hangMs)
        // The error popup is still open: the view stays hidden.
        compare(page.shown[page.shown.length - 1], false)
        tab.errorPopup.close()
        tryCompare(tab.errorPopup, "visible", false, hangMs)
        compare(page.shown[page.shown.length - 1], true)
        page.shown = []
        mouseClick(findIn(tab, "cutCopiesButton"))
        tryVerify(() => page.shown.length === 1, hangMs)
        compare(page.shown, [false])
        keyClick(Qt.Key_Escape)
        tryVerify(() => page.shown.length === 2, hangMs)
        compare(page.shown, [false, true])
    }

    function test_fileDialogFromTheLabels() {
        const tab = makeTab()
        const dialog = tab.fileDialog
        mouseDoubleClickSequence(findIn(tab, "cutCopiesLabel"))
        tryCompare(dialog, "visible", true, hangMs)
        compare(dialog.title, qsTr("选择切割文件"))
        compare(dialog.nameFilters, [qsTr("切割文件 (*.plt *.tva)")])
        dialog.reject()
        tryCompare(dialog, "visible", false, hangMs)
        config.enablePrint = true
        mouseDoubleClickSequence(findIn(tab, "printCopiesLabel"))
        tryCompare(dialog, "visible", true, hangMs)
        compare(dialog.title, qsTr("选择打印文件"))
        compare(dialog.nameFilters, [qsTr("打印文件 (*.pdf)")])
        dialog.reject()
        tryCompare(dialog, "visible", false, hangMs)
    }

    // A cut file chosen while a job exists (paused too) is refused on
    // screen; the job's file stays.
    function test_cutFileRefusedDuringAJob_data() {
        return [{ tag: "running", status: 1 }, { tag: "paused", status: 0 }]
    }
    function test_cutFileRefusedDuringAJob(data) {
        const tab = makeTab()
        const path = sim.programDir() + "/during_job.plt"
        verify(sim.writeCutFile(path, 0))
        const before = app.cutFile
        app.taskStatus = data.status
        tab.fileDialog.cut_file = true
        tab.fileDialog.selectedFile = "file://" + path
        tab.fileDialog.accepted()
        tryCompare(tab.errorPopup, "opened", true, hangMs)
        compare(tab.errorPopup.text, "任务运行中，请先停止任务")
        compare(app.cutFile, before)
        tab.errorPopup.close()
        tryCompare(tab.errorPopup, "visible", false, hangMs)
    }

    function test_dialogPath() {
        const tab = makeTab()
        const local = Qt.platform.os === "windows" ? "C:/jobs/a.plt" : "/jobs/a.plt"
        compare(tab.dialogPath(Qt.platform.os === "windows" ? "file:///C:/jobs/a.plt" : "file:///jobs/a.plt"), local)
        compare(tab.dialogPath("file://server/share/a.plt"), "file://server/share/a.plt")
        compare(tab.dialogPath("x/qrc://a.plt"), "x/a.plt")
    }

    Rectangle {
        id: blank
        width: 64
        height: 48
        color: "white"
    }

    Component { id: spyComponent; SignalSpy {} }

    function blankPicture() {
        let picture = null
        blank.grabToImage(function(result) { picture = result.image })
        tryVerify(() => picture !== null, hangMs)
        return picture
    }

    // The machine's own task reports move the play button.
    function test_buttonsFollowTheMachine() {
        const tab = makeTab()
        const glyph = glyphOf(findIn(tab, "playButton"))
        sim.reportTaskStatus(1)
        tryCompare(glyph, "text", "\uf04c", hangMs)
        sim.reportTaskStatus(0)
        tryCompare(glyph, "text", "\uf144", hangMs)
        sim.reportTaskStatus(2)
        tryCompare(glyph, "text", "\uf04b", hangMs)
    }

    // A job started, paused, resumed and stopped from the buttons against
    // the simulator, its mark pictures taken by the tab's camera object.
    function test_jobFromTheButtons() {
        config.enablePrint = false
        config.showCamera = 1
        const tab = makeTab()
        const mark = createTemporaryObject(captureStandIn, testCase)
        const check = createTemporaryObject(captureStandIn, testCase)
        tab.camera.markImageCapture = mark
        tab.camera.checkImageCapture = check
        verify(sim.connectCamera(tab.camera))
        const marks = createTemporaryObject(spyComponent, testCase,
                                            { target: tab.camera, signalName: "capturedMarkImage" })
        const picture = blankPicture()
        const play = findIn(tab, "playButton")
        const glyph = glyphOf(play)

        mouseClick(play)
        tryCompare(tab.startPopup, "opened", true, hangMs)
        const start = findIn(tab.startPopup.contentItem, "startButton")
        const at = start.mapToItem(testCase, 5, 5)
        mousePress(start, 5, 5)
        mouseRelease(testCase, at.x, at.y)
        tryCompare(app, "taskStatus", 1, hangMs)
        tryCompare(glyph, "text", "\uf04c", hangMs)

        // The job asks the mark camera; its own picture wakes it, and it asks
        // again with a new token.
        tryVerify(() => mark.asked >= 1, hangMs)
        const first = tab.camera.captureID
        compare(first % 10, 1)
        mark.imageCaptured(mark.asked, picture)
        compare(marks.count, 1)
        compare(marks.signalArguments[0][0], first)
        tryVerify(() => mark.asked >= 2, hangMs)
        verify(tab.camera.captureID !== first)
        compare(tab.camera.captureID % 10, 1)

        // Pause: the task control reads the cutter, the status follows, and
        // the shown (check) camera is asked for one picture.
        sim.clear()
        mouseClick(play)
        tryCompare(app, "taskStatus", 0, hangMs)
        tryCompare(glyph, "text", "\uf144", hangMs)
        verify(sim.payloads("CCMD;3;").length >= 1)
        compare(check.asked, 1)
        check.imageCaptured(1, picture)

        sim.clear()
        mouseClick(play)
        tryCompare(app, "taskStatus", 1, hangMs)
        tryCompare(glyph, "text", "\uf04c", hangMs)
        verify(sim.payloads("CCMD;3;").length >= 1)

        sim.clear()
        mouseClick(findIn(tab, "stopButton"))
        tryVerify(() => sim.payloads("CCMD;12,2;").length === 1, hangMs)
        tryCompare(app, "taskStatus", 2, hangMs)
        tryCompare(glyph, "text", "\uf04b", hangMs)
        // The job ends at its next step; its waits are answered meanwhile.
        tryVerify(() => {
            if (tab.camera.markPending)
                mark.imageCaptured(tab.camera.markPending.requestId, picture)
            return sim.jobIdle()
        }, hangMs)
        device.errorMessage = ""
    }
}
