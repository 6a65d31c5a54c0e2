import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import TAVRA_Config

// The settings dialog. It is built from the parameter table, not by hand: one
// section per settings group, one editor per visible parameter, the editor
// chosen by the parameter and the type of its value. Edits stay pending in
// config until "保存"; visibility follows the saved values only.
ZuPopup {
    id: dialog
    implicitWidth: 750
    implicitHeight: 400

    // How far the dialog is raised so that the on-screen keyboard does not
    // cover the field being edited.
    property real keyboardLift: 0

    // Centred in the window like every popup, raised while the keyboard needs
    // the room. The page that declares the dialog covers the window.
    anchors.centerIn: undefined
    x: parent ? Math.round((parent.width - width) / 2) : 0
    y: parent ? Math.round((parent.height - height) / 2) - keyboardLift : 0

    // Raises the dialog, and scrolls its sections when that is not enough,
    // so that the focused field lies above the keyboard. Positions are taken
    // as they would be without the lift.
    function updateKeyboardLift() {
        const win = contentItem.Window.window
        const focused = win ? win.activeFocusItem : null
        const keyboardHeight = Qt.inputMethod.keyboardRectangle.height
        if (!opened || !Qt.inputMethod.visible || !focused || keyboardHeight <= 0
                || !isInside(focused, contentItem)) {
            keyboardLift = 0
            return
        }
        const fieldBottom = focused.mapToItem(null, 0, focused.height).y + keyboardLift
        const needed = fieldBottom + 10 - (win.height - keyboardHeight)
        if (needed <= 0) {
            keyboardLift = 0
            return
        }
        const unliftedTop = Math.round((parent.height - height) / 2)
        keyboardLift = Math.min(needed, Math.max(0, unliftedTop))
        const rest = needed - keyboardLift
        if (rest > 0) {
            const flick = scrollView.contentItem
            flick.contentY = Math.min(flick.contentY + rest, Math.max(0, flick.contentHeight - flick.height))
        }
    }

    function isInside(item, ancestor) {
        for (let i = item; i; i = i.parent) {
            if (i === ancestor)
                return true
        }
        return false
    }

    onClosed: keyboardLift = 0

    // A save that could not reach its file is told in the program's message
    // popup, over the dialog, once the writer knows; the values stay in use.
    Connections {
        target: config
        function onSettingsNotSaved(message) { device.errorMessage = message }
    }

    Connections {
        target: Qt.inputMethod
        function onVisibleChanged() { dialog.updateKeyboardLift() }
        function onKeyboardRectangleChanged() { dialog.updateKeyboardLift() }
    }

    Connections {
        target: dialog.contentItem ? dialog.contentItem.Window.window : null
        function onActiveFocusItemChanged() { dialog.updateKeyboardLift() }
    }

    function refreshProperty() {
        for (let i = 0; i < propertyArea.children.length; ++i)
            propertyArea.children[i].refreshVisible()
    }

    // Every editor shows what config holds now; after a restore of defaults
    // this also covers keys the defaults file lacks.
    function reloadValues() {
        for (let i = 0; i < propertyArea.children.length; ++i)
            propertyArea.children[i].reloadValues()
    }

    function isFolderParameter(key) {
        return key === TAVRA_Config.CPT_Plt_Dir || key === TAVRA_Config.CPT_RIIN_Input
    }

    // A path as a URL the platform dialogs accept: "C:/x" and "/x" alike.
    function pathToUrl(path) {
        return path.startsWith("/") ? "file://" + path : "file:///" + path
    }

    function choosePath(key, button) {
        const chooser = isFolderParameter(key) ? folderDialog : fileDialog
        if (button.text !== "") {
            if (chooser === folderDialog)
                folderDialog.currentFolder = pathToUrl(button.text)
            else
                fileDialog.selectedFile = pathToUrl(button.text)
        }
        chooser.targetKey = key
        chooser.targetButton = button
        chooser.open()
    }

    function acceptPath(chooser, url) {
        const path = app.toLocalPath(url)
        config.saveTmp(chooser.targetKey, path)
        if (chooser.targetButton)
            chooser.targetButton.text = path
        chooser.targetButton = null
    }

    // A label of fixed width: a text that does not fit is elided, and a
    // press-and-hold shows the whole of it.
    component EditorLabel: Text {
        id: label
        objectName: "editorLabel"
        width: 110
        height: 30
        font.pointSize: 9
        horizontalAlignment: Text.AlignRight
        verticalAlignment: Text.AlignVCenter
        wrapMode: Text.Wrap
        maximumLineCount: 2
        elide: Text.ElideRight

        ToolTip.text: label.text
        ToolTip.visible: holdArea.held && label.truncated
        ToolTip.delay: 0

        MouseArea {
            id: holdArea
            objectName: "labelHoldArea"
            anchors.fill: parent
            pressAndHoldInterval: 500
            property bool held: false
            onPressAndHold: held = true
            onReleased: held = false
            onCanceled: held = false
        }
    }

    Component {
        id: propertyComponent

        Column {
            id: section
            property string createType: ""
            objectName: "section"
            width: propertyArea.width - 20

            function refreshVisible() {
                const shown = config.isShowPorperty(createType)
                section.visible = shown
                console.info(createType, shown)
                for (let i = 0; i < editors.children.length; ++i) {
                    const editor = editors.children[i]
                    editor.visible = config.isShowPorperty(editor.createType)
                }
            }

            function reloadValues() {
                for (let i = 0; i < editors.children.length; ++i) {
                    const editor = editors.children[i]
                    editor.load(config.getProperty(editor.createType))
                }
            }

            function addEditor(key) {
                const val = config.getProperty(key)
                let component = null
                if (key === TAVRA_Config.CPT_Enable_Print_Marker_Type || key === TAVRA_Config.CPT_Enable_Cut_Marker_Type)
                    component = comboBoxComponent
                else if (typeof val === "boolean")
                    component = checkBoxComponent
                else if (typeof val === "number")
                    component = spinBoxComponent
                else if (typeof val === "string")
                    component = fileDialogComponent
                if (component)
                    component.createObject(editors, { createType: key })
            }

            Text {
                objectName: "sectionTitle"
                x: 5
                height: 30
                text: section.createType
                font.pixelSize: 14
                font.bold: true
                verticalAlignment: Text.AlignVCenter
            }

            Flow {
                id: editors
                objectName: "editors"
                width: section.width
                spacing: 10
            }
        }
    }

    // What every editor shares: its parameter, its label and following the
    // settings object for both.
    component Editor: Row {
        id: editor
        property int createType: -1
        property string label: ""
        signal valueArrived(var val)

        function load(val) {
            editor.label = config.getPropertyName(editor.createType)
            editor.valueArrived(val)
        }

        spacing: 10
        height: 30
        Component.onCompleted: load(config.getProperty(createType))

        Connections {
            target: config
            function onPropertyChanged(key, value) {
                if (key === editor.createType)
                    editor.load(value)
            }
        }
    }

    Component {
        id: comboBoxComponent
        Editor {
            id: editor
            objectName: "comboEditor"
            EditorLabel { text: editor.label }
            ComboBox {
                id: combo
                objectName: "combo"
                width: 110
                height: 25
                anchors.verticalCenter: parent.verticalCenter
                textRole: "text"
                model: ListModel {}
                currentIndex: -1
                function fill() {
                    model.append({ text: qsTr("无") })
                    model.append({ text: qsTr("文字") })
                    model.append({ text: qsTr("二维码") })
                }
                onCurrentIndexChanged: {
                    if (currentIndex >= 0)
                        config.saveTmp(editor.createType, currentIndex)
                }
            }
            // A stored index outside the entries selects the nearest one.
            onValueArrived: (val) => {
                if (combo.count === 0)
                    combo.fill()
                combo.currentIndex = Math.max(0, Math.min(combo.count - 1, Math.round(Number(val)) || 0))
            }
        }
    }

    Component {
        id: checkBoxComponent
        Editor {
            id: editor
            objectName: "checkEditor"
            CheckBox {
                id: check
                objectName: "check"
                height: 30
                text: editor.label
                onClicked: config.saveTmp(editor.createType, checked)
            }
            // Values come as text after a restore of defaults.
            onValueArrived: (val) => check.checked = (val == "true" || val == true)
        }
    }

    Component {
        id: spinBoxComponent
        Editor {
            id: editor
            objectName: "spinEditor"
            EditorLabel { text: editor.label }
            ZuSpinBox {
                id: spin
                objectName: "spin"
                width: 110
                height: 25
                anchors.verticalCenter: parent.verticalCenter
                font.pointSize: 9
                decimals: 0
                min: -180
                max: 999
                onValueModified: config.saveTmp(editor.createType, value)
            }
            // Shown as a whole number; the spin box clamps to its range.
            onValueArrived: (val) => spin.value = Math.round(Number(val)) || 0
        }
    }

    Component {
        id: fileDialogComponent
        Editor {
            id: editor
            objectName: "pathEditor"
            EditorLabel { text: editor.label }
            Button {
                id: pathButton
                objectName: "pathButton"
                width: 350
                height: 30
                font.pointSize: 9
                onClicked: dialog.choosePath(editor.createType, pathButton)
            }
            onValueArrived: (val) => pathButton.text = val === undefined || val === null ? "" : String(val)
        }
    }

    FileDialog {
        id: fileDialog
        objectName: "fileDialog"
        property int targetKey: -1
        property var targetButton: null
        title: qsTr("选择程序")
        // Programs carry no suffix on Linux: offer every file there.
        nameFilters: Qt.platform.os === "windows" ? [qsTr("程序 (*.exe)")] : [qsTr("程序 (*)")]
        onAccepted: dialog.acceptPath(fileDialog, selectedFile)
        onRejected: targetButton = null
    }

    FolderDialog {
        id: folderDialog
        objectName: "folderDialog"
        property int targetKey: -1
        property var targetButton: null
        title: qsTr("选择文件夹")
        onAccepted: dialog.acceptPath(folderDialog, selectedFolder)
        onRejected: targetButton = null
    }

    contentItem: Column {
        spacing: 5

        PopupTitleBar {
            width: dialog.width
            title: qsTr("设置")
            onClosePressed: dialog.close()
        }

        ScrollView {
            id: scrollView
            objectName: "scrollView"
            x: 5
            width: dialog.width - 10
            height: dialog.height - 40 - 30 - 15
            clip: true
            contentWidth: propertyArea.width

            Column {
                id: propertyArea
                objectName: "propertyArea"
                width: dialog.width - 20
            }
        }

        Row {
            id: buttons
            anchors.right: parent.right
            anchors.rightMargin: 10
            spacing: 10

            Button {
                objectName: "restoreDefaultsButton"
                height: 30
                font.pointSize: 9
                text: qsTr("恢复默认设置")
                onClicked: restoreBox.open()
            }
            Button {
                objectName: "saveDefaultsButton"
                height: 30
                font.pointSize: 9
                text: qsTr("保存默认设置")
                onClicked: saveDefaultsBox.open()
            }
            Button {
                objectName: "saveButton"
                width: 80
                height: 30
                font.pointSize: 9
                text: qsTr("保存")
                onClicked: {
                    config.saveCfg()
                    dialog.refreshProperty()
                }
            }

            ZuMessageBox {
                id: restoreBox
                objectName: "restoreBox"
                titleFont.pointSize: 14
                titleFont.bold: true
                textFont.pointSize: 11
                btnFont.pointSize: 12
                text: qsTr("确定要恢复到默认设置 ？")
                onClickedOk: {
                    config.resetDefaultCfg()
                    dialog.reloadValues()
                    dialog.refreshProperty()
                }
            }
            ZuMessageBox {
                id: saveDefaultsBox
                objectName: "saveDefaultsBox"
                titleFont.pointSize: 14
                titleFont.bold: true
                textFont.pointSize: 11
                btnFont.pointSize: 12
                text: qsTr("确定要保存当前设置为默认设置 ？")
                onClickedOk: {
                    config.saveCfg()
                    config.saveDefaultCfg()
                    dialog.refreshProperty()
                }
            }
        }
    }

    Component.onCompleted: {
        const groups = config.getShowPropertiesClass()
        console.info("propertiesType: " + groups)
        for (let i = 0; i < groups.length; ++i) {
            const section = propertyComponent.createObject(propertyArea, { createType: groups[i] })
            const keys = config.getShowProperties(groups[i])
            for (let k = 0; k < keys.length; ++k)
                section.addEditor(keys[k])
            section.refreshVisible()
        }
    }
}
