import QtQuick
import QtTest
import Spoolsmith2024

// The device tab against the real objects: the figures, the machine choice,
// and what is refused while a job runs.
Item {
    id: root
    width: 1080
    height: 760

    Component {
        id: pageComponent
        DeviceStackPage {
            width: root.width
            height: root.height - 40
        }
    }

    TestCase {
        name: "DeviceStackPage"
        when: windowShown

        function cleanup() {
            sim.reportTaskStatus(2)
            tryCompare(app, "taskStatus", 2, hangMs)
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

        function test_showsTheMachineAndTheFigures() {
            const page = openPage()
            compare(item(page, "identText").text, device.ident)
            compare(item(page, "ipText").text, device.ip)
            compare(item(page, "devIdText").text, device.devId)
            compare(item(page, "firmwareText").text, device.firmware)
            config.todayCut = 0
            compare(item(page, "todayCutText").text, "切割 ： 0.00 m")
            config.todayCut = 12.345
            compare(item(page, "todayCutText").text, "切割 ： 12.35 m")
            config.todayCut = 0
            compare(item(page, "totalMarksText").text,
                    "扫点 ： " + config.totalScanMark + " 成功 " + config.totalScanMarkOk)
            compare(item(page, "versionText").text, "版本 ：Spoolsmith 2024 V" + app.version)
        }

        // No machine announces itself here: the list opens empty and a
        // second click closes it.
        function test_machineListToggles() {
            const page = openPage()
            const button = item(page, "machineButton")
            const list = item(page, "machineList")
            mouseClick(button)
            tryCompare(list, "opened", true, hangMs)
            compare(list.devices.length, app.onlineDevices().length)
            mouseClick(button)
            tryCompare(list, "visible", false, hangMs)
        }

        function test_choosingAMachineSetsBothIdents() {
            const page = openPage()
            const before = device.ident
            page.chooseMachine("ZZ07X3Q1")
            compare(device.ident, "ZZ07X3Q1")
            compare(config.ident, "ZZ07X3Q1")
            device.ident = before
            config.ident = before
            verify(sim.relink())
        }

        function test_jobRefusesMachineChoiceAndSettings() {
            const page = openPage()
            const before = device.ident
            const tip = item(page, "tipBox")
            // The report comes on the driver's thread; bindings follow queued.
            sim.reportTaskStatus(1)
            tryCompare(page, "jobActive", true, hangMs)

            mouseClick(item(page, "machineButton"))
            tryCompare(tip, "opened", true, hangMs)
            compare(tip.text, "任务运行中，请先停止任务")
            verify(!item(page, "machineList").visible)
            tip.close()
            tryCompare(tip, "visible", false, hangMs)

            page.chooseMachine("ZZ07X3Q1")
            compare(device.ident, before)
            tip.close()
            tryCompare(tip, "visible", false, hangMs)

            // The update is not refused: the shut-down ends the job. No
            // updater here, so the program stays and says so.
            device.errorMessage = ""
            item(page, "updateButton").clicked()
            compare(device.errorMessage, "升级程序无法启动")
            verify(!tip.opened)
            device.errorMessage = ""

            mouseClick(item(page, "settingButton"))
            tryCompare(tip, "opened", true, hangMs)
            compare(tip.text, "任务运行中不可设置")
            verify(!item(page, "settingPage").visible)
            tip.close()
            tryCompare(tip, "visible", false, hangMs)
        }

        function test_languageAndAbout() {
            const page = openPage()
            const language = item(page, "languageBox")
            const before = config.language
            compare(language.mod, before)
            language.mod = 1 - before
            language.modModfiy()
            compare(config.language, 1 - before)
            config.language = before

            item(page, "aboutButton").clicked()
            const about = item(page, "aboutPop")
            tryCompare(about, "opened", true, hangMs)
            verify(about.text.length > 0)
            about.close()
            tryCompare(about, "visible", false, hangMs)
        }
    }
}
