import QtQuick
import QtQuick.Controls
import QtQuick.Window
import QtTest
import Spoolsmith2024

// The firmware-update tab against the real settings object and driver.
TestCase {
    id: testCase
    name: "HelpStackPage"
    when: windowShown
    width: 1080
    height: 760

    // In a window of its own, as on the main window's page stack.
    Component {
        id: helpComponent
        Window {
            width: 1080
            height: 760
            visible: true
            property alias page: help
            HelpStackPage { id: help; anchors.fill: parent }
        }
    }

    function findByName(item, name) {
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

    property int savedVersion: 0

    function initTestCase() { savedVersion = config.version }

    function cleanup() {
        config.version = savedVersion
        device.updateProgress = 0
        device.updateFile = ""
    }

    function createPage(version) {
        config.version = version
        const win = createTemporaryObject(helpComponent, testCase)
        verify(win)
        tryCompare(win, "visible", true, hangMs)
        waitForRendering(win.contentItem)
        return win.page
    }

    function test_machinePictureFollowsTheVersion() {
        const page = createPage(2)
        const picture = findByName(page, "machinePicture")
        compare(picture.source.toString(), "file:Spoolsmith/res/bqj2.png")
        verify(picture.visible)
        config.version = 3
        compare(picture.source.toString(), "file:Spoolsmith/res/bqj3.svg")
        config.version = 0
        compare(picture.source.toString(), "")
        verify(!picture.visible)
    }

    // The chooser lists the settings' modules (by version: see the settings
    // suite) and selects the control module, writing its code to the driver.
    function test_modulesFromTheSettings() {
        device.index = 2
        const page = createPage(config.version)
        const chooser = findByName(page, "moduleChooser")
        const names = config.getModuleName()
        const codes = config.getModules()
        compare(chooser.count, names.length)
        for (let i = 0; i < names.length; ++i)
            compare(chooser.textAt(i), names[i])
        compare(chooser.currentText, "控制模块")
        compare(device.index, 0)
        chooser.currentIndex = names.length - 1
        compare(device.index, codes[names.length - 1])
    }

    function test_theButtonWaitsForTheUpload() {
        const page = createPage(2)
        const button = findByName(page, "updateButton")
        const percent = findByName(page, "percentText")
        compare(findByName(page, "progressBar").value, 0)
        verify(button.enabled)
        compare(button.text, "更新")
        device.updateProgress = 42.5
        verify(!button.enabled)
        compare(percent.text, "43%")
        device.updateProgress = 100
        verify(button.enabled)
        compare(percent.text, "100%")
    }

    function test_usbHidesTheFileRow() {
        const page = createPage(2)
        const connection = findByName(page, "connectionChooser")
        compare(connection.currentText, "TCP")
        verify(findByName(page, "fileButton").visible)
        connection.currentIndex = 0
        verify(!findByName(page, "fileLabel").visible)
        verify(!findByName(page, "fileButton").visible)
        verify(findByName(page, "updateButton").enabled)
        connection.currentIndex = 1
        verify(findByName(page, "fileButton").visible)
    }

    function test_aChosenFileBecomesTheDriversPath() {
        const page = createPage(2)
        const fileButton = findByName(page, "fileButton")
        compare(fileButton.text, "升级文件")
        page.acceptFile("file:///tmp/firmware/control.bin")
        compare(device.updateFile, "/tmp/firmware/control.bin")
        compare(fileButton.text, "/tmp/firmware/control.bin")
    }
}
