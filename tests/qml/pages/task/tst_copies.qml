import QtQuick
import QtTest
import Spoolsmith2024

// The copies button on its own and as the task tab's presets.
TestCase {
    id: testCase
    name: "TaskCopies"
    when: windowShown
    visible: true
    width: 1080
    height: 720

    Component {
        id: copiesComponent
        TaskCopies {
            x: 100
            y: 50
            width: 120
            height: 30
            text: "100"
        }
    }
    Component {
        id: tabComponent
        TaskStackPage { width: testCase.width; height: testCase.height }
    }

    property var saved: ({})

    function initTestCase() {
        saved = { cut: app.cutTaskCopies, print: app.printTaskCopies, enablePrint: config.enablePrint }
    }

    function init() {
        testCase.Window.window.requestActivate()
        tryVerify(() => testCase.Window.active, hangMs)
    }

    function cleanup() {
        app.cutTaskCopies = saved.cut
        app.printTaskCopies = saved.print
        config.enablePrint = saved.enablePrint
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

    function popupOf(button) {
        for (let i = 0; i < button.data.length; ++i) {
            if (button.data[i].objectName === "copiesPopup")
                return button.data[i]
        }
        return null
    }

    function openDropDown(button) {
        mouseClick(button)
        const popup = popupOf(button)
        tryCompare(popup, "opened", true, hangMs)
        return popup
    }

    function pressPreset(button, text) {
        const popup = openDropDown(button)
        const row = findIn(popup.contentItem, "preset_" + text)
        verify(row, text)
        const at = row.mapToItem(testCase, row.width / 2, row.height / 2)
        mousePress(row, row.width / 2, row.height / 2)
        // The press acts, not the click.
        compare(button.text, text)
        tryCompare(popup, "visible", false, hangMs)
        mouseRelease(testCase, at.x, at.y)
    }

    function test_presetsInOrder() {
        const button = createTemporaryObject(copiesComponent, testCase)
        const popup = openDropDown(button)
        const column = findIn(popup.contentItem, "copiesPresets")
        const texts = []
        for (let i = 0; i < column.children.length; ++i) {
            if (column.children[i].objectName.startsWith("preset_"))
                texts.push(column.children[i].modelData)
        }
        compare(texts, ["0", "10", "20", "50", "100", "200", "500", "1000", qsTr("自动")])
        compare(popup.height, 300)
        compare(popup.width, button.width)
        compare(popup.y, button.height + 1)
        verify(button.popuped)
    }

    function test_presetThenSpinBox() {
        const button = createTemporaryObject(copiesComponent, testCase)
        pressPreset(button, "200")
        // Opening after "200" shows 200 and leaves the text.
        const popup = openDropDown(button)
        const spin = findIn(popup.contentItem, "copiesSpinBox")
        compare(spin.value, 200)
        compare(button.text, "200")
        // A second click on the button closes the drop-down.
        mouseClick(button)
        tryCompare(popup, "visible", false, hangMs)
        compare(button.text, "200")
    }

    // "0" and "自动" lie outside the spin box: opening and closing the
    // drop-down over them keeps them.
    function test_outOfRangePresetsSurviveOpening_data() {
        return [{ tag: "0", text: "0" }, { tag: "auto", text: qsTr("自动") }]
    }

    function test_outOfRangePresetsSurviveOpening(data) {
        const button = createTemporaryObject(copiesComponent, testCase)
        pressPreset(button, data.text)
        const popup = openDropDown(button)
        keyClick(Qt.Key_Escape)
        tryCompare(popup, "visible", false, hangMs)
        compare(button.text, data.text)
        openDropDown(button)
        mouseClick(testCase, 900, 600)
        tryCompare(popup, "visible", false, hangMs)
        compare(button.text, data.text)
    }

    // Stepping writes plain digits at every step, whatever the locale groups.
    function test_spinBoxStepsWithoutGroups() {
        const button = createTemporaryObject(copiesComponent, testCase)
        button.text = "999"
        const popup = openDropDown(button)
        const spin = findIn(popup.contentItem, "copiesSpinBox")
        compare(spin.value, 999)
        keyClick(Qt.Key_Up)
        compare(button.text, "1000")
        keyClick(Qt.Key_Up)
        compare(button.text, "1001")
        verify(popup.visible)
        spin.value = 999999
        keyClick(Qt.Key_Up)
        compare(spin.value, 999999)
        spin.value = 1
        keyClick(Qt.Key_Down)
        compare(spin.value, 1)
        compare(spin.textFromValue(999999, Qt.locale("de_DE")), "999999")
    }

    function copiesButtons(tab) {
        return { cut: findIn(tab, "cutCopiesButton"), print: findIn(tab, "printCopiesButton") }
    }

    function test_tabWritesThePresets_data() {
        return [
            { tag: "auto", text: qsTr("自动"), value: -1 },
            { tag: "0", text: "0", value: 0 },
            { tag: "1000", text: "1000", value: 1000 },
        ]
    }

    function test_tabWritesThePresets(data) {
        config.enablePrint = true
        const tab = createTemporaryObject(tabComponent, testCase)
        waitForRendering(tab)
        const buttons = copiesButtons(tab)
        compare(buttons.cut.text, "100")
        compare(app.cutTaskCopies, 100)
        pressPreset(buttons.cut, data.text)
        compare(app.cutTaskCopies, data.value)
        compare(tab.cut_copies, data.text)
        pressPreset(buttons.print, data.text)
        compare(app.printTaskCopies, data.value)
    }

    function test_spinBoxReachesTheTab() {
        const tab = createTemporaryObject(tabComponent, testCase)
        waitForRendering(tab)
        const cut = copiesButtons(tab).cut
        openDropDown(cut)
        keyClick(Qt.Key_Up)
        compare(app.cutTaskCopies, 101)
        keyClick(Qt.Key_Escape)
    }

    // With printing off the print half goes and the row stays centred.
    function test_printPartHidden() {
        config.enablePrint = true
        const tab = createTemporaryObject(tabComponent, testCase)
        waitForRendering(tab)
        const row = findIn(tab, "copiesRow")
        const wide = row.width
        config.enablePrint = false
        verify(!findIn(tab, "printCopiesLabel").visible)
        verify(!findIn(tab, "printCopiesDone").visible)
        verify(!copiesButtons(tab).print.visible)
        tryVerify(() => row.width < wide, hangMs)
        compare(Math.round(row.x + row.width / 2), Math.round(tab.width / 2))
        // The whole row at the narrowest window stays clear of the play button.
        config.enablePrint = true
        tab.width = 1080
        const play = findIn(tab, "playButton")
        tryVerify(() => row.x + row.width <= play.x - 10, hangMs)
        verify(row.x >= 40)
        compare(app.printTaskCopies, saved.print)
    }
}
