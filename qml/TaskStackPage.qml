import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs

// The task tab: a header with the back, play/pause and stop buttons and the
// copies row, the page stack of the task pages, the start and error popups
// and the program's one camera object. It keeps no task state: what it shows
// comes from app, what it does goes through app.
Rectangle {
    id: page
    objectName: "TaskStackPage"
    color: "white"

    property alias camera: r_camera
    property alias cut_copies: task_copies_cut.text
    property alias print_copies: task_copies_print.text
    property string error_message: device.errorMessage

    readonly property alias stackView: stack_view
    readonly property alias startPopup: task_popup
    readonly property alias errorPopup: error_popup
    readonly property alias fileDialog: fileDialog

    // Whether anything the native cut view would cover is open: the popups,
    // the file dialog and the on-screen keyboard.
    readonly property bool coveringOpen: task_popup.visible || error_popup.visible
                                         || task_copies_cut.popuped || task_copies_print.popuped
                                         || fileDialog.visible || Qt.inputMethod.visible

    onError_messageChanged: {
        if (error_message !== "") {
            error_popup.text = error_message
            error_popup.open()
        }
    }

    // A dialog's URL as a path: the scheme goes, a local file keeps its
    // absolute path (with the drive letter on Windows, the leading "/"
    // elsewhere).
    function dialogPath(url) {
        const text = url.toString()
        if (text.startsWith("file:///"))
            return Qt.platform.os === "windows" ? text.substring(8) : text.substring(7)
        return text.replace(/(qrc:\/{2})|(http:\/{2})/, "")
    }

    function copiesValue(text) {
        return text === qsTr("自动") ? -1 : Number(text)
    }

    function syncCutViews() {
        for (let i = 0; i < stack_view.depth; ++i) {
            const item = stack_view.get(i, StackView.DontLoad)
            if (item && typeof item.showWindow === "function")
                item.showWindow(item.visible && !coveringOpen)
        }
    }

    onCoveringOpenChanged: syncCutViews()

    function pushPage(name) {
        const components = { "cut_file": cut_file_page, "print_file": print_file_page,
                             "video": video_page, "device": device_page }
        const component = components[name]
        if (component)
            stack_view.push(component)
    }

    function back() {
        if (stack_view.depth <= 1)
            return
        stack_view.pop()
        const top = stack_view.currentItem
        if (top && typeof top.resetvideo === "function")
            top.resetvideo()
    }

    function playClicked() {
        const status = app.taskStatus
        if (status === 0) {
            app.resumeTask(false)
        } else if (status === 2) {
            task_popup.open()
        } else if (status === 1) {
            app.pauseTask(false)
            r_camera.capture(config.showCamera + 1)
        } else {
            app.stopTask(false)
        }
    }

    RCamera {
        id: r_camera
        objectName: "SpoolsmithCamera"
    }

    Component {
        id: task_page
        TaskPage {}
    }
    Component {
        id: cut_file_page
        CutFilePage {}
    }
    Component {
        id: print_file_page
        PrintFilePage {}
    }
    Component {
        id: video_page
        VideoPage { objectName: "videoPage" }
    }
    Component {
        id: device_page
        DevicePage { objectName: "devicePage" }
    }

    StackView {
        id: stack_view
        objectName: "taskStack"
        anchors.fill: parent
        anchors.topMargin: 40
        anchors.bottomMargin: 40
        clip: true
        Component.onCompleted: {
            const overview = push(task_page)
            overview.submit.connect(function(p1, p2) { page.pushPage(p1) })
        }
        onCurrentItemChanged: page.syncCutViews()
    }

    component HeaderButton: Rectangle {
        id: headerButton
        property alias glyph: glyphText.text
        property alias glyphColor: glyphText.color
        property alias glyphSize: glyphText.font.pointSize
        signal clicked()
        y: 5
        width: 30
        height: 30
        radius: 3
        color: area.containsMouse ? Qt.rgba(0.8, 0.8, 0.8, 0.8) : "transparent"
        Text {
            id: glyphText
            anchors.centerIn: parent
            font.family: "TavraFont"
        }
        MouseArea {
            id: area
            anchors.fill: parent
            hoverEnabled: true
            onClicked: headerButton.clicked()
        }
    }

    HeaderButton {
        id: rect_back
        objectName: "backButton"
        x: 10
        visible: stack_view.depth > 1
        glyph: "\uf04a"
        glyphSize: 25
        glyphColor: Qt.rgba(0.35, 0.35, 0.35, 1)
        onClicked: page.back()
    }

    HeaderButton {
        id: playButton
        objectName: "playButton"
        x: page.width - 85 - width
        glyphSize: 22
        glyph: app.taskStatus === 0 ? "\uf144" : app.taskStatus === 1 ? "\uf04c" : "\uf04b"
        glyphColor: app.taskStatus === 0 ? Qt.rgba(0.1, 0.8, 0.1, 1)
                  : app.taskStatus === 1 ? Qt.rgba(0.8, 0.8, 0, 1)
                  : app.taskStatus === 2 ? Qt.rgba(0, 0.85, 0, 1) : Qt.rgba(0, 0, 0, 1)
        onClicked: page.playClicked()
    }

    HeaderButton {
        id: stopButton
        objectName: "stopButton"
        x: page.width - 20 - width
        glyphSize: 22
        glyph: "\uf04d"
        glyphColor: Qt.rgba(0.85, 0, 0, 1)
        onClicked: app.stopTask(false)
    }

    component CopiesText: Text {
        height: 30
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    Row {
        id: copiesRow
        objectName: "copiesRow"
        spacing: 5
        // Centred on the tab; on a narrow window moved left just enough to
        // keep clear of the play button, never onto the back button.
        x: Math.max(rect_back.x + rect_back.width + 5,
                    Math.min((page.width - width) / 2, playButton.x - 10 - width))
        anchors.verticalCenter: rect_back.verticalCenter

        CopiesText {
            id: cutLabel
            objectName: "cutCopiesLabel"
            text: qsTr("切割份数")
            font.pointSize: 13
            font.bold: true
            color: Qt.rgba(0.1, 0.9, 0.1, 0.8)
            MouseArea {
                anchors.fill: parent
                onDoubleClicked: {
                    fileDialog.cut_file = true
                    fileDialog.open()
                }
            }
        }
        CopiesText {
            objectName: "cutCopiesDone"
            width: 120
            text: String(app.cutCopies)
            font.pointSize: 10
            color: Qt.rgba(0.1, 0.1, 0.1, 0.8)
        }
        CopiesText {
            text: qsTr("预设份数")
            font.pointSize: 13
            font.bold: true
            color: Qt.rgba(0.1, 0.1, 0.9, 0.8)
        }
        TaskCopies {
            id: task_copies_cut
            objectName: "cutCopiesButton"
            width: 120
            height: 30
            text: "100"
            onTextChanged: app.cutTaskCopies = page.copiesValue(text)
        }
        Item {
            width: 50
            height: 30
        }
        CopiesText {
            id: printLabel
            objectName: "printCopiesLabel"
            visible: config.enablePrint
            text: qsTr("打印份数")
            font.pointSize: printLabelArea.containsMouse ? 14 : 13
            font.bold: true
            color: Qt.rgba(0.1, 0.9, 0.1, 0.8)
            MouseArea {
                id: printLabelArea
                anchors.fill: parent
                hoverEnabled: true
                onDoubleClicked: {
                    fileDialog.cut_file = false
                    fileDialog.open()
                }
            }
        }
        CopiesText {
            objectName: "printCopiesDone"
            visible: config.enablePrint
            width: 120
            text: String(app.printCopies)
            font.pointSize: 10
            color: Qt.rgba(0.1, 0.1, 0.1, 0.8)
        }
        CopiesText {
            visible: config.enablePrint
            text: qsTr("预设份数")
            font.pointSize: 13
            font.bold: true
            color: Qt.rgba(0.1, 0.1, 0.9, 0.8)
        }
        TaskCopies {
            id: task_copies_print
            objectName: "printCopiesButton"
            visible: config.enablePrint
            width: 120
            height: 30
            text: "100"
            onTextChanged: app.printTaskCopies = page.copiesValue(text)
        }
    }

    FileDialog {
        id: fileDialog
        objectName: "taskFileDialog"
        property bool cut_file: true
        title: cut_file ? qsTr("选择切割文件") : qsTr("选择打印文件")
        nameFilters: cut_file ? [qsTr("切割文件 (*.plt *.tva)")] : [qsTr("打印文件 (*.pdf)")]
        onAccepted: {
            const path = page.dialogPath(selectedFile)
            if (cut_file)
                app.cutFile = path
            else
                app.printFile = path
        }
    }

    TaskStartPopup {
        id: task_popup
        objectName: "startPopup"
    }

    MessagePopup {
        id: error_popup
        objectName: "errorPopup"
    }
}
