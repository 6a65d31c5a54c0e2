import QtQuick
import QtTest
import Spoolsmith2024

// The start popup against the real settings, application and driver.
TestCase {
    id: testCase
    name: "TaskStartPopup"
    when: windowShown
    visible: true
    width: 800
    height: 600

    Component {
        id: popupComponent
        TaskStartPopup {}
    }

    property var saved: ({})

    function initTestCase() {
        saved = { trim: config.trim, rectify: config.rectifyReset, trimReset: config.trimReset,
                  cut: app.cutTaskCopies, print: app.printTaskCopies }
    }

    function cleanup() {
        config.trim = saved.trim
        config.rectifyReset = saved.rectify
        config.trimReset = saved.trimReset
        app.cutTaskCopies = saved.cut
        app.printTaskCopies = saved.print
        device.errorMessage = ""
        compare(sim.takeWarnings(), [])
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

    function openPopup() {
        const popup = createTemporaryObject(popupComponent, testCase)
        verify(popup)
        popup.open()
        tryCompare(popup, "opened", true, hangMs)
        return popup
    }

    function button(popup, name) {
        const b = find(popup.contentItem, name)
        verify(b, name)
        return b
    }

    function visibleButtons(popup) {
        const column = find(popup.contentItem, "startButtons")
        const names = []
        for (let i = 0; i < column.children.length; ++i) {
            const b = column.children[i]
            if (b.visible)
                names.push(b.objectName)
        }
        return names
    }

    function press(b) {
        mousePress(b, b.width / 2, b.height / 2)
        mouseRelease(b, b.width / 2, b.height / 2)
    }

    function test_buttonsByModeAndResets_data() {
        return [
            { tag: "first opening, trim mode", trim: true, rectify: false, trimReset: false,
              shown: ["rectifyResetButton", "trimResetButton", "recountButton", "startButton"] },
            { tag: "first opening, collect mode", trim: false, rectify: false, trimReset: false,
              shown: ["rectifyResetButton", "recountButton", "startButton"] },
            { tag: "both homings done", trim: true, rectify: true, trimReset: true,
              shown: ["recountButton", "startButton"] },
            { tag: "trim homed, then collect to trim", trim: true, rectify: false, trimReset: true,
              shown: ["rectifyResetButton", "recountButton", "startButton"] },
        ]
    }

    function test_buttonsByModeAndResets(data) {
        config.trim = data.trim
        config.rectifyReset = data.rectify
        config.trimReset = data.trimReset
        const popup = openPopup()
        compare(visibleButtons(popup), data.shown)
        // The visible buttons close up from the top of the column.
        const first = button(popup, data.shown[0])
        compare(first.y, 0)
        compare(first.height, 50)
        compare(first.width, Math.round(popup.width * 0.7))
        compare(popup.width, 220)
        compare(popup.height, 370)
    }

    // Both homings reach the machine; done ones leave the popup for the run.
    function test_homingsReachTheMachine() {
        config.trim = true
        config.rectifyReset = false
        config.trimReset = false
        const popup = openPopup()
        sim.clear()
        press(button(popup, "rectifyResetButton"))
        compare(sim.payloads("CCMD;2,0,4;").length, 1)
        compare(config.rectifyReset, true)
        press(button(popup, "trimResetButton"))
        tryCompare(config, "trimReset", true, hangMs)
        tryVerify(() => sim.payloads("CCMD;2,3,1;").length === 1, hangMs)
        compare(visibleButtons(popup), ["recountButton", "startButton"])
        compare(device.errorMessage, "")
        verify(popup.opened)
    }

    // Without a machine both homings fail at once: the buttons stay for
    // another try and the operator is told.
    function test_homingsWithoutMachine() {
        config.trim = true
        config.rectifyReset = false
        config.trimReset = false
        const popup = openPopup()
        sim.dropConnections()
        tryVerify(() => !sim.linked(), hangMs)
        press(button(popup, "rectifyResetButton"))
        compare(config.rectifyReset, false)
        compare(device.errorMessage, qsTr("纠偏电机复位失败，请检查设备后重试"))
        device.errorMessage = ""
        press(button(popup, "trimResetButton"))
        compare(config.trimReset, false)
        compare(device.errorMessage, qsTr("裁断电机复位未发出，请检查设备后重试"))
        verify(button(popup, "trimResetButton").visible)
        verify(popup.opened)
        verify(sim.relink())
    }

    function test_recountKeepsThePopupOpen() {
        const popup = openPopup()
        const spy = createTemporaryObject(signalSpyComponent, testCase,
                                          { target: app, signalName: "cutCopiesChanged" })
        press(button(popup, "recountButton"))
        compare(app.cutCopies, 0)
        compare(app.printCopies, 0)
        // Clearing cleared counters signals nothing.
        press(button(popup, "recountButton"))
        compare(spy.count, 0)
        verify(popup.opened)
    }

    Component { id: signalSpyComponent; SignalSpy {} }

    // A refused start closes the popup like a good one; the reason is on the
    // driver's message and no job runs.
    function test_refusedStartClosesWithItsReason() {
        app.cutTaskCopies = 0
        app.printTaskCopies = 0
        const popup = openPopup()
        const b = button(popup, "startButton")
        const at = b.mapToItem(testCase, 5, 5)
        mousePress(b, 5, 5)
        tryCompare(popup, "visible", false, hangMs)
        mouseRelease(testCase, at.x, at.y)
        compare(app.taskStatus, 2)
        verify(device.errorMessage.indexOf(qsTranslate("SpoolsmithApp", "任务份数不能为0 \n")) >= 0,
               device.errorMessage)
    }

    function test_escapeClosesWithoutAction() {
        config.rectifyReset = false
        const popup = openPopup()
        // Its parent covers the window: a press on the dimmed area is not
        // outside it.
        mouseClick(testCase, 5, 5)
        verify(popup.opened)
        verify(popup.visible)
        keyClick(Qt.Key_Escape)
        tryCompare(popup, "visible", false, hangMs)
        compare(config.rectifyReset, false)
        compare(device.errorMessage, "")
    }

    function test_closeButtonClosesOnPress() {
        const popup = openPopup()
        const close = find(popup.contentItem, "closeButton")
        const at = close.mapToItem(testCase, 5, 5)
        mousePress(close, 5, 5)
        tryCompare(popup, "visible", false, hangMs)
        mouseRelease(testCase, at.x, at.y)
        compare(app.taskStatus, 2)
    }
}
