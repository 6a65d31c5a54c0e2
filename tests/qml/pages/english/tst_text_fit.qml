import QtQuick
import QtQuick.Controls
import QtTest
import Spoolsmith2024
import TAVRA_Config

// Every page, popup and drop-down in English in the program's window size:
// no text wider (or, wrapped, higher) than its box, none elided, and every
// entry of a drop-down fits its box.
TestCase {
    id: testCase
    name: "TextFit"
    when: windowShown
    visible: true
    width: 1080
    height: 760

    Component {
        id: deviceTab
        DeviceStackPage { width: testCase.width; height: testCase.height }
    }
    Component {
        id: taskTab
        TaskStackPage { width: testCase.width; height: testCase.height }
    }
    Component {
        id: helpTab
        HelpStackPage { width: testCase.width; height: testCase.height }
    }

    TextMetrics { id: metrics }

    property var saved: ({})

    function initTestCase() {
        saved = { print: config.enablePrint, trim: config.trim, version: config.version,
                  scan: config.enableScanAndTrim }
        config.enablePrint = true
    }

    function cleanupTestCase() {
        config.enablePrint = saved.print
        config.trim = saved.trim
        config.enableScanAndTrim = saved.scan
        config.setProperty(TAVRA_Config.CPT_Version, saved.version)
    }

    function cleanup() {
        device.errorMessage = ""
        compare(sim.takeWarnings(), [])
    }

    function fits(width, room) { return width <= room + 1 }

    function entryFaults(texts, font, room, what, out) {
        for (let i = 0; i < texts.length; ++i) {
            metrics.font = font
            metrics.text = texts[i]
            if (!fits(metrics.advanceWidth, room))
                out.push(what + " entry \"" + texts[i] + "\" needs " + Math.ceil(metrics.advanceWidth) + " of " + room)
        }
    }

    // The nearest ancestor that clips what it holds.
    function clipper(item) {
        for (let p = item.parent; p; p = p.parent) {
            if (p.clip)
                return p
        }
        return null
    }

    function faultsIn(item, out) {
        if (!item || !item.visible || item.opacity <= 0 || item.objectName === "inputPanel")
            return out
        // Texts and text inputs (the framework's types are told by their members).
        const isText = item.truncated !== undefined || item.echoMode !== undefined
        if (isText && item.text !== "" && item.width > 0) {
            const label = "\"" + item.text + "\""
            const room = item.width - (item.leftPadding || 0) - (item.rightPadding || 0)
            const end = item.mapToItem(null, item.width, 0).x
            if (item.truncated === true)
                out.push("elided " + label + " needs " + Math.ceil(item.implicitWidth) + " of " + item.width)
            else if (!item.wrapMode && !fits(item.contentWidth, room))
                out.push("cut " + label + " needs " + Math.ceil(item.contentWidth) + " of " + room)
            else if (item.wrapMode && !fits(item.contentHeight, item.height))
                out.push("runs over " + label + " needs " + Math.ceil(item.contentHeight) + " of " + item.height)
            else if (!fits(end, testCase.width))
                out.push("off the window " + label + " ends at " + Math.ceil(end))
            else {
                // Clipped sideways by a box that holds it (scrolling boxes
                // clip up and down only).
                const box = clipper(item)
                const start = item.mapToItem(null, 0, 0).x
                const left = box ? box.mapToItem(null, 0, 0).x : 0
                const right = box ? box.mapToItem(null, box.width, 0).x : testCase.width
                if (start < left - 1 || !fits(end, right))
                    out.push("clipped " + label + " at " + Math.floor(start) + ".." + Math.ceil(end) + " in " + Math.floor(left) + ".." + Math.ceil(right))
            }
        }
        if (typeof item.textAt === "function") {
            const texts = []
            for (let i = 0; i < item.count; ++i)
                texts.push(item.textAt(i))
            const content = item.contentItem
            entryFaults(texts, content.font, content.width - content.leftPadding - content.rightPadding,
                        "drop-down", out)
        } else if (item.names !== undefined && item.partName !== undefined) {
            // The program's own drop-down shows its entries in its text.
            const shown = findChild(item, item.partName + "Text")
            entryFaults(item.names, shown.font, shown.width, "drop-down", out)
        }
        for (let i = 0; i < item.children.length; ++i)
            faultsIn(item.children[i], out)
        return out
    }

    function open(component) {
        const page = createTemporaryObject(component, testCase)
        verify(page)
        return page
    }

    function pushed(name) {
        return tab => {
            tab.pushPage(name)
            tryCompare(tab.stackView, "busy", false, hangMs)
            return tab.stackView.currentItem
        }
    }

    function popup(name) {
        return page => {
            const p = findChild(page, name)
            p.open()
            tryCompare(p, "opened", true, hangMs)
        }
    }

    function test_englishTextFits_data() {
        const paramPopups = ["popup_slit", "popup_tirm", "popup_reset", "popup_save_reset"]
        const rows = [
            { tag: "device tab", page: deviceTab },
            { tag: "machine list", page: deviceTab, show: popup("machineList") },
            { tag: "about box", page: deviceTab, show: popup("aboutPop") },
            { tag: "busy tip", page: deviceTab, show: page => { findChild(page, "tipBox").show(page.busyTip); popup("tipBox")(page) } },
            { tag: "settings dialog", page: deviceTab, show: popup("settingPage") },
            { tag: "start popup, trim", page: taskTab, trim: true, show: tab => popup("startPopup")(tab) },
            { tag: "start popup, collect", page: taskTab, trim: false, show: tab => popup("startPopup")(tab) },
            { tag: "copies drop-down", page: taskTab, show: tab => { mouseClick(findChild(tab, "cutCopiesButton")); tryCompare(findChild(tab, "copiesPopup"), "opened", true, hangMs) } },
            { tag: "cut file", page: taskTab, show: pushed("cut_file") },
            { tag: "print file", page: taskTab, show: pushed("print_file") },
            { tag: "camera and machine", page: taskTab, show: pushed("video") },
        ]
        for (const version of [1, 2, 3]) {
            rows.push({ tag: "task overview, version " + version, page: taskTab, version: version })
            // Label checking off shows the sensor lamps beside the readings.
            for (const trim of [true, false])
                rows.push({ tag: "machine parameters, " + (trim ? "trim" : "collect") + ", version " + version,
                            page: taskTab, version: version, trim: trim, scan: trim, show: pushed("device") })
        }
        for (const name of paramPopups)
            rows.push({ tag: "machine parameters, " + name, page: taskTab,
                        show: tab => popup(name)(pushed("device")(tab)) })
        for (const version of [1, 2, 3])
            rows.push({ tag: "help tab, version " + version, page: helpTab, version: version })
        return rows
    }

    function test_englishTextFits(data) {
        compare(qsTranslate("HelpStackPage", "更新"), "Update", "the English translation is installed")
        if (data.trim !== undefined)
            config.trim = data.trim
        if (data.scan !== undefined)
            config.enableScanAndTrim = data.scan
        if (data.version !== undefined)
            config.setProperty(TAVRA_Config.CPT_Version, data.version)
        const page = open(data.page)
        if (data.show)
            data.show(page)
        // Laid out by the next frame, asked for here: a popup already open
        // would draw none by itself.
        page.Window.window.update()
        verify(waitForRendering(page, hangMs), "a frame drawn")
        compare(faultsIn(testCase, faultsIn(testCase.Overlay.overlay, [])), [])
    }

    // The error popup's text is not elided: the longest message of a save
    // that could not be written, on a long program folder, fits its box.
    function test_settingsNotSavedFitsTheErrorPopup() {
        const tab = open(taskTab)
        const file = "C:\\Program Files\\Spoolsmith\\configDefault.ini"
        device.errorMessage = qsTranslate("SettingsSaveWatch",
            "默认设置未能保存到 %1（%2），本次运行仍有效，将自动重试。")
            .arg(file).arg(qsTranslate("SettingsSaveWatch", "磁盘已满或无法写入"))
        verify(device.errorMessage.indexOf("Defaults not saved") === 0, device.errorMessage)
        tryCompare(tab.errorPopup, "opened", true, hangMs)
        const text = findChild(tab.errorPopup.contentItem, "messageText")
        verify(fits(text.contentHeight, text.height), "needs " + Math.ceil(text.contentHeight) + " of " + text.height)
        verify(fits(text.contentWidth, text.width))
    }
}
