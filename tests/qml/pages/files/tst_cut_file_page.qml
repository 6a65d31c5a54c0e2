import QtQuick
import QtQuick.Controls
import QtTest
import Spoolsmith2024

// The cut-file page on the real application: the scene view hosted, the
// file and export dialogs' results, the sorting switch and the progress of
// a large file.
TestCase {
    id: testCase
    name: "CutFilePage"
    width: 1000
    height: 700
    when: windowShown
    visible: true

    StackView {
        id: stack
        x: 0
        y: 40
        width: 1000
        height: 620
        initialItem: Rectangle { color: "white" }
    }

    Component {
        id: pageComponent
        CutFilePage {
            width: 1000
            height: 700
        }
    }
    // One spy a file, declared here: a spy made and destroyed within a case
    // would stay connected to its signal.
    SignalSpy {
        id: spy
    }

    function cleanup() {
        spy.target = null
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

    // The view is the application's one cut-scene widget, placed over the
    // left pane; a file accepted in the dialog opens into it.
    function test_openThroughTheDialog() {
        // The view handed to QML stays the application's through garbage
        // collections: a page made after one hosts it again.
        ;(function () { app.getCutGraphicsView() })()
        gc()
        wait(20)
        const page = makePage()
        const host = child(page, "cutGraphicsView")
        verify(host.widget)
        compare(host.widget, app.getCutGraphicsView())
        verify(!host.enabled)
        compare(child(page, "leftPanel").width, 1000 - 350)

        const path = sim.programDir() + "/page_cut.plt"
        verify(sim.writeCutFile(path, 0))
        const opened = watch(app, "cutFileChanged")
        accept(child(page, "cutFileDialog"), path)
        compare(app.cutFile, path)
        compare(child(page, "fileButton").text, path)
        compare(opened.count, 1)
        // The same file again opens again.
        accept(child(page, "cutFileDialog"), path)
        compare(opened.count, 2)

        // A cancelled dialog changes nothing.
        child(page, "cutFileDialog").rejected()
        compare(app.cutFile, path)

        page.showWindow(false)
        verify(!host.visible)
        page.showWindow(true)
        verify(host.visible)
    }

    // Pushed onto a page stack as the task tab does, with the stack's slide:
    // once the page stands, the native view lies exactly over its left pane.
    function test_viewOverItsPaneAfterThePush() {
        const page = stack.push(pageComponent)
        tryVerify(() => !stack.busy, hangMs)
        const host = child(page, "cutGraphicsView")
        const pane = child(page, "leftPanel")
        const scene = pane.mapToItem(null, 0, 0)
        const g = host.widget.geometry
        compare(Qt.rect(g.x, g.y, g.width, g.height), Qt.rect(Math.trunc(scene.x), Math.trunc(scene.y), pane.width, pane.height))
        const view = host.widget
        verify(view.visible)
        // Gone with the page from the stack, hidden with it.
        stack.pop()
        tryVerify(() => !stack.busy, hangMs)
        verify(!view.visible)
    }

    function test_export() {
        const page = makePage()
        const target = sim.programDir() + "/export.plt"
        accept(child(page, "saveDialog"), target)
        compare(app.saveFile, target)
        compare(child(page, "saveButton").text, target)
    }

    // The switch shows the setting when the page opens, writes each toggle,
    // and follows an outside change without writing it back.
    function test_sortSwitch() {
        config.autoSort = true
        const page = makePage()
        const sw = child(page, "sortSwitch")
        verify(sw.checked)
        compare(sw.text, qsTranslate("CutFilePage", "开"))
        const writes = watch(config, "autoSortChanged")
        mouseClick(sw)
        verify(!config.autoSort)
        compare(sw.text, qsTranslate("CutFilePage", "关"))
        mouseClick(sw)
        verify(config.autoSort)
        compare(writes.count, 2)
        config.autoSort = false
        verify(!sw.checked)
        compare(writes.count, 3)
    }

    // A large file opens on a worker thread: the panel shows how far it has
    // come and drops the bar once the scene has it.
    function test_loadProgress() {
        const page = makePage()
        const row = child(page, "loadRow")
        verify(!row.visible)
        const path = sim.programDir() + "/page_large.plt"
        verify(sim.writeCutFile(path, 3 * 1024 * 1024))
        const progress = watch(app, "cutLoadProgressChanged")
        accept(child(page, "cutFileDialog"), path)
        verify(row.visible)
        compare(child(page, "loadProgress").value, Math.max(0, app.cutLoadProgress))
        tryVerify(() => !row.visible, hangMs)
        compare(app.cutLoadProgress, -1)
        verify(progress.count >= 3)
        compare(child(page, "fileButton").text, path)
    }
}
