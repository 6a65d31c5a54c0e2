import QtQuick
import QtQuick.Controls
import QtTest
import Spoolsmith2024

// The cut-file page on the task tab, on an X display in the program's window
// size: the cut view is a native window over the page's left pane, so every
// dialog opened over the page must have it hidden to be usable at all.
TestCase {
    id: testCase
    name: "CutViewDialogs"
    when: windowShown
    visible: true
    width: 1080
    height: 760

    Component {
        id: tabComponent
        TaskStackPage { width: testCase.width; height: testCase.height }
    }

    function cleanup() {
        compare(sim.takeWarnings(), [])
    }

    // The dialog button whose caption is text, among the open popups.
    function buttonIn(item, text) {
        if (!item || !item.visible)
            return null
        if (typeof item.toggle === "function" && String(item.text).replace("&", "") === text)
            return item
        for (let i = 0; i < item.children.length; ++i) {
            const found = buttonIn(item.children[i], text)
            if (found)
                return found
        }
        return null
    }

    function covers(view, rect) {
        const g = view.geometry
        return view.visible && g.x < rect.x + rect.width && rect.x < g.x + g.width
            && g.y < rect.y + rect.height && rect.y < g.y + g.height
    }

    function test_dialogsOverTheCutView_data() {
        return [
            { tag: "cut file", dialog: (tab, page) => findChild(page, "cutFileDialog") },
            { tag: "export", dialog: (tab, page) => findChild(page, "saveDialog") },
            { tag: "task tab's file", dialog: (tab, page) => tab.fileDialog },
        ]
    }

    function test_dialogsOverTheCutView(data) {
        const tab = createTemporaryObject(tabComponent, testCase)
        verify(tab)
        tab.pushPage("cut_file")
        tryCompare(tab.stackView, "busy", false, hangMs)
        const page = tab.stackView.currentItem
        const view = findChild(page, "cutGraphicsView").widget
        verify(view)
        tryVerify(() => view.visible, hangMs)

        const dialog = data.dialog(tab, page)
        verify(dialog)
        dialog.open()
        // The accept button, which the framework's save dialog captions
        // "Open" too.
        let button = null
        tryVerify(() => (button = buttonIn(testCase.Overlay.overlay, "Open")) !== null, hangMs)
        tryCompare(button, "opacity", 1, hangMs)
        const r = button.mapToItem(null, 0, 0, button.width, button.height)
        verify(r.x >= 0 && r.y >= 0 && r.x + r.width <= testCase.width && r.y + r.height <= testCase.height,
               "the button lies in the window")
        verify(!covers(view, r), "the cut view covers the Open button")
        verify(!view.visible)

        dialog.reject()
        tryCompare(dialog, "visible", false, hangMs)
        tryVerify(() => view.visible, hangMs)
    }
}
