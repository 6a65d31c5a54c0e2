import QtQuick
import QtTest
import Spoolsmith2024
import TAVRA_Config

// The adjustment page against the simulated machine: what each control
// sends, the gating by the job, the bounded light stream, and the stops of
// the hold-to-run controls.
Item {
    id: root
    width: 1080
    height: 760

    // The task tab's camera object, as the page reaches it by name.
    QtObject {
        id: camera
        property var currCS: null
        property var captured: []
        signal capture(int cameraNo)
        onCapture: (cameraNo) => captured.push(cameraNo)
    }

    Component {
        id: pageComponent
        VideoPage {
            width: root.width
            height: root.height
        }
    }

    TestCase {
        id: testCase
        name: "VideoPage"
        when: windowShown

        function init() {
            config.markLight = 0
            config.checkLight = 0
            config.checkBKLight = 0
            config.showCamera = 0
            config.trim = false
            config.markSize = 3.5
            config.autoRoll = false
            camera.captured = []
            sim.clear()
        }

        function cleanup() {
            sim.setFault("none")
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

        function lightPayloads(selector) {
            return sim.payloads("CCMD;13,1," + selector + ",")
        }

        function test_openingReappliesStoredLights() {
            config.markLight = 120
            config.checkLight = 30
            config.checkBKLight = 255
            openPage()
            tryVerify(() => sim.count(13) === 3, hangMs)
            compare(lightPayloads(1), ["CCMD;13,1,1,1,0,0;"])
            compare(lightPayloads(0), ["CCMD;13,1,0,120,0,0;"])
            // The strip takes the level the other way round.
            compare(lightPayloads(2), ["CCMD;13,1,2,70,0,0;"])
            compare(config.checkBKLight, 1)
            compare(config.markLight, 120)
        }

        function test_openingWithLightsOffSendsNothing() {
            openPage()
            wait(200)
            compare(sim.count(13), 0)
        }

        // A drag in whole steps: stored whole, sent at most about ten times a
        // second, and the last position always goes out on release.
        function test_lightDragIsBounded() {
            const page = openPage()
            const slider = item(page, "slider_markLight")
            const started = Date.now()
            mousePress(slider, 5, slider.height / 2)
            for (let i = 0; i <= 40; ++i) {
                mouseMove(slider, 5 + i * (slider.width - 10) / 40, slider.height / 2)
                wait(15)
            }
            mouseRelease(slider, slider.width - 5, slider.height / 2)
            const elapsed = Date.now() - started
            const sent = lightPayloads(0)
            verify(sent.length >= 2)
            verify(sent.length <= Math.ceil(elapsed / 100) + 2, sent.length + " in " + elapsed + " ms")
            compare(slider.value, Math.round(slider.value))
            compare(config.markLight, slider.value)
            compare(sent[sent.length - 1], "CCMD;13,1,0," + slider.value + ",0,0;")
        }

        function test_markCameraArrowsStopWhatTheyStarted() {
            const page = openPage()
            const up = item(page, "upButton")
            mousePress(up)
            compare(sim.payloads("CCMD;15,"), ["CCMD;15,0,-1;"])
            mouseRelease(up)
            compare(sim.payloads("CCMD;15,"), ["CCMD;15,0,-1;", "CCMD;15,0,0;"])

            // Another camera shown while "←" is held: the feed it started stops.
            sim.clear()
            const left = item(page, "leftButton")
            mousePress(left)
            config.showCamera = 1
            mouseRelease(left)
            compare(sim.payloads("CCMD;15,"), ["CCMD;15,-1,0;", "CCMD;15,0,0;"])
            compare(sim.count(20), 0)
        }

        function test_checkCameraLeftRunsCollectAndTrim() {
            config.showCamera = 1
            config.trim = true
            const page = openPage()
            verify(!item(page, "upButton").enabled)
            verify(!item(page, "downButton").enabled)
            verify(!item(page, "rightButton").enabled)
            sim.clear()
            const left = item(page, "leftButton")
            mousePress(left)
            compare(sim.payloads("CCMD;20,"), ["CCMD;20,1,3,0,30,10000;", "CCMD;20,1,4,0,35,10000;"])
            config.trim = false
            mouseRelease(left)
            compare(sim.payloads("CCMD;20,").slice(2), ["CCMD;20,1,3,0,0,0;", "CCMD;20,1,4,0,0,0;"])

            sim.clear()
            mousePress(left)
            mouseRelease(left)
            compare(sim.payloads("CCMD;20,"), ["CCMD;20,1,3,0,50,10000;", "CCMD;20,1,3,0,0,0;"])
        }

        // A job starting, or the page going, while an arrow is held stops it.
        function test_heldArrowStopsWhenDisabledOrDestroyed() {
            let page = openPage()
            mousePress(item(page, "downButton"))
            sim.reportTaskStatus(1)
            tryCompare(item(page, "downButton"), "enabled", false, hangMs)
            compare(sim.payloads("CCMD;15,"), ["CCMD;15,0,1;", "CCMD;15,0,0;"])
            for (const name of ["upButton", "downButton", "leftButton", "rightButton",
                                "btn_test", "scaleButton", "gotoOriginButton"])
                verify(!item(page, name).enabled, name)
            mouseRelease(item(page, "downButton"))
            sim.reportTaskStatus(2)
            tryCompare(item(page, "rightButton"), "enabled", true, hangMs)

            sim.clear()
            mousePress(item(page, "rightButton"))
            page.destroy()
            // Its stop goes out once the page is gone, whenever the loop gets to that.
            tryVerify(() => sim.payloads("CCMD;15,").length >= 2, hangMs)
            compare(sim.payloads("CCMD;15,"), ["CCMD;15,1,0;", "CCMD;15,0,0;"])
        }

        // A modal popup takes the press away: the held move stops at once.
        function test_heldArrowStopsWhenAPopupTakesThePress() {
            const page = openPage()
            const up = item(page, "upButton")
            mousePress(up)
            const box = item(page, "scaleConfirm")
            box.open()
            tryCompare(box, "opened", true, hangMs)
            compare(sim.payloads("CCMD;15,"), ["CCMD;15,0,-1;", "CCMD;15,0,0;"])
            mouseRelease(up)
            compare(sim.payloads("CCMD;15,").length, 2)
            box.close()
            tryCompare(box, "visible", false, hangMs)
        }

        function test_windUpHeldSetsAutoRoll() {
            const page = openPage()
            const button = item(page, "autoRollButton")
            mousePress(button)
            verify(config.autoRoll)
            mouseRelease(button)
            verify(!config.autoRoll)
        }

        function test_markSizeIsNeverChangedByOpening_data() {
            return [{tag: "3.5", size: 3.5, index: 0, text: "3.5"},
                    {tag: "5.0", size: 5.0, index: 1, text: "5.0"},
                    {tag: "4.0", size: 4.0, index: -1, text: "4"}]
        }
        function test_markSizeIsNeverChangedByOpening(data) {
            config.markSize = data.size
            const page = openPage()
            const box = item(page, "comboBox")
            compare(config.markSize, data.size)
            compare(box.currentIndex, data.index)
            compare(box.displayText, data.text)
            box.activated(1)
            compare(config.markSize, 5.0)
        }

        function test_scaleWithinTenPercentIsSent() {
            const page = openPage()
            const x = item(page, "spb_scalex")
            x.value = 9950
            item(page, "scaleButton").clicked()
            compare(sim.payloads("CCMD;9,"), ["CCMD;9,1,1.0050,1.0000;"])
            compare(x.value, 10000)
            compare(item(page, "spb_scaley").value, 10000)
        }

        function test_scaleFarOffAsksFirst() {
            const page = openPage()
            item(page, "spb_scaley").value = 5000
            item(page, "scaleButton").clicked()
            const box = item(page, "scaleConfirm")
            tryCompare(box, "opened", true, hangMs)
            compare(sim.count(9), 0)
            box.clickedOk()
            compare(sim.payloads("CCMD;9,"), ["CCMD;9,1,1.0000,2.0000;"])
            box.close()
            tryCompare(box, "visible", false, hangMs)
        }

        function test_recogniseCapturesTheShownCamera() {
            const page = openPage()
            item(page, "btn_test").clicked()
            compare(camera.captured, [1])
        }

        // The machine does not answer: the entry shows the machine's pressure again.
        function test_failedPressureWritePutsTheValueBack() {
            const page = openPage()
            const box = item(page, "pressureBox")
            const before = device.pressure
            compare(box.value, before)
            sim.setFault("noReply")
            box.value = before + 50
            box.valueModified()
            compare(device.pressure, before)
            compare(box.value, before)
            sim.setFault("none")
            box.value = before + 50
            box.valueModified()
            compare(sim.payloads("CCMD;7,").pop(), "CCMD;7,1,0," + (before + 50) + ";")
            compare(box.value, before + 50)
        }

        function test_printCopiesFollowsTheSettings() {
            const page = openPage()
            const box = item(page, "printCopiesSpinBox")
            compare(box.value, config.getProperty(TAVRA_Config.CPT_printCopiesOnce))
            config.setProperty(TAVRA_Config.CPT_printCopiesOnce, 7)
            compare(box.value, 7)
            box.value = 3
            box.valueModified()
            compare(config.getProperty(TAVRA_Config.CPT_printCopiesOnce), 3)
            config.setProperty(TAVRA_Config.CPT_printCopiesOnce, 1)
        }

        // The entries bound to config write it on valueModified only.
        function test_settingEntriesWriteConfig() {
            const page = openPage()
            const spacing = item(page, "pageSpacingBox")
            const before = config.pageSpacing
            config.pageSpacing = 1.25
            compare(spacing.value, 125)
            spacing.value = -99900
            compare(config.pageSpacing, 1.25)
            spacing.valueModified()
            compare(config.pageSpacing, -999)
            config.pageSpacing = before

            const knife = item(page, "knifeCompensateBox")
            knife.value = 35
            knife.valueModified()
            compare(config.knifeCompensateVal, 0.35)
            const knifeOn = item(page, "knifeCompensateButton")
            const wasOn = config.knifeCompensate
            knifeOn.toggle()
            compare(config.knifeCompensate, !wasOn)
            knifeOn.toggle()
            compare(config.knifeCompensate, wasOn)

            const offsetY = item(page, "offsetYBox")
            offsetY.value = 1234
            offsetY.valueModified()
            compare(config.markCameraOffsetY, 12.34)
            config.markCameraOffsetY = 0
        }

        function test_originWithoutOneIsReported() {
            const page = openPage()
            item(page, "gotoOriginButton").clicked()
            compare(device.errorMessage, "未设置原点")
        }
    }
}
