import QtQuick
import QtTest
import Spoolsmith2024

TestCase {
    id: testCase
    name: "Popups"
    when: windowShown
    visible: true

    // Windows of earlier cases may have taken the activation.
    function init() {
        testCase.Window.window.requestActivate()
        tryVerify(() => testCase.Window.active, hangMs)
    }
    width: 1000
    height: 700

    Component { id: taskPageComponent; TaskStackPage { anchors.fill: parent } }
    Component { id: messageComponent; MessagePopup {} }
    Component {
        id: boxComponent
        ZuMessageBox {
            property int okCount: 0
            onClickedOk: okCount += 1
        }
    }
    Component {
        id: iconComponent
        TavraIconButton {
            text: "\uf059"
            property int clickCount: 0
            onClicked: clickCount += 1
        }
    }
    Component {
        id: languageComponent
        LanguageComboBox {
            width: 100
            height: 35
            y: 300
            property int modifiedCount: 0
            onModModfiy: modifiedCount += 1
        }
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

    function popupOf(page) {
        for (let i = 0; i < page.data.length; ++i) {
            if (page.data[i].objectName === "errorPopup")
                return page.data[i]
        }
        return null
    }

    function cleanup() {
        device.errorMessage = ""
    }

    function test_errorOpensPopupAndCloseButtonClears() {
        const page = createTemporaryObject(taskPageComponent, testCase)
        const popup = popupOf(page)
        verify(popup)
        compare(popup.width, 400)
        compare(popup.height, 140)
        device.errorMessage = "未连接机器"
        tryCompare(popup, "opened", true, hangMs)
        compare(popup.text, "未连接机器")
        const close = find(popup.contentItem, "closeButton")
        mousePress(close, close.width / 2, close.height / 2)
        compare(device.errorMessage, "")
        tryCompare(popup, "visible", false, hangMs)
        mouseRelease(testCase, 1, 1)
    }

    function test_escapeClearsAndSameErrorShowsAgain() {
        const page = createTemporaryObject(taskPageComponent, testCase)
        const popup = popupOf(page)
        device.errorMessage = "机器繁忙，请稍后重试"
        tryCompare(popup, "opened", true, hangMs)
        keyClick(Qt.Key_Escape)
        tryCompare(popup, "visible", false, hangMs)
        compare(device.errorMessage, "")
        device.errorMessage = "机器繁忙，请稍后重试"
        tryCompare(popup, "opened", true, hangMs)
    }

    Item { id: corner; x: 400; y: 300; width: 10; height: 10 }

    function test_pressOutsideClears() {
        const popup = createTemporaryObject(messageComponent, corner)
        device.errorMessage = "x"
        popup.open()
        tryCompare(popup, "opened", true, hangMs)
        mouseClick(testCase, 5, 5)
        tryCompare(popup, "visible", false, hangMs)
        compare(device.errorMessage, "")
    }

    // The message is read, selected and copied, never typed over.
    function test_messageReadOnlyYetCopied() {
        const popup = createTemporaryObject(messageComponent, corner, { text: "未连接机器" })
        popup.open()
        tryCompare(popup, "opened", true, hangMs)
        const message = find(popup.contentItem, "messageText")
        mouseClick(message)
        message.selectAll()
        keyClick(Qt.Key_X)
        compare(message.text, "未连接机器")
        message.copy()
        const pasted = createTemporaryQmlObject("import QtQuick; TextInput {}", testCase)
        pasted.paste()
        compare(pasted.text, "未连接机器")
    }

    function test_messageBoxOkOnceCancelNone() {
        const box = createTemporaryObject(boxComponent, testCase)
        compare(box.width, 600)
        compare(box.height, 300)
        box.open()
        tryCompare(box, "opened", true, hangMs)
        const ok = find(box.contentItem, "okButton")
        mousePress(ok, 5, 5)
        compare(box.okCount, 1)
        tryCompare(box, "visible", false, hangMs)
        mouseRelease(testCase, 1, 1)
        compare(box.okCount, 1)

        box.open()
        tryCompare(box, "opened", true, hangMs)
        keyClick(Qt.Key_Escape)
        tryCompare(box, "visible", false, hangMs)
        box.open()
        tryCompare(box, "opened", true, hangMs)
        const cancel = find(box.contentItem, "cancelButton")
        mousePress(cancel, 5, 5)
        tryCompare(box, "visible", false, hangMs)
        mouseRelease(testCase, 1, 1)
        compare(box.okCount, 1)
    }

    function test_iconButton() {
        const button = createTemporaryObject(iconComponent, testCase)
        verify(button.width > 20)
        mouseClick(button)
        compare(button.clickCount, 1)
        button.enableMouse = false
        mouseClick(button)
        compare(button.clickCount, 1)
        compare(button.color, button.bkColor)
    }

    function test_languagePicker() {
        const picker = createTemporaryObject(languageComponent, testCase)
        picker.mod = 7
        compare(picker.children[0].text, "简体中文")
        picker.mod = 0
        mousePress(picker)
        mouseRelease(picker)
        let list = null
        for (let i = 0; i < picker.data.length; ++i) {
            if (picker.data[i].objectName === "languageList")
                list = picker.data[i]
        }
        tryCompare(list, "opened", true, hangMs)
        compare(list.y, -list.height - 2)
        compare(list.height, 62)
        // The current entry: nothing emitted, list closed.
        mousePress(find(list.contentItem, "languageEntry0"))
        tryCompare(list, "visible", false, hangMs)
        compare(picker.modifiedCount, 0)

        mousePress(picker)
        mouseRelease(picker)
        tryCompare(list, "opened", true, hangMs)
        mousePress(find(list.contentItem, "languageEntry1"))
        tryCompare(list, "visible", false, hangMs)
        compare(picker.mod, 1)
        compare(picker.modifiedCount, 1)
        compare(picker.children[0].text, "English")
    }
}
