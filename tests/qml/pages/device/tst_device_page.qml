import QtQuick
import QtQuick.VirtualKeyboard
import QtTest
import Spoolsmith2024
import TAVRA_Config

// The machine parameters page against the simulated machine: the machine
// writes, a refused write put back, the settings rows, and the resets.
Item {
    id: root
    width: 1080
    height: 760

    Component {
        id: pageComponent
        DevicePage {
            width: root.width
            height: root.height
        }
    }

    // The keyboard in the scene, as the main window has it: a field in focus
    // brings it up.
    InputPanel {
        id: inputPanel
        y: root.height
        width: root.width
    }

    Component {
        id: helpComponent
        HelpStackPage {
            width: root.width
            height: root.height
        }
    }

    TestCase {
        name: "DevicePage"
        when: windowShown

        function init() {
            config.setProperty(TAVRA_Config.CPT_Enable_ScanAndTrim, true)
            config.trim = false
            sim.clear()
        }

        function cleanup() {
            sim.setFault("none")
            if (!sim.linked())
                verify(sim.relink())
            sim.reportTaskStatus(2)
            tryCompare(app, "taskStatus", 2, hangMs)
            config.setProperty(TAVRA_Config.CPT_wait_TcpRet_Msecs_Max, 10000)
            device.errorMessage = ""
            compare(sim.takeWarnings(), [])
        }

        function openPage() {
            const page = createTemporaryObject(pageComponent, root)
            verify(page)
            waitForRendering(page)
            return page
        }

        function item(page, name) {
            const found = findChild(page, name)
            verify(found, name)
            return found
        }

        function test_openingSendsNothing() {
            openPage()
            wait(200)
            compare(sim.payloads("CCMD;6,"), [])
            compare(sim.payloads("CCMD;7,"), [])
            compare(sim.payloads("CCMD;10,"), [])
        }

        function test_machineWritesFollowTheReply() {
            const page = openPage()
            const speed = item(page, "speedBox")
            speed.value = 250
            speed.valueModified()
            compare(sim.payloads("CCMD;6,"), ["CCMD;6,1,0,250;"])
            compare(device.speed, 250)
            compare(speed.value, 250)

            const mode = item(page, "cutModelBox")
            mode.mod = 2
            mode.modModfiy()
            compare(sim.payloads("CCMD;10,"), ["CCMD;10,1,2;"])
            compare(device.cutModel, 2)
            // Still bound: a mode the machine reports elsewhere shows.
            device.wCutModel(0)
            tryCompare(mode, "mod", 0, hangMs)
        }

        // The machine does not answer: the boxes show its values again.
        function test_unansweredWritesPutTheValuesBack() {
            const page = openPage()
            const speed = item(page, "speedBox")
            const mode = item(page, "cutModelBox")
            const before = device.speed
            sim.setFault("noReply")
            speed.value = before + 100
            speed.valueModified()
            compare(speed.value, before)
            device.errorMessage = ""
            mode.mod = 1
            mode.modModfiy()
            compare(mode.mod, device.cutModel)
            verify(mode.mod !== 1)
            compare(device.errorMessage, "切割模式设置失败，请检查设备后重试")
            device.errorMessage = ""
        }

        function test_settingsRowsWriteConfig() {
            const page = openPage()
            verify(item(page, "collectRow").visible)
            verify(!item(page, "rectifyRow").visible)
            item(page, "collectSwitch").trim = true
            verify(config.trim)

            const x = item(page, "offsetXBox")
            x.value = -1250
            x.valueModified()
            compare(config.markCameraOffsetX, -12.5)
            config.markCameraOffsetX = 0

            config.setProperty(TAVRA_Config.CPT_Enable_ScanAndTrim, false)
            verify(!item(page, "collectRow").visible)
            verify(!item(page, "trimResetButton").visible)
            const guide = item(page, "rectifySwitch")
            compare(guide.text, "关")
            guide.toggle()
            verify(config.enableRectify)
            compare(guide.text, "开")
            guide.toggle()
            verify(!config.enableRectify)
        }

        function test_webGuideReset() {
            const page = openPage()
            const box = item(page, "popup_slit")
            config.setProperty(TAVRA_Config.CPT_wait_TcpRet_Msecs_Max, 1000)
            config.rectifyReset = false
            box.clickedOk()
            compare(sim.payloads("CCMD;2,"), ["CCMD;2,0,4;"])
            verify(config.rectifyReset)

            // No answer: not recorded, and the operator is told.
            config.rectifyReset = false
            sim.setFault("noReply")
            box.clickedOk()
            verify(!config.rectifyReset)
            verify(device.errorMessage !== "")
        }

        function test_trimResetRecordedOnlyWhenSent() {
            const page = openPage()
            const box = item(page, "popup_tirm")
            config.trimReset = false
            box.clickedOk()
            tryVerify(() => sim.payloads("CCMD;2,").length === 1, hangMs)
            compare(sim.payloads("CCMD;2,"), ["CCMD;2,3,1;"])
            verify(config.trimReset)

            config.trimReset = false
            sim.dropConnections()
            tryCompare(device, "linked", false, hangMs)
            box.clickedOk()
            verify(!config.trimReset)
            verify(device.errorMessage !== "")
        }

        // A field left emptied, below its range, or only clicked writes nothing
        // and sends nothing; the box shows its value again.
        function test_numberFieldsLeftWithoutATypedValueWriteNothing_data() {
            return [
                { tag: "pressure cleared", box: "pressureBox", keys: [Qt.Key_Backspace] },
                { tag: "speed below its range", box: "speedBox", keys: "5" },
                { tag: "camera offset clicked and left", box: "offsetXBox", keys: [] },
            ]
        }

        function test_numberFieldsLeftWithoutATypedValueWriteNothing(data) {
            config.markCameraOffsetX = 12.345
            const page = openPage()
            const box = item(page, data.box)
            const before = box.value
            const speed = device.speed
            const pressure = device.pressure
            sim.clear()
            box.contentItem.forceActiveFocus()
            verify(box.contentItem.activeFocus)
            if (data.keys.length > 0)
                box.contentItem.selectAll()
            for (let i = 0; i < data.keys.length; ++i)
                keyClick(data.keys[i])
            item(page, "deviceFrame").forceActiveFocus()
            verify(!box.contentItem.activeFocus)
            tryVerify(() => !inputPanel.active, hangMs)
            compare(box.value, before)
            compare(box.contentItem.text, box.displayText)
            compare(config.markCameraOffsetX, 12.345)
            compare(device.speed, speed)
            compare(device.pressure, pressure)
            compare(sim.payloads("CCMD;6,"), [])
            compare(sim.payloads("CCMD;7,"), [])
            config.markCameraOffsetX = 0
        }

        // Under a job, running or paused, the motor resets and the firmware
        // update are refused with the busy tip: nothing goes to the machine.
        function test_refusedUnderAJob_data() {
            return [
                { tag: "web-guide reset, running", status: 1, button: "rectifyResetButton", box: "popup_slit",
                  sent: "CCMD;2," },
                { tag: "trim reset, paused", status: 0, button: "trimResetButton", box: "popup_tirm",
                  sent: "CCMD;2," },
                { tag: "firmware update, paused", status: 0, button: "updateButton", box: "", sent: "UPG;" },
            ]
        }

        function test_refusedUnderAJob(data) {
            const busy = "任务运行中，请先停止任务"
            const firmware = data.box === ""
            const page = firmware ? createTemporaryObject(helpComponent, root) : openPage()
            verify(page)
            if (firmware) {
                const file = sim.programDir() + "/firmware.bin"
                verify(sim.writeTextFile(file, "firmware"))
                device.updateFile = file
            }
            config.rectifyReset = false
            config.trimReset = false
            sim.reportTaskStatus(data.status)
            tryCompare(page, "jobIdle", false, hangMs)
            sim.clear()
            const button = item(page, data.button)
            if (firmware) {
                verify(!button.enabled)
                device.update()
                device.updateFile = ""
            } else {
                verify(button.enabled)
                mouseClick(button)
                verify(!item(page, data.box).opened)
                compare(device.errorMessage, busy)
                // A job that began while the box was open.
                device.errorMessage = ""
                item(page, data.box).clickedOk()
            }
            compare(device.errorMessage, busy)
            compare(sim.payloads(data.sent), [])
            verify(!config.rectifyReset && !config.trimReset)
        }

        function test_factorySetOnlyWithoutAJob() {
            const page = openPage()
            item(page, "popup_save_reset").clickedOk()
            compare(sim.payloads("CCMD;16,"), ["CCMD;16,0;"])
            sim.reportTaskStatus(1)
            tryCompare(item(page, "factoryResetButton"), "enabled", false, hangMs)
            verify(!item(page, "factorySaveButton").enabled)
            item(page, "popup_reset").clickedOk()
            compare(sim.payloads("CCMD;16,"), ["CCMD;16,0;"])
        }
    }
}
