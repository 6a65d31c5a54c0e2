import QtQuick
import QtQuick.Window
import QtTest
import Spoolsmith2024
import TAVRA_Config

// The machine status panel against the driver linked to the simulator, with
// the poll and collect cycles running: lamps, banner, readings, diagrams and
// the hold-to-wind button follow what the machine reports.
TestCase {
    id: testCase
    name: "StatusPanel"
    when: windowShown
    visible: true
    width: 900
    height: 640

    Component {
        id: panelComponent
        DeviceFrame {
            width: 880
            height: 600
            color: "white"
        }
    }
    Component {
        id: otherWindow
        // Another top-level window, not a transient of the test's.
        Window {
            width: 100
            height: 100
            visible: true
        }
    }

    // A panel on a page that scrolls: a drag takes the press from the button.
    Component {
        id: flickComponent
        Flickable {
            width: 880
            height: 400
            contentWidth: 880
            contentHeight: 1200
            property alias frame: inner
            DeviceFrame {
                id: inner
                width: 880
                height: 600
                color: "white"
            }
        }
    }

    property var panel: null

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

    // Readings that set no condition bit and start no motor.
    function quietRollers(collect) {
        sim.setRollers(config.gyroscopeTrigger, 80, 85, collect === undefined ? 70 : collect)
    }

    function init() {
        testCase.Window.window.requestActivate()
        tryVerify(() => testCase.Window.active, hangMs)
        config.enableScanAndTrim = false
        quietRollers()
        device.polling = true
        tryCompare(device, "collectRoller", 70, hangMs)
        tryCompare(device, "deviceState", 0, hangMs)
        panel = createTemporaryObject(panelComponent, testCase)
        sim.clear()
    }

    function cleanup() {
        if (panel)
            panel.destroy()
        panel = null
        config.autoRoll = false
        device.polling = false
        config.enableRectify = false
        config.enableScanAndTrim = true
        config.enablePrintRoller = true
        config.enableGyroscope = true
        config.collectRollerLimit = 60
        config.collectRollerMax = 100
        config.setProperty(TAVRA_Config.CPT_Version, 0)
        sim.setSensor(6, false)
        sim.setSensor(7, false)
        quietRollers()
        device.deviceState = 0
        compare(sim.takeWarnings(), [])
    }

    function red(c) { return c.r === 1 && c.g === 0 && c.b === 0 }
    function black(c) { return c.r === 0 && c.g === 0 && c.b === 0 }

    // The collect cycle reads the sensors with the web guide on or off; only
    // the guide turns the loss of both into an error.
    function test_lampsFollowTheEdgeSensors_data() {
        return [{ tag: "guide on", rectify: true }, { tag: "guide off", rectify: false }]
    }

    function test_lampsFollowTheEdgeSensors(data) {
        const bar = find(panel, "sensorBar")
        const s6 = find(bar, "sensor6Lamp")
        const s7 = find(bar, "sensor7Lamp")
        verify(bar.visible)
        compare(bar.height, 20)
        compare(s6.width, 10)
        compare(bar.width, find(bar, "sensor6Label").width + find(bar, "sensor7Label").width + 2 * 10 + 3 * 5)
        compare(s6.y + s6.height / 2, bar.height / 2)
        verify(bar.x + bar.width <= panel.width - 10 + 0.5)
        config.enableRectify = data.rectify
        sim.setSensor(6, true)
        tryVerify(() => red(s6.color), hangMs)
        verify(black(s7.color))
        sim.setSensor(7, true)
        tryVerify(() => red(s7.color), hangMs)
        verify(red(s6.color))
        sim.setSensor(6, false)
        tryVerify(() => black(s6.color), hangMs)
        verify(red(s7.color))
        // Neither sensor: both black, and with the guide on its error is on
        // the banner.
        sim.setSensor(7, false)
        tryVerify(() => black(s6.color) && black(s7.color), hangMs)
        const banner = find(panel, "banner")
        if (data.rectify) {
            tryCompare(banner, "visible", true, hangMs)
            tryVerify(() => find(panel, "text_dev_state").text.indexOf("纠偏错误") >= 0, hangMs)
        } else {
            verify(!banner.visible)
        }
        // With label checking on, the lamps are hidden.
        config.enableScanAndTrim = true
        verify(!bar.visible)
    }

    function test_bannerAndReadingsFollowTheRollers() {
        const banner = find(panel, "banner")
        const text = find(panel, "text_dev_state")
        verify(!banner.visible)
        compare(find(panel, "collectRollerValue").text, "70.0 cm")
        compare(find(panel, "filmRollerValue").text, "85.0 cm")
        compare(find(panel, "printRollerValue").text, "80.0 cm")
        compare(find(panel, "gyroscopeValue").text, config.gyroscopeTrigger.toFixed(1) + " °")

        // Collect roller below its limit, film roller above its max.
        sim.setRollers(config.gyroscopeTrigger, 80, 104.25, 50)
        tryCompare(banner, "visible", true, hangMs)
        tryVerify(() => text.text.indexOf("收纸容纸限位") >= 0 && text.text.indexOf("覆膜容纸过多") >= 0, hangMs)
        compare(text.text, device.deviceStateString())
        compare(find(panel, "collectRollerValue").text, "50.0 cm")
        compare(find(panel, "filmRollerValue").text, "104.3 cm")
        compare(banner.width, panel.width - 60)
        compare(banner.height, text.height + 30)
        compare(banner.x + banner.width / 2, panel.width / 2)

        // Back in range: the banner goes.
        quietRollers()
        tryCompare(banner, "visible", false, hangMs)
        compare(find(panel, "collectRollerValue").text, "70.0 cm")
    }

    function test_bannerWordsFollowTheSettingWithTheSameBits() {
        const text = find(panel, "text_dev_state")
        // Gyroscope beyond its limit: bit 0x1, whose words depend on the
        // scan-and-trim setting.
        sim.setRollers(config.gyroscopeLimit + 5, 80, 85, 70)
        tryVerify(() => (device.deviceState & 0x1) !== 0, hangMs)
        tryVerify(() => text.text.indexOf("排废限位") >= 0, hangMs)
        const bits = device.deviceState
        config.enableScanAndTrim = true
        compare(device.deviceState, bits)
        verify(text.text.indexOf("送纸限位") >= 0)
        verify(text.text.indexOf("排废限位") < 0)
    }

    function test_bannerWordsFollowANewAxisLimitReport() {
        const banner = find(panel, "banner")
        const text = find(panel, "text_dev_state")
        sim.reportAxisLimit(0, 1200)
        tryVerify(() => (device.deviceState & 0x100) !== 0, hangMs)
        tryCompare(banner, "visible", true, hangMs)
        tryVerify(() => text.text.indexOf("X轴限位 23,0,1200") === 0, hangMs)
        // The other axis: the same bits, new words.
        const bits = device.deviceState
        sim.reportAxisLimit(1, 7)
        tryVerify(() => text.text.indexOf("Y轴限位 23,1,7") === 0, hangMs)
        compare(device.deviceState, bits)
        compare(text.text, device.deviceStateString())
    }

    function test_bottomRowHidesPairsWithoutGaps() {
        const printLabel = find(panel, "printRollerLabel")
        const gyroLabel = find(panel, "gyroscopeLabel")
        const printX = printLabel.x
        verify(gyroLabel.x > printX)
        config.enablePrintRoller = false
        verify(!printLabel.visible && !find(panel, "printRollerValue").visible)
        tryCompare(gyroLabel, "x", printX, hangMs)
        config.enableGyroscope = false
        verify(!gyroLabel.visible && !find(panel, "gyroscopeValue").visible)
        // A negative reading keeps its sign, zero keeps one decimal.
        config.enableGyroscope = true
        sim.setRollers(-0.04, 0, 85, 70)
        tryCompare(find(panel, "gyroscopeValue"), "text", "-0.0 °", hangMs)
        tryCompare(find(panel, "printRollerValue"), "text", "0.0 cm", hangMs)
    }

    function test_diagramOfTheVersionOnly() {
        const v = [find(panel, "deviceFrameV1"), find(panel, "deviceFrameV2"), find(panel, "deviceFrameV3")]
        for (const version of [1, 2, 3, 0, 7]) {
            config.setProperty(TAVRA_Config.CPT_Version, version)
            for (let i = 0; i < 3; ++i)
                compare(v[i].visible, version === i + 1, "version " + version + " diagram " + (i + 1))
        }
        // Every diagram fills the area and is drawn at its painted size.
        const area = find(panel, "diagram_area")
        for (let i = 0; i < 3; ++i) {
            compare(v[i].width, area.width)
            compare(v[i].height, area.height)
            verify(v[i].coef > 0)
        }
        compare(area.x, 5)
        compare(area.width, panel.width - 10)
    }

    function sliderTop(slider, base, reading, limit, max) {
        return slider.coef * (base + 80 * (reading - limit) / (max - limit))
    }

    function test_slidersFollowReadingsAndLimits() {
        config.setProperty(TAVRA_Config.CPT_Version, 1)
        const v1 = find(panel, "deviceFrameV1")
        const collect = find(v1, "receivingCircle")
        const left = find(v1, "printCircleleft")
        const right = find(v1, "printCircleright")
        verify(Math.abs(collect.y - sliderTop(collect, 100, 70, 60, 100)) < 0.01)
        verify(Math.abs(left.y - sliderTop(left, 100, 80, 60, 100)) < 0.01)
        compare(left.y, right.y)
        // At the limit: B; at the max: B + 80; beyond: beyond.
        quietRollers(60)
        tryVerify(() => Math.abs(collect.y - collect.coef * 100) < 0.01, hangMs)
        quietRollers(100)
        tryVerify(() => Math.abs(collect.y - collect.coef * 180) < 0.01, hangMs)
        quietRollers(110)
        tryVerify(() => Math.abs(collect.y - collect.coef * 200) < 0.01, hangMs)
        // A changed limit moves the slider without a new reading.
        config.collectRollerLimit = 90
        verify(Math.abs(collect.y - collect.coef * (100 + 80 * 20 / 10)) < 0.01)
        // No span: the slider stands at one end, never at NaN.
        config.collectRollerMax = 90
        verify(isFinite(collect.y))
        compare(collect.y, collect.coef * 180)
        quietRollers(70)
        tryVerify(() => Math.abs(collect.y - collect.coef * 100) < 0.01, hangMs)
        // The print sliders follow the reading with the print roller off too.
        config.enablePrintRoller = false
        sim.setRollers(config.gyroscopeTrigger, 100, 85, 70)
        tryVerify(() => Math.abs(left.y - left.coef * 180) < 0.01, hangMs)
    }

    function test_diagramScalesWithThePanel() {
        const v2 = find(panel, "deviceFrameV2")
        const img = find(v2, "img_dev")
        const feed = find(v2, "feedMotor")
        compare(v2.coef, img.paintedWidth / 842)
        const relX = feed.x / img.paintedWidth
        const relH = feed.height / img.paintedHeight
        panel.width = 500
        panel.height = 420
        tryVerify(() => Math.abs(v2.coef - img.paintedWidth / 842) < 1e-9, hangMs)
        verify(Math.abs(feed.x / img.paintedWidth - relX) < 1e-6)
        verify(Math.abs(feed.height / img.paintedHeight - relH) < 1e-6)
        compare(feed.sourceSize.height, Math.round(feed.height))
        // Version 3 renders its background at the diagram's own size.
        const v3 = find(panel, "deviceFrameV3")
        compare(find(v3, "img_dev").sourceSize.width, Math.round(v3.width))
    }

    function test_wheelsTurnWithTheCollectMotor() {
        const v3 = find(panel, "deviceFrameV3")
        const rewind = find(v3, "secondCircle")
        const feed = find(v3, "firstCircle")
        compare(rewind.rotation, 0)
        // The collect roller full: the collect worker winds, the wheel turns.
        quietRollers(95)
        tryCompare(device, "collectMotorRunning", true, hangMs)
        tryVerify(() => rewind.rotation > 0 && rewind.rotation < 360, hangMs)
        compare(feed.rotation, 0)
        // Wound down below the trigger: the motor stops, the wheel stays put.
        quietRollers(70)
        tryCompare(device, "collectMotorRunning", false, hangMs)
        const angle = rewind.rotation
        wait(150)
        compare(rewind.rotation, angle)
    }

    function test_wheelRestartsAt360() {
        const v1 = find(panel, "deviceFrameV1")
        const film = find(v1, "laminatingFilm")
        const bar = find(v1, "laminatingBar")
        // The film flag by hand: no film speed command may set it meanwhile.
        device.polling = false
        device.filmMotorRunning = true
        tryVerify(() => film.rotation > 0 && film.rotation < 340, hangMs)
        device.filmMotorRunning = false
        const stopped = film.rotation
        device.filmMotorRunning = true
        verify(film.rotation > 350, "restarted at " + film.rotation + " after " + stopped)
        compare(bar.rotation, 0)
        device.filmMotorRunning = false
    }

    function test_holdToWindOnPressUntilRelease() {
        const area = find(panel, "windArea")
        const glyph = find(panel, "windGlyph")
        compare(area.width, 36)
        compare(config.autoRoll, false)
        verify(glyph.color.r < 0.6 && glyph.color.g > 0.4)
        mousePress(area, 18, 18)
        compare(config.autoRoll, true)
        verify(glyph.color.r === 1 && glyph.color.g === 0)
        // The collect roller between limit and trigger: winding to the limit.
        tryVerify(() => sim.payloads("CCMD;20,1,3,0,30,").length > 0, hangMs)
        tryCompare(device, "collectMotorRunning", true, hangMs)
        // Released outside: the hold ends all the same.
        mouseMove(testCase, 400, 400)
        mouseRelease(testCase, 400, 400)
        compare(config.autoRoll, false)
        tryVerify(() => sim.payloads("CCMD;20,1,3,0,0,0").length > 0, hangMs)
        tryCompare(device, "collectMotorRunning", false, hangMs)
    }

    function test_holdToWindEndsWithoutARelease() {
        const area = find(panel, "windArea")
        // Disabled while held.
        mousePress(area, 18, 18)
        compare(config.autoRoll, true)
        panel.enabled = false
        compare(config.autoRoll, false)
        mouseRelease(testCase, 400, 400)
        panel.enabled = true

        // Hidden while held.
        mousePress(area, 18, 18)
        compare(config.autoRoll, true)
        panel.visible = false
        compare(config.autoRoll, false)
        mouseRelease(testCase, 400, 400)
        panel.visible = true

        // The window loses the focus while held.
        mousePress(area, 18, 18)
        compare(config.autoRoll, true)
        const other = otherWindow.createObject(null)
        tryVerify(() => other.visible, hangMs)
        other.requestActivate()
        tryVerify(() => !testCase.Window.active, hangMs)
        compare(config.autoRoll, false)
        other.destroy()
        testCase.Window.window.requestActivate()
        tryVerify(() => testCase.Window.active, hangMs)
        mouseRelease(testCase, 400, 400)

        // The page goes away while held.
        mousePress(area, 18, 18)
        compare(config.autoRoll, true)
        panel.destroy()
        panel = null
        tryCompare(config, "autoRoll", false, hangMs)
        mouseRelease(testCase, 400, 400)
    }

    function test_holdToWindEndsWhenThePressIsTaken() {
        const flick = createTemporaryObject(flickComponent, testCase, { x: 0, y: 0, z: 10 })
        const area = find(flick.frame, "windArea")
        mousePress(area, 18, 18)
        compare(config.autoRoll, true)
        for (let dy = 5; dy <= 80; dy += 5)
            mouseMove(area, 18, 18 + dy)
        tryCompare(flick, "dragging", true, hangMs)
        compare(config.autoRoll, false)
        mouseRelease(area, 18, 98)
        compare(config.autoRoll, false)
    }

    function test_holdOfOnePanelIsNotEndedByAnother() {
        // Both pages carry a panel; only the one held ends the hold.
        const second = createTemporaryObject(panelComponent, testCase, { x: 1000 })
        const area = find(panel, "windArea")
        mousePress(area, 18, 18)
        compare(config.autoRoll, true)
        second.destroy()
        wait(0)
        compare(config.autoRoll, true)
        mouseRelease(area, 18, 18)
        compare(config.autoRoll, false)
    }
}
