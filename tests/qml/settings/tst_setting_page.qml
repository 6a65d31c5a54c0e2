import QtQuick
import QtQuick.Controls
import QtTest
import Spoolsmith2024
import TAVRA_Config

// The settings dialog as the operator reaches it: the main window, the device
// tab's "设置" button, the real config with its files in a temp folder.
TestCase {
    id: testCase
    name: "SettingPage"
    when: windowShown

    Component {
        id: mainComponent
        Main {}
    }

    property var win: null
    property var snapshot: ({})
    readonly property int version: config.getProperty(TAVRA_Config.CPT_Version)
    readonly property bool english: config.language === 1

    function findByName(item, name) {
        if (!item)
            return null
        if (item.objectName === name)
            return item
        const kids = item.children !== undefined ? item.children : []
        for (let i = 0; i < kids.length; ++i) {
            const found = findByName(kids[i], name)
            if (found)
                return found
        }
        const data = item.data !== undefined ? item.data : []
        for (let j = 0; j < data.length; ++j) {
            if (data[j] && data[j].objectName === name)
                return data[j]
        }
        return null
    }

    function dialog() {
        return findByName(findByName(win.contentItem, "deviceStackPage"), "settingPage")
    }
    function inDialog(name) {
        return findByName(dialog().contentItem, name)
    }
    function sections() {
        const area = inDialog("propertyArea")
        const list = []
        for (let i = 0; i < area.children.length; ++i)
            list.push(area.children[i])
        return list
    }
    function section(title) {
        return sections().find(s => s.createType === title)
    }
    function editors(sec) {
        const flow = findByName(sec, "editors")
        const list = []
        for (let i = 0; i < flow.children.length; ++i)
            list.push(flow.children[i])
        return list
    }
    function editor(key) {
        for (const sec of sections()) {
            const found = editors(sec).find(e => e.createType === key)
            if (found)
                return found
        }
        return null
    }
    function visibleTitles() {
        return sections().filter(s => s.visible).map(s => s.createType)
    }
    // Scrolls the sections so that the item is in the view, as the operator would.
    function reveal(item) {
        const area = inDialog("propertyArea")
        const flick = inDialog("scrollView").contentItem
        const y = item.mapToItem(area, 0, 0).y
        if (y >= flick.contentY && y + item.height <= flick.contentY + flick.height)
            return
        flick.contentY = Math.max(0, Math.min(y - 10, flick.contentHeight - flick.height))
        waitForRendering(dialog().contentItem)
    }

    function press(item) {
        if (isInside(item, inDialog("propertyArea")))
            reveal(item)
        mouseClick(item, item.width / 2, item.height / 2)
    }

    function isInside(item, ancestor) {
        for (let i = item; i; i = i.parent) {
            if (i === ancestor)
                return true
        }
        return false
    }

    function findKey(item, text) {
        if (item.visible === false)
            return null
        if (item.key !== undefined && item.text === text && item.width > 0)
            return item
        for (let i = 0; i < item.children.length; ++i) {
            const found = findKey(item.children[i], text)
            if (found)
                return found
        }
        return null
    }

    function openDialog() {
        const pages = findByName(win.contentItem, "pages")
        mouseClick(findByName(win.contentItem, "tabButton0"))
        compare(pages.currentIndex, 0)
        press(findByName(win.contentItem, "settingButton"))
        tryCompare(dialog(), "opened", true, hangMs)
        return dialog()
    }

    function confirm(boxName) {
        const box = inDialog(boxName)
        tryCompare(box, "opened", true, hangMs)
        const ok = findByName(box.contentItem, "okButton")
        mousePress(ok, ok.width / 2, ok.height / 2)
        tryCompare(box, "visible", false, hangMs)
    }

    function typeInto(spinEditor, text) {
        const input = findByName(spinEditor, "spinText")
        reveal(spinEditor)
        input.forceActiveFocus()
        input.selectAll()
        for (const c of text)
            keyClick(c)
        keyClick(Qt.Key_Return)
        leaveField()
    }

    // Focus back on the dialog: the keyboard goes down and uncovers the rest.
    function leaveField() {
        dialog().contentItem.forceActiveFocus()
        const panel = findByName(win.contentItem, "inputPanel")
        tryVerify(() => !panel.active, hangMs)
        tryCompare(panel, "y", win.height, hangMs)
    }

    function initTestCase() {
        failOnWarning(/.?/)
        for (const group of config.getShowPropertiesClass())
            for (const key of config.getShowProperties(group))
                snapshot[key] = config.getProperty(key)
        // One window for all cases, as the program has: the dialog is built once.
        win = mainComponent.createObject(testCase)
        verify(win)
        tryCompare(win, "visible", true, hangMs)
        waitForRendering(win.contentItem)
        // The tabs not in sight and the keyboard are built after the first frame.
        // An asynchronous loader shows its item before every binding is set.
        const loaded = name => {
            const item = findByName(win.contentItem, name)
            return item && item.parent && item.parent.status === Loader.Ready
        }
        tryVerify(() => loaded("deviceStackPage") && loaded("inputPanel"), hangMs)
    }

    function cleanupTestCase() {
        win.destroy()
    }

    function init() {
        failOnWarning(/.?/)
        win.requestActivate()
    }

    // Every case leaves the settings as they were. No case may warn.
    function cleanup() {
        // A case that failed with a file read-only leaves it writable, written
        // and its message gone.
        settingsFiles.setWritable("config.ini", true)
        settingsFiles.setWritable("configDefault.ini", true)
        settingsFiles.liveFile()
        findByName(findByName(win.contentItem, "taskStackPage"), "errorPopup").close()
        device.errorMessage = ""
        const d = dialog()
        if (d.opened)
            d.close()
        tryCompare(d, "visible", false, hangMs)
        // A case that failed while typing leaves no keyboard over the next.
        win.contentItem.forceActiveFocus()
        tryVerify(() => !findByName(win.contentItem, "inputPanel").active, hangMs)
        app.taskStatus = 2
        for (const key in snapshot)
            config.saveTmp(Number(key), snapshot[key])
        config.saveCfg()
        d.refreshProperty()
    }

    function test_sectionsInOrderForTheVersion() {
        openDialog()
        const groups = config.getShowPropertiesClass()
        compare(sections().map(s => s.createType), groups)
        if (english) {
            // The translated titles sort by their own text.
            compare(groups, ["Basic", "Detection", "Flow", "Log output", "Printing"])
            compare(config.getPropertyName(TAVRA_Config.CPT_Gyroscope_Limit), "Gyroscope limit")
        } else {
            compare(groups, ["基础设置", "打印设置", "日志输出设置", "检测设置", "流程设置"])
        }
        const expectedShown = version === 3 ? 4 : 5
        compare(visibleTitles().length, expectedShown)
        const flowTitle = config.getShowPropertiesClass()[english ? 2 : 4]
        compare(section(flowTitle).visible, version !== 3)
        compare(findByName(section(flowTitle), "sectionTitle").text, flowTitle)

        const print = sections()[english ? 4 : 1]
        const printKeys = editors(print).map(e => e.createType)
        const expectedPrint = [TAVRA_Config.CPT_printCopiesOnce, TAVRA_Config.CPT_printPagesOnce,
                               TAVRA_Config.CPT_Printer_Copies, TAVRA_Config.CPT_Enable_Print_Marker_Type]
        if (version === 2)
            expectedPrint.push(TAVRA_Config.CPT_RIIN_Path, TAVRA_Config.CPT_RIIN_Input,
                               TAVRA_Config.CPT_Enable_RIIN_Input, TAVRA_Config.CPT_Printer_Soft_Path)
        compare(printKeys, expectedPrint)
    }

    // The editor follows the parameter and the type of its value.
    function test_editorsFollowTheTable() {
        openDialog()
        const basic = section(config.getShowPropertiesClass()[0])
        compare(editors(basic).map(e => e.createType), config.getShowProperties(basic.createType))
        compare(editor(TAVRA_Config.CPT_Gyroscope_Trigger).objectName, "spinEditor")
        compare(editor(TAVRA_Config.CPT_printCopiesOnce).objectName, "spinEditor")
        compare(editor(TAVRA_Config.CPT_Plt_Dir).objectName, "pathEditor")
        compare(editor(TAVRA_Config.CPT_Cut_Inverse).objectName, "checkEditor")
        compare(editor(TAVRA_Config.CPT_LOG_DEBUG).objectName, "checkEditor")
        compare(editor(TAVRA_Config.CPT_Enable_Cut_Marker_Type).objectName, "comboEditor")
        compare(editor(TAVRA_Config.CPT_Enable_Print_Marker_Type).objectName, "comboEditor")

        const spin = findByName(editor(TAVRA_Config.CPT_Gyroscope_Limit), "spin")
        compare(spin.decimals, 0)
        compare(spin.from, -180)
        compare(spin.to, 999)
        compare(spin.width, 110)
        compare(spin.value, 20)
        compare(findByName(editor(TAVRA_Config.CPT_Gyroscope_Limit), "editorLabel").text,
                config.getPropertyName(TAVRA_Config.CPT_Gyroscope_Limit))
        compare(findByName(editor(TAVRA_Config.CPT_LOG_ERROR), "check").checked, true)
        compare(findByName(editor(TAVRA_Config.CPT_LOG_DEBUG), "check").checked, false)
        compare(findByName(editor(TAVRA_Config.CPT_LOG_DEBUG), "check").text,
                config.getPropertyName(TAVRA_Config.CPT_LOG_DEBUG))
        const combo = findByName(editor(TAVRA_Config.CPT_Enable_Cut_Marker_Type), "combo")
        compare(combo.count, 3)
        compare(combo.currentIndex, 0)
        compare(findByName(editor(TAVRA_Config.CPT_Plt_Dir), "pathButton").width, 350)
    }

    // Fractions show as whole numbers; a value beyond the range is clamped by
    // the editor, and what it writes keeps the parameter's type.
    function test_numberEditorRoundsAndClamps() {
        openDialog()
        const spinEditor = editor(TAVRA_Config.CPT_Film_Speed)
        const spin = findByName(spinEditor, "spin")
        config.setProperty(TAVRA_Config.CPT_Film_Speed, 2.7)
        compare(spin.value, 3)
        compare(spin.displayText, "3")
        config.setProperty(TAVRA_Config.CPT_Film_Speed, 1500)
        compare(spin.value, 999)
        typeInto(spinEditor, "12.5")
        compare(spin.value, 12, "a decimal point is refused")
        typeInto(spinEditor, "41")
        compare(spin.value, 41)
        compare(config.getProperty(TAVRA_Config.CPT_Film_Speed), 1500, "only after 保存")
        press(inDialog("saveButton"))
        compare(config.getProperty(TAVRA_Config.CPT_Film_Speed), 41)
        compare(settingsFiles.typeAfterRestart(TAVRA_Config.CPT_Film_Speed), "double")

        // A marker type beyond the entries selects the last one; what is
        // stored changes only with a save, and stays a whole number.
        const combo = findByName(editor(TAVRA_Config.CPT_Enable_Cut_Marker_Type), "combo")
        config.setProperty(TAVRA_Config.CPT_Enable_Cut_Marker_Type, 7)
        compare(combo.currentIndex, 2)
        compare(config.getProperty(TAVRA_Config.CPT_Enable_Cut_Marker_Type), 7)
        press(inDialog("saveButton"))
        compare(config.getProperty(TAVRA_Config.CPT_Enable_Cut_Marker_Type), 2)
        compare(settingsFiles.typeAfterRestart(TAVRA_Config.CPT_Enable_Cut_Marker_Type), "int")
    }

    // A field clicked and left, emptied, or given a number out of range
    // writes nothing: 保存 keeps what is stored, not the rounded or clamped
    // number the field shows.
    function test_fieldsLeftWithoutATypedValueKeepTheSetting_data() {
        return [
            { tag: "clicked, 1500 shown as 999", key: TAVRA_Config.CPT_Film_Speed, stored: 1500, keys: [] },
            { tag: "clicked, 2.4 shown as 2", key: TAVRA_Config.CPT_Collect_Speed, stored: 2.4, keys: [] },
            { tag: "emptied", key: TAVRA_Config.CPT_Rectify_Speed, stored: 30, keys: [Qt.Key_Backspace] },
            { tag: "below the range", key: TAVRA_Config.CPT_Rectify_Speed, stored: 30, keys: "-181" },
        ]
    }

    function test_fieldsLeftWithoutATypedValueKeepTheSetting(data) {
        config.setProperty(data.key, data.stored)
        openDialog()
        const spinEditor = editor(data.key)
        const input = findByName(spinEditor, "spinText")
        reveal(spinEditor)
        mouseClick(input)
        verify(input.activeFocus)
        if (data.keys.length > 0)
            input.selectAll()
        for (let i = 0; i < data.keys.length; ++i)
            keyClick(data.keys[i])
        leaveField()
        compare(input.text, findByName(spinEditor, "spin").displayText)
        press(inDialog("saveButton"))
        compare(config.getProperty(data.key), data.stored)
    }

    function test_editSaveAndRestartKeepsTheValue() {
        openDialog()
        const before = settingsFiles.liveFile()
        typeInto(editor(TAVRA_Config.CPT_Collect_Speed), "77")
        const check = findByName(editor(TAVRA_Config.CPT_LOG_DEBUG), "check")
        press(check)
        verify(check.checked)
        compare(config.getProperty(TAVRA_Config.CPT_Collect_Speed), 30)
        compare(config.getProperty(TAVRA_Config.CPT_LOG_DEBUG), false)
        compare(settingsFiles.liveFile(), before)
        press(inDialog("saveButton"))
        verify(dialog().opened)
        compare(config.getProperty(TAVRA_Config.CPT_Collect_Speed), 77)
        compare(config.getProperty(TAVRA_Config.CPT_LOG_DEBUG), true)
        compare(settingsFiles.afterRestart(TAVRA_Config.CPT_Collect_Speed), 77)
        compare(settingsFiles.afterRestart(TAVRA_Config.CPT_LOG_DEBUG), true)
        compare(settingsFiles.typeAfterRestart(TAVRA_Config.CPT_Collect_Speed), "double")
    }

    // Closing is not cancelling the edit: the file stays as it was, the
    // editor keeps the edit, and a later save applies it.
    function test_closedEditLeavesTheFileUntilALaterSave() {
        openDialog()
        const before = settingsFiles.liveFile()
        typeInto(editor(TAVRA_Config.CPT_Rectify_Speed), "55")
        press(findByName(editor(TAVRA_Config.CPT_Cut_Inverse), "check"))
        press(findByName(dialog().contentItem, "closeButton"))
        tryCompare(dialog(), "visible", false, hangMs)
        compare(settingsFiles.liveFile(), before)
        compare(config.getProperty(TAVRA_Config.CPT_Rectify_Speed), 30)

        openDialog()
        keyClick(Qt.Key_Escape)
        tryCompare(dialog(), "visible", false, hangMs)
        compare(settingsFiles.liveFile(), before)

        openDialog()
        compare(findByName(editor(TAVRA_Config.CPT_Rectify_Speed), "spin").value, 55)
        verify(findByName(editor(TAVRA_Config.CPT_Cut_Inverse), "check").checked)
        press(inDialog("saveButton"))
        compare(config.getProperty(TAVRA_Config.CPT_Rectify_Speed), 55)
        compare(config.getProperty(TAVRA_Config.CPT_Cut_Inverse), true)
        verify(settingsFiles.liveFile() !== before)
    }

    function test_printSectionHidesOnlyAfterSave() {
        if (version === 3)
            skip("the flow section is hidden on machines of version 3")
        openDialog()
        const printTitle = config.getShowPropertiesClass()[english ? 4 : 1]
        const check = findByName(editor(TAVRA_Config.CPT_Enable_Print), "check")
        verify(check.checked)
        press(check)
        verify(section(printTitle).visible)
        press(inDialog("saveButton"))
        verify(!section(printTitle).visible)
        press(check)
        press(inDialog("saveButton"))
        verify(section(printTitle).visible)
    }

    function test_printRollerOffHidesItsEditorsAfterSave() {
        if (version === 3)
            skip("the flow section is hidden on machines of version 3")
        openDialog()
        const rollers = [TAVRA_Config.CPT_Print_Roller_Trigger, TAVRA_Config.CPT_Print_Roller_Limit,
                         TAVRA_Config.CPT_Print_Roller_Max]
        rollers.forEach(k => verify(editor(k).visible))
        press(findByName(editor(TAVRA_Config.CPT_Enable_Print_Roller), "check"))
        rollers.forEach(k => verify(editor(k).visible))
        press(inDialog("saveButton"))
        rollers.forEach(k => verify(!editor(k).visible))
        verify(editor(TAVRA_Config.CPT_Film_Roller_Trigger).visible)
        // Printing needs the roller: it went off with it.
        verify(!findByName(editor(TAVRA_Config.CPT_Enable_Print), "check").checked)
    }

    // Restore shows the defaults at once, in every kind of editor, and drops
    // the pending edits: a save afterwards stores what the screen shows.
    function test_restoreDefaults() {
        openDialog()
        config.setProperty(TAVRA_Config.CPT_Film_Roller_Limit, 12)
        config.setProperty(TAVRA_Config.CPT_LOG_ERROR, false)
        config.setProperty(TAVRA_Config.CPT_Enable_Cut_Marker_Type, 2)
        compare(findByName(editor(TAVRA_Config.CPT_Enable_Cut_Marker_Type), "combo").currentIndex, 2)
        typeInto(editor(TAVRA_Config.CPT_Film_Roller_Trigger), "5")

        press(inDialog("restoreDefaultsButton"))
        const box = inDialog("restoreBox")
        tryCompare(box, "opened", true, hangMs)
        const cancel = findByName(box.contentItem, "cancelButton")
        mousePress(cancel, cancel.width / 2, cancel.height / 2)
        tryCompare(box, "visible", false, hangMs)
        compare(config.getProperty(TAVRA_Config.CPT_Film_Roller_Limit), 12)

        press(inDialog("restoreDefaultsButton"))
        confirm("restoreBox")
        compare(findByName(editor(TAVRA_Config.CPT_Film_Roller_Limit), "spin").value, 60)
        verify(findByName(editor(TAVRA_Config.CPT_LOG_ERROR), "check").checked)
        compare(findByName(editor(TAVRA_Config.CPT_Enable_Cut_Marker_Type), "combo").currentIndex, 0)
        compare(findByName(editor(TAVRA_Config.CPT_Film_Roller_Trigger), "spin").value, 80)
        compare(config.getProperty(TAVRA_Config.CPT_Film_Roller_Limit), 60)
        press(inDialog("saveButton"))
        compare(config.getProperty(TAVRA_Config.CPT_Film_Roller_Trigger), 80)
        compare(settingsFiles.afterRestart(TAVRA_Config.CPT_Film_Roller_Trigger), 80)
    }

    function test_saveAsDefaultsRoundTrip() {
        openDialog()
        const defaultsBefore = settingsFiles.defaultFile()
        typeInto(editor(TAVRA_Config.CPT_Collect_Roller_Max), "90")
        press(inDialog("saveDefaultsButton"))
        confirm("saveDefaultsBox")
        compare(config.getProperty(TAVRA_Config.CPT_Collect_Roller_Max), 90)
        verify(settingsFiles.defaultFile() !== defaultsBefore)

        typeInto(editor(TAVRA_Config.CPT_Collect_Roller_Max), "95")
        press(inDialog("saveButton"))
        compare(config.getProperty(TAVRA_Config.CPT_Collect_Roller_Max), 95)
        press(inDialog("restoreDefaultsButton"))
        confirm("restoreBox")
        compare(config.getProperty(TAVRA_Config.CPT_Collect_Roller_Max), 90)
        compare(findByName(editor(TAVRA_Config.CPT_Collect_Roller_Max), "spin").value, 90)

        // Put the original defaults back for the cases that follow.
        for (const key in snapshot)
            config.setProperty(Number(key), snapshot[key])
        config.saveDefaultCfg()
    }

    // A save that cannot reach its file is told in the message popup, over
    // the dialog, naming the file and why; the value stays in use, and the
    // file takes it once it can.
    function test_saveThatCannotBeWrittenIsTold_data() {
        return [
            { tag: "config.ini read-only", file: "config.ini", button: "saveButton" },
            { tag: "configDefault.ini read-only", file: "configDefault.ini", button: "saveDefaultsButton",
              box: "saveDefaultsBox" },
        ]
    }

    function test_saveThatCannotBeWrittenIsTold(data) {
        openDialog()
        const defaultsBefore = settingsFiles.defaultFile()
        verify(settingsFiles.setWritable(data.file, false))
        typeInto(editor(TAVRA_Config.CPT_Collect_Roller_Trigger), "66")
        press(inDialog(data.button))
        if (data.box)
            confirm(data.box)
        const popup = findByName(findByName(win.contentItem, "taskStackPage"), "errorPopup")
        tryCompare(popup, "opened", true, hangMs)
        verify(popup.text.indexOf(settingsFiles.filePath(data.file)) >= 0, popup.text)
        verify(popup.text.indexOf(english ? "file read-only" : "文件只读") >= 0, popup.text)
        compare(config.getProperty(TAVRA_Config.CPT_Collect_Roller_Trigger), 66)
        // Over the dialog: its close button takes the press, the dialog stays.
        const close = findByName(popup.contentItem, "closeButton")
        mousePress(close, close.width / 2, close.height / 2)
        tryCompare(popup, "visible", false, hangMs)
        verify(dialog().opened)
        if (!data.box)
            ignoreWarning(/config.ini takes the counters again/)
        verify(settingsFiles.setWritable(data.file, true))
        if (data.box)
            tryVerify(() => settingsFiles.defaultFile() !== defaultsBefore, hangMs, "tried again")
        compare(settingsFiles.afterRestart(TAVRA_Config.CPT_Collect_Roller_Trigger), 66)
        if (data.box) {
            // The original defaults back for the cases that follow.
            for (const key in snapshot)
                config.setProperty(Number(key), snapshot[key])
            config.saveDefaultCfg()
        }
    }

    function test_folderChooser() {
        openDialog()
        const button = findByName(editor(TAVRA_Config.CPT_Plt_Dir), "pathButton")
        compare(button.text, "")
        const chooser = inDialog("folderDialog")
        press(button)
        tryCompare(chooser, "visible", true, hangMs)
        chooser.reject()
        tryCompare(chooser, "visible", false, hangMs)
        compare(button.text, "")

        press(button)
        tryCompare(chooser, "visible", true, hangMs)
        chooser.selectedFolder = "file:///tmp"
        chooser.accept()
        tryCompare(chooser, "visible", false, hangMs)
        compare(button.text, "/tmp")
        compare(config.getProperty(TAVRA_Config.CPT_Plt_Dir), "", "only after 保存")
        press(inDialog("saveButton"))
        compare(config.getProperty(TAVRA_Config.CPT_Plt_Dir), "/tmp")

        // Reopened on a chosen folder, a rejection keeps it.
        press(button)
        tryCompare(chooser, "visible", true, hangMs)
        chooser.reject()
        tryCompare(chooser, "visible", false, hangMs)
        compare(button.text, "/tmp")
        compare(config.getProperty(TAVRA_Config.CPT_Plt_Dir), "/tmp")
    }

    function test_programChooserOnVersion2() {
        if (version !== 2)
            skip("the program paths belong to machines of version 2")
        openDialog()
        const chooser = inDialog("fileDialog")
        compare(chooser.nameFilters.length, 1)
        verify(chooser.nameFilters[0].indexOf("(*)") > 0, "every file on Linux")
        const button = findByName(editor(TAVRA_Config.CPT_Printer_Soft_Path), "pathButton")
        press(button)
        tryCompare(chooser, "visible", true, hangMs)
        verify(!inDialog("folderDialog").visible)
        // Acceptance goes the way the folder chooser's does; a rejection
        // leaves the parameter and the caption alone.
        chooser.reject()
        tryCompare(chooser, "visible", false, hangMs)
        compare(button.text, "")
        compare(config.getProperty(TAVRA_Config.CPT_Printer_Soft_Path), "")
        // The hot folder takes a folder, not a program.
        press(findByName(editor(TAVRA_Config.CPT_RIIN_Input), "pathButton"))
        const folders = inDialog("folderDialog")
        tryCompare(folders, "visible", true, hangMs)
        folders.reject()
        tryCompare(folders, "visible", false, hangMs)
    }

    function test_refusedWhileAJobRuns() {
        mouseClick(findByName(win.contentItem, "tabButton0"))
        app.taskStatus = 1
        press(findByName(win.contentItem, "settingButton"))
        const tip = findByName(findByName(win.contentItem, "deviceStackPage"), "tipBox")
        tryCompare(tip, "opened", true, hangMs)
        compare(tip.text, english ? "Settings cannot be changed while a job runs" : "任务运行中不可设置")
        verify(!dialog().visible)
        keyClick(Qt.Key_Escape)
        tryCompare(tip, "visible", false, hangMs)
        app.taskStatus = 0
        press(findByName(win.contentItem, "settingButton"))
        tryCompare(dialog(), "opened", true, hangMs)
    }

    // The keyboard rises over the bottom of the window: the dialog makes room
    // so the field being typed into stays above it, and goes back after.
    function test_keyboardLeavesTheFieldInSight() {
        const d = openDialog()
        const panel = findByName(win.contentItem, "inputPanel")
        verify(panel)
        const scroll = inDialog("scrollView")
        scroll.contentItem.contentY = 0
        waitForRendering(d.contentItem)
        // The lowest number field in sight in the first section.
        const fields = editors(sections()[0]).filter(e => e.objectName === "spinEditor" && e.visible)
        let lowest = null
        for (const e of fields) {
            const bottom = e.mapToItem(scroll, 0, e.height).y
            if (bottom <= scroll.height && (!lowest || bottom > lowest.mapToItem(scroll, 0, lowest.height).y))
                lowest = e
        }
        verify(lowest)
        const input = findByName(lowest, "spinText")
        input.forceActiveFocus()
        tryVerify(() => panel.active, hangMs)
        tryCompare(panel, "y", win.height - panel.height, hangMs)
        tryVerify(() => input.mapToItem(null, 0, input.height).y <= panel.y, hangMs,
                  "the field stays above the keyboard")
        verify(input.mapToItem(null, 0, 0).y >= scroll.mapToItem(null, 0, 0).y, "the field stays in the view")
        // The keyboard lies above the dialog's overlay: its keys type into
        // the field while the modal dialog is open.
        const seven = findKey(panel, "7")
        verify(seven, "a key for 7")
        const before = input.text
        mouseClick(seven, seven.width / 2, seven.height / 2)
        tryVerify(() => input.text !== before, hangMs, "the key reached the field")
        verify(input.text.indexOf("7") >= 0)
        verify(d.opened)
        leaveField()
        tryCompare(d, "keyboardLift", 0, hangMs)
    }

    // A label too long for its fixed width is elided, and holding it shows
    // the whole text.
    function test_longLabelsAreElidedAndShownOnHold() {
        openDialog()
        const original = config.getPropertyName(TAVRA_Config.CPT_Film_Speed)
        for (const sec of sections()) {
            for (const e of editors(sec)) {
                const label = findByName(e, "editorLabel")
                if (label && label.truncated)
                    compare(label.elide, Text.ElideRight, label.text)
            }
        }
        // Discovery renames labels per machine type; any of them may be long.
        const longText = "A label far too long for the room a label has beside its field"
        config.setPropertyName(TAVRA_Config.CPT_Film_Speed, longText)
        const label = findByName(editor(TAVRA_Config.CPT_Film_Speed), "editorLabel")
        compare(label.text, longText)
        verify(label.truncated)
        compare(label.width, 110)
        reveal(label)
        mousePress(label, label.width / 2, label.height / 2)
        tryVerify(() => label.ToolTip.visible, hangMs)
        compare(label.ToolTip.text, label.text)
        mouseRelease(label, label.width / 2, label.height / 2)
        tryVerify(() => !label.ToolTip.visible, hangMs)
        config.setPropertyName(TAVRA_Config.CPT_Film_Speed, original)
    }
}
