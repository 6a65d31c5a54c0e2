import QtQuick
import QtTest
import Spoolsmith2024
import TAVRA_Config 1.0

// The task overview on the real application: hints turn into the cut file
// and the print preview as files open through the page's own dialogs, the
// grid follows the print switch, and the panes ask for their pages.
TestCase {
    id: testCase
    name: "TaskPage"
    width: 1000
    height: 700
    when: windowShown
    visible: true

    // The program's camera object, as the task tab holds it.
    RCamera {
        id: camera
    }

    Component {
        id: pageComponent
        TaskPage {
            width: 1000
            height: 700
        }
    }
    Component {
        id: paneComponent
        CameraView {
            width: 100
            height: 100
            cs: camera.currCS
        }
    }
    // One spy a file, declared here: a spy made and destroyed within a case
    // would stay connected to its signal.
    SignalSpy {
        id: spy
    }

    property var savedVersion

    function initTestCase() {
        savedVersion = config.getProperty(TAVRA_Config.CPT_Version)
        // No nested cut-file question after a print file.
        config.setProperty(TAVRA_Config.CPT_Enable_Print_Marker_Type, 0)
    }

    function init() {
        config.enablePrint = true
        config.showCamera = 0
    }

    function cleanup() {
        spy.target = null
        config.setProperty(TAVRA_Config.CPT_Version, savedVersion)
        compare(sim.takeWarnings(), [])
    }

    function watch(target, signalName) {
        spy.target = null
        spy.signalName = signalName
        spy.target = target
        spy.clear()
        return spy
    }

    function makePage() {
        const page = createTemporaryObject(pageComponent, testCase)
        verify(page)
        return page
    }

    function child(page, name) {
        const found = findChild(page, name)
        verify(found, name)
        return found
    }

    function accept(dialog, path) {
        dialog.selectedFile = "file://" + path
        dialog.accepted()
    }

    // Cut files through plt_dlg: the hint gives way to the drawing, and a
    // second file redraws the view though the preview path stays the same.
    function test_cutFileReplacesTheHint() {
        app.cutShowFile = ""
        const page = makePage()
        const view = child(page, "pltview")
        const hint = child(page, "cutHint")
        verify(hint.visible)
        compare(view.file, "")

        const first = sim.programDir() + "/overview_a.plt"
        const second = sim.programDir() + "/overview_b.plt"
        verify(sim.writeCutFile(first, 0))
        verify(sim.writeCutFile(second, 2000))
        const redraws = watch(view, "fileChanged")
        accept(child(page, "pltDialog"), first)
        compare(app.cutFile, first)
        verify(!hint.visible)
        compare(view.file, app.cutShowFile)
        verify(view.file !== "")
        const once = redraws.count
        verify(once >= 1)
        accept(child(page, "pltDialog"), second)
        compare(app.cutFile, second)
        verify(redraws.count > once)
    }

    // A print file through pdf_dlg: the preview comes from the image provider.
    function test_printPreviewReplacesTheHint() {
        app.printFile = ""
        const page = makePage()
        const preview = child(page, "printPreview")
        const hint = child(page, "printHint")
        verify(hint.visible)
        verify(!preview.visible)

        const pdf = sim.programDir() + "/overview.pdf"
        verify(sim.writePdf(pdf, 100, 60))
        accept(child(page, "pdfDialog"), pdf)
        compare(app.printFile, pdf)
        verify(!hint.visible)
        verify(preview.visible)
        compare(String(preview.source).toLowerCase(), app.printImgPath.toLowerCase())
        tryCompare(preview, "status", Image.Ready, hangMs)
        // The preview is turned a quarter: 60 x 100 fitted into the pane.
        verify(preview.paintedWidth > 0)
        verify(preview.paintedHeight > preview.paintedWidth)
    }

    // The print switch rearranges the grid: the machine cell takes the whole
    // right column, the left panes stay where they are.
    function test_gridFollowsThePrintSwitch() {
        const page = makePage()
        const cut = child(page, "pltview")
        const cam = child(page, "cameraCell")
        const machine = child(page, "machineCell")
        const print = child(page, "printPane")
        const half = (page.height - 1) / 2
        fuzzyCompare(cut.width, (page.width - 1) / 2, 1)
        fuzzyCompare(cut.height, half, 1)
        compare(print.x, machine.x)
        verify(machine.y > half)
        const cutRect = Qt.rect(cut.x, cut.y, cut.width, cut.height)
        const camRect = Qt.rect(cam.x, cam.y, cam.width, cam.height)

        config.enablePrint = false
        waitForRendering(page)
        verify(!print.visible)
        compare(machine.y, 0)
        fuzzyCompare(machine.height, page.height, 1)
        compare(Qt.rect(cut.x, cut.y, cut.width, cut.height), cutRect)
        compare(Qt.rect(cam.x, cam.y, cam.width, cam.height), camRect)

        // With printing off the print pane neither asks for its page.
        config.enablePrint = true
        waitForRendering(page)
        verify(machine.y > half)
    }

    // A 400 ms hold opens the dialog, a shorter press does not. The hold is
    // measured, not slept through: a loaded machine's sleep could outlast it.
    function test_longPressOpensTheCutDialog() {
        const page = makePage()
        const view = child(page, "pltview")
        const area = child(page, "cutArea")
        const dialog = child(page, "pltDialog")
        mousePress(view, 50, 50)
        mouseRelease(view, 50, 50)
        wait(50)
        verify(!dialog.visible)
        let heldAt = 0
        const held = () => { heldAt = Date.now() }
        area.pressAndHold.connect(held)
        const pressedAt = Date.now()
        mousePress(view, 50, 50)
        tryVerify(() => dialog.visible, hangMs)
        area.pressAndHold.disconnect(held)
        // A coarse timer may fire up to 5 % early.
        verify(heldAt - pressedAt >= 380, "opened " + (heldAt - pressedAt) + " ms after the press")
        mouseRelease(view, 50, 50)
        dialog.close()
        compare(dialog.title, "Open a Cut file")
        compare(dialog.nameFilters.length, 1)
        compare(dialog.nameFilters[0], "Cut files (*.plt ; *.tva)")
    }

    // The print dialog's filter is chosen at each long press: "tif" only on
    // a version-2 machine whose settings have the hot-folder input (a
    // parameter the settings hold only when they were loaded as version 2).
    function test_printFilterByVersion() {
        const page = makePage()
        const pane = child(page, "printPane")
        const dialog = child(page, "pdfDialog")
        config.setProperty(TAVRA_Config.CPT_Version, 2)
        mousePress(pane, 50, 50)
        tryVerify(() => dialog.visible, hangMs)
        mouseRelease(pane, 50, 50)
        dialog.close()
        compare(dialog.nameFilters.length, 1)
        compare(dialog.nameFilters[0], config.getProperty(TAVRA_Config.CPT_Enable_RIIN_Input)
                ? "Print files (*.pdf ; *.tva ; *tif)" : "Print files (*.pdf ; *.tva)")

        // Printing off: the filter is set, the dialog stays shut.
        config.enablePrint = false
        mousePress(pane, 50, 50)
        wait(600)
        mouseRelease(pane, 50, 50)
        verify(!dialog.visible)
    }

    // Double clicks ask the tab for the pane's page; in the camera cell
    // wherever the camera pane's own controls do not take the press.
    function test_doubleClicksSubmit() {
        const page = makePage()
        const submits = watch(page, "submit")
        mouseDoubleClickSequence(child(page, "pltview"), 30, 100)
        mouseDoubleClickSequence(child(page, "printPane"), 30, 100)
        const cam = child(page, "cameraCell")
        mouseDoubleClickSequence(cam, cam.width / 2, cam.height / 2)
        mouseDoubleClickSequence(child(page, "machineCell"), 30, 100)
        compare(submits.count, 4)
        compare(submits.signalArguments.map(a => a[0]), ["cut_file", "print_file", "video", "device"])
        compare(submits.signalArguments[2][1], "")
    }

    // resetvideo gives the overview's pane the live picture back.
    function test_resetvideo() {
        const page = makePage()
        const output = child(child(page, "video"), "videoOutput")
        const session = camera.currCS
        compare(session.videoOutput, output)
        const other = createTemporaryObject(paneComponent, testCase)
        verify(session.videoOutput !== output)
        page.resetvideo()
        compare(session.videoOutput, output)
    }
}
