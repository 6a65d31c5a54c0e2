import QtQuick
import QtTest
import Spoolsmith2024

// The collect/trim switch and the cut-mode drop-down as the machine
// parameters page uses them (200 x 30).
TestCase {
    id: testCase
    name: "DeviceControls"
    when: windowShown
    visible: true
    width: 600
    height: 400

    function init() {
        testCase.Window.window.requestActivate()
        tryVerify(() => testCase.Window.active, hangMs)
    }

    Component {
        id: switchComponent
        CollectSwitch {
            x: 50
            y: 50
            width: 200
            height: 30
            property int changes: 0
            onTrimChanged: changes += 1
        }
    }
    Component {
        id: comboComponent
        CutModelComboBox {
            x: 50
            y: 50
            width: 200
            height: 30
            property int picks: 0
            onModModfiy: picks += 1
        }
    }

    function find(item, name) {
        if (item.objectName === name)
            return item
        for (let i = 0; i < item.children.length; ++i) {
            const found = find(item.children[i], name)
            if (found)
                return found
        }
        return null
    }

    function listOf(box) {
        for (let i = 0; i < box.data.length; ++i) {
            if (box.data[i].objectName === "cutModelList")
                return box.data[i]
        }
        return null
    }

    function test_switchTogglesOnPressOnly() {
        const sw = createTemporaryObject(switchComponent, testCase)
        const knob = find(sw, "knob")
        compare(sw.trim, false)
        compare(knob.x, 100)
        compare(sw.radius, 15)
        // The press toggles; a release far outside changes nothing more.
        mousePress(sw, 20, 15)
        compare(sw.trim, true)
        compare(knob.x, 0)
        mouseMove(sw, 400, 300)
        mouseRelease(sw, 400, 300)
        compare(sw.trim, true)
        compare(sw.changes, 1)
        mouseClick(sw, 180, 15)
        compare(sw.trim, false)
        compare(knob.x, 100)
        compare(sw.changes, 2)
        // An owner writing the value it already has emits nothing.
        sw.trim = false
        compare(sw.changes, 2)
        sw.trim = true
        compare(sw.changes, 3)
        compare(knob.x, 0)
    }

    function test_switchKnobCoversOtherLabel() {
        const sw = createTemporaryObject(switchComponent, testCase)
        const knob = find(sw, "knob")
        // Rewind: the knob stands on the trim half, the rewind label shows.
        const rewind = find(sw, "rewindLabel")
        const trim = find(sw, "trimLabel")
        compare(knob.x, trim.x)
        sw.trim = true
        compare(knob.x, rewind.x)
        const order = Array.prototype.slice.call(sw.children)
        verify(order.indexOf(knob) > order.indexOf(trim) && order.indexOf(knob) > order.indexOf(rewind))
        compare(rewind.text, "收卷")
        compare(trim.text, "裁断")
    }

    function test_comboPicksAndShows() {
        const box = createTemporaryObject(comboComponent, testCase)
        const text = find(box, "cutModelText")
        const list = listOf(box)
        compare(text.text, "速度优先")
        box.mod = 2
        compare(text.text, "精度优先")
        box.mod = 1
        compare(text.text, "平衡")
        // Outside 0..2 shows speed first; picking it then sets 0 and signals.
        box.mod = 5
        compare(text.text, "速度优先")
        compare(box.picks, 0)
        mousePress(box)
        mouseRelease(box)
        tryCompare(list, "opened", true, hangMs)
        compare(list.y, 31)
        compare(list.width, 200)
        compare(list.height, 92)
        mousePress(find(list.contentItem, "cutModelEntry0"))
        tryCompare(list, "visible", false, hangMs)
        compare(box.mod, 0)
        compare(box.picks, 1)

        // The current entry closes the list and emits nothing.
        mousePress(box)
        mouseRelease(box)
        tryCompare(list, "opened", true, hangMs)
        mousePress(find(list.contentItem, "cutModelEntry0"))
        tryCompare(list, "visible", false, hangMs)
        compare(box.picks, 1)

        mousePress(box)
        mouseRelease(box)
        tryCompare(list, "opened", true, hangMs)
        mousePress(find(list.contentItem, "cutModelEntry2"))
        tryCompare(list, "visible", false, hangMs)
        compare(box.mod, 2)
        compare(box.picks, 2)
        compare(text.text, "精度优先")
    }

    function test_comboToggleAndOutsidePress() {
        const box = createTemporaryObject(comboComponent, testCase)
        const list = listOf(box)
        // Two quick presses open and close the list without a change.
        mousePress(box)
        mouseRelease(box)
        tryCompare(list, "opened", true, hangMs)
        mousePress(box)
        mouseRelease(box)
        tryCompare(list, "visible", false, hangMs)
        compare(box.picks, 0)
        // A press outside the box and the list closes it.
        mousePress(box)
        mouseRelease(box)
        tryCompare(list, "opened", true, hangMs)
        mousePress(testCase, 500, 350)
        mouseRelease(testCase, 500, 350)
        tryCompare(list, "visible", false, hangMs)
        compare(box.mod, 0)
        compare(box.picks, 0)
    }
}
