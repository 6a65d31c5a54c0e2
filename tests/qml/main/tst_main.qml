import QtQuick
import QtQuick.Controls
import QtTest
import Spoolsmith2024

TestCase {
    id: testCase
    name: "Main"
    when: windowShown

    Component {
        id: mainComponent
        Main {}
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
        // Popups are not items; reach their content through their data.
        const data = item.data !== undefined ? item.data : []
        for (let j = 0; j < data.length; ++j) {
            if (data[j] && data[j].objectName === name)
                return data[j]
        }
        return null
    }

    function createMain() {
        const win = createTemporaryObject(mainComponent, testCase)
        verify(win)
        tryCompare(win, "visible", true, hangMs)
        waitForRendering(win.contentItem)
        // The tabs not in sight and the keyboard are built after the first frame.
        // Found is not enough: an asynchronous loader shows its item before
        // every binding of it is set.
        const loaded = name => {
            const item = findByName(win.contentItem, name)
            return item && item.parent && item.parent.status === Loader.Ready
        }
        tryVerify(() => loaded("deviceStackPage") && loaded("helpStackPage") && loaded("inputPanel"), hangMs)
        return win
    }

    function cleanup() {
        device.setLinkedForTest(false)
        device.updateProgress = 0
        device.errorMessage = ""
    }

    function test_startsOnTheTaskTab() {
        const win = createMain()
        const pages = findByName(win.contentItem, "pages")
        compare(pages.currentIndex, 1)
        compare(pages.count, 3)
        compare(win.width >= 1080 || win.visibility === Window.Maximized, true)
        for (let i = 0; i < 3; ++i) {
            const button = findByName(win.contentItem, "tabButton" + i)
            verify(button.enabled)
            compare(button.width, 110)
            compare(button.height, 40)
            compare(button.font.family, "TavraFont")
        }
        compare(findByName(win.contentItem, "tabButton0").text, "\uf015")
        compare(findByName(win.contentItem, "tabButton1").text, "\ue115")
        compare(findByName(win.contentItem, "tabButton2").text, "\uf059")
    }

    function test_tabButtonsSwitchPages() {
        const win = createMain()
        const pages = findByName(win.contentItem, "pages")
        mouseClick(findByName(win.contentItem, "tabButton0"))
        compare(pages.currentIndex, 0)
        mouseClick(findByName(win.contentItem, "tabButton2"))
        compare(pages.currentIndex, 2)
        mouseClick(findByName(win.contentItem, "tabButton1"))
        compare(pages.currentIndex, 1)
    }

    // The error popup is declared by a page covering the window: a press on
    // the tab bar is not outside it, and the modal popup keeps the tab.
    function test_tabBarBlockedByAModalPopup() {
        const win = createMain()
        const pages = findByName(win.contentItem, "pages")
        const taskPage = findByName(win.contentItem, "taskStackPage")
        const popup = findByName(taskPage, "errorPopup")
        device.errorMessage = "纸张不足"
        tryCompare(popup, "opened", true, hangMs)
        mouseClick(findByName(win.contentItem, "tabButton0"))
        compare(pages.currentIndex, 1)
        keyClick(Qt.Key_Escape)
        tryCompare(popup, "visible", false, hangMs)
        compare(device.errorMessage, "")
        mouseClick(findByName(win.contentItem, "tabButton0"))
        compare(pages.currentIndex, 0)
    }

    function test_closeRefusedDuringFirmwareUpload() {
        const win = createMain()
        device.setLinkedForTest(true)
        device.updateProgress = 42
        win.close()
        verify(win.visible)
        compare(device.errorMessage, "请等待升级结束")
        const popup = findByName(findByName(win.contentItem, "taskStackPage"), "errorPopup")
        tryCompare(popup, "opened", true, hangMs)
        compare(popup.text, "请等待升级结束")
    }

    function test_closeAllowedAtUploadEnds_data() {
        return [{ tag: "0 %", progress: 0 }, { tag: "100 %", progress: 100 }]
    }

    function test_closeAllowedAtUploadEnds(data) {
        const win = createMain()
        device.setLinkedForTest(true)
        device.updateProgress = data.progress
        win.close()
        tryCompare(win, "visible", false, hangMs)
        compare(device.errorMessage, "")
    }

    function test_keyboardSlidesInForATextField() {
        const win = createMain()
        const panel = findByName(win.contentItem, "inputPanel")
        compare(panel.y, win.height)
        const field = createTemporaryQmlObject("import QtQuick.Controls; TextField { width: 200 }", win.contentItem)
        win.requestActivate()
        field.forceActiveFocus()
        tryVerify(() => panel.active, hangMs)
        tryCompare(panel, "y", win.height - panel.height, hangMs)
        field.focus = false
        win.contentItem.forceActiveFocus()
        tryCompare(panel, "y", win.height, hangMs)
    }
}
