import QtQuick
import QtQuick.Controls

// The device tab: which machine the program drives, today's and the
// accumulated production, the settings, the language, the version and the
// updater. Everything shown is a binding on device, config or app.
Item {
    id: page

    // Choosing another machine or quitting for the updater would pull the
    // machine out from under a job that is running or paused.
    readonly property bool jobActive: app.taskStatus !== 2
    readonly property string busyTip: qsTr("任务运行中，请先停止任务")

    function machinePicture(version) {
        switch (version) {
        case 1: return "file:Spoolsmith/res/bqj.png"
        case 2: return "file:Spoolsmith/res/bqj2.png"
        case 3: return "file:Spoolsmith/res/bqj3.svg"
        default: return ""
        }
    }

    function metres(value) {
        return Number(value).toFixed(2) + " m"
    }

    function toggleMachineList() {
        if (popup.opened) {
            popup.devices = app.onlineDevices()
            popup.close()
            return
        }
        if (jobActive) {
            tipDlg.show(busyTip)
            return
        }
        popup.devices = app.onlineDevices()
        popup.open()
    }

    function chooseMachine(ident) {
        popup.close()
        if (jobActive) {
            tipDlg.show(busyTip)
            return
        }
        device.ident = ident
        config.ident = ident
    }

    // A running job ends with the program's normal shut-down.
    function checkForUpdate() {
        app.checkUpdate()
    }

    Component.onCompleted: console.info("DeviceStackPage QML")

    SettingPage {
        id: setting_page
        objectName: "settingPage"
    }

    ZuMessageBox {
        id: tipDlg
        objectName: "tipBox"
        titleFont.pointSize: 14
        titleFont.bold: true
        textFont.pointSize: 11
        btnFont.pointSize: 12

        function show(tip) {
            text = tip
            open()
        }
    }

    MessagePopup {
        id: aboutPop
        objectName: "aboutPop"
        width: 600
        height: 200
        showIcon: true
        textFontBold: false
        textColor: "black"
    }

    component Heading: Text {
        x: 10
        font.bold: true
        font.pointSize: 11
        color: Qt.rgba(0.8, 0.8, 0, 1)
        width: 290
        elide: Text.ElideRight
    }

    component Rule: Rectangle {
        width: 300
        height: 1
        color: "black"
    }

    component Spacer: Item {
        width: 10
        height: 10
    }

    component FigureLine: Text {
        font.pointSize: 9
        color: Qt.rgba(0.4, 0.4, 0.4, 1)
        width: 295
        elide: Text.ElideRight
    }

    component PlainButton: Button {
        id: plain
        font.pointSize: 9
        background: Rectangle {
            radius: 2
            border.width: 1
            border.color: Qt.rgba(0.8, 0.8, 0.8, 1)
            color: plain.down ? Qt.rgba(0.8, 0.8, 0.8, 1) : Qt.rgba(0.9, 0.9, 0.9, 1)
        }
        contentItem: Text {
            text: plain.text
            font: plain.font
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }
    }

    component IdCell: Text {
        font.pointSize: 9
        color: Qt.rgba(0.4, 0.4, 0.4, 1)
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        height: 35
    }
    // Labels are 20 wide unless their text needs more ("ver : " does).
    component IdLabel: IdCell {
        font.bold: true
        width: Math.max(20, implicitWidth)
    }

    Rectangle {
        id: leftPanel
        objectName: "leftPanel"
        width: page.width - rightPanel.width
        height: page.height
        color: "white"

        Image {
            objectName: "logo"
            x: leftPanel.width * 0.02
            y: leftPanel.height * 0.04
            sourceSize.height: Math.max(1, leftPanel.height * 0.06)
            fillMode: Image.PreserveAspectFit
            source: "file:Spoolsmith/res/logo.png"
        }

        Image {
            objectName: "machinePicture"
            anchors.centerIn: parent
            width: leftPanel.width
            height: leftPanel.height * 0.75
            fillMode: Image.PreserveAspectFit
            source: page.machinePicture(config.version)
            visible: source != ""
        }

        Row {
            id: identityRow
            objectName: "identityRow"
            width: 450
            spacing: 20
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 120

            Text {
                objectName: "identText"
                text: device ? device.ident : ""
                font.bold: true
                font.pointSize: 11
                color: Qt.rgba(0.8, 0.8, 0, 1)
            }
            Text {
                objectName: "typeText"
                anchors.bottom: parent.bottom
                text: device.devType
                font.pointSize: 8
                color: Qt.rgba(0.6, 0.6, 0.6, 1)
            }
            Text {
                objectName: "ipText"
                anchors.bottom: parent.bottom
                text: device.ip
                font.pointSize: 8
                color: Qt.rgba(0.6, 0.6, 0.6, 1)
            }
        }

        Grid {
            id: idGrid
            objectName: "idGrid"
            width: 500
            height: 80
            columns: 4
            columnSpacing: 10
            rowSpacing: 10
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 40
            horizontalItemAlignment: Grid.AlignHCenter
            verticalItemAlignment: Grid.AlignVCenter

            IdLabel { text: "id : " }
            IdCell { objectName: "devIdText"; text: device.devId; width: 200 }
            IdLabel { text: "ver : " }
            IdCell { objectName: "firmwareText"; text: device.firmware; width: 200 }
            IdLabel { text: "pcb : " }
            IdCell { objectName: "pcbIdText"; text: device.pcbId; width: 200 }
            IdLabel { text: "ver : " }
            IdCell { objectName: "pcbVerText"; text: device.pcbVer; width: 200 }
        }
    }

    Rectangle {
        id: rightPanel
        objectName: "rightPanel"
        width: 400
        height: page.height
        anchors.top: parent.top
        anchors.right: parent.right
        color: Qt.rgba(0.3, 0.1, 0.1, 0.1)

        ScrollView {
            id: scroll
            objectName: "rightScroll"
            width: rightPanel.width - 10
            height: rightPanel.height - 10
            contentWidth: holder.width
            contentHeight: holder.height
            clip: true

            Item {
                id: holder
                width: column.x + column.width
                height: column.y + column.height

                Column {
                    id: column
                    x: 50
                    y: 20
                    spacing: 10

                    Rectangle {
                        id: machineButton
                        objectName: "machineButton"
                        width: 300
                        height: 35
                        radius: 4
                        color: "white"
                        border.width: 1
                        border.color: Qt.rgba(0.5, 0.5, 0.5, 1)

                        Text {
                            anchors.fill: parent
                            text: device.ident
                            font.bold: true
                            font.pointSize: 11
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                            elide: Text.ElideRight
                        }

                        MouseArea {
                            anchors.fill: parent
                            onClicked: page.toggleMachineList()
                        }

                        Popup {
                            id: popup
                            objectName: "machineList"
                            property var devices: []
                            y: machineButton.height + 1
                            width: machineButton.width
                            height: entries.implicitHeight + 4
                            padding: 2
                            focus: true
                            closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutsideParent
                            background: Rectangle {
                                color: Qt.rgba(0.2, 0.2, 0.2, 1)
                                radius: 2
                                border.width: 1
                                border.color: "black"
                            }

                            contentItem: Column {
                                id: entries
                                spacing: 0
                                Repeater {
                                    model: popup.devices
                                    Rectangle {
                                        objectName: "machineEntry" + index
                                        width: popup.availableWidth
                                        height: 30
                                        color: entryArea.containsMouse ? Qt.rgba(0.5, 0.5, 0.5, 0.9)
                                                                       : Qt.rgba(0.75, 0.75, 0.75, 1)
                                        Text {
                                            anchors.fill: parent
                                            text: modelData
                                            horizontalAlignment: Text.AlignHCenter
                                            verticalAlignment: Text.AlignVCenter
                                            elide: Text.ElideRight
                                        }
                                        MouseArea {
                                            id: entryArea
                                            anchors.fill: parent
                                            hoverEnabled: true
                                            onPressed: page.chooseMachine(modelData)
                                        }
                                    }
                                }
                            }
                        }
                    }

                    Spacer {}
                    Heading { text: qsTr("今日工作") }
                    Rule {}
                    Column {
                        x: 5
                        spacing: 10
                        FigureLine { objectName: "todayCutText"; text: qsTr("切割 ： ") + page.metres(config.todayCut) }
                        FigureLine { objectName: "todayPrintText"; text: qsTr("打印 ：") + page.metres(config.todayPrint) }
                        FigureLine {
                            objectName: "todayMarksText"
                            text: qsTr("扫点 ： ") + config.todayScanMark + qsTr(" 成功 ") + config.todayScanMarkOk
                        }
                    }

                    Spacer {}
                    Heading { text: qsTr("累计工作") }
                    Rule {}
                    Column {
                        x: 5
                        spacing: 10
                        FigureLine { objectName: "totalCutText"; text: qsTr("切割 ： ") + page.metres(config.totalCut) }
                        FigureLine { objectName: "totalPrintText"; text: qsTr("打印 ：") + page.metres(config.totalPrint) }
                        FigureLine {
                            objectName: "totalMarksText"
                            text: qsTr("扫点 ： ") + config.totalScanMark + qsTr(" 成功 ") + config.totalScanMarkOk
                        }
                    }

                    Spacer {}
                    Heading { text: qsTr("设置") }
                    Rule {}
                    Item {
                        width: 300
                        height: 30
                        PlainButton {
                            objectName: "settingButton"
                            width: 70
                            height: 30
                            anchors.right: parent.right
                            anchors.rightMargin: 10
                            text: qsTr("设置")
                            onClicked: {
                                if (app.taskStatus === 1)
                                    tipDlg.show(qsTr("任务运行中不可设置"))
                                else
                                    setting_page.open()
                            }
                        }
                    }

                    Spacer {}
                    Heading { text: "语言 / Language" }
                    Rule {}
                    Item {
                        width: 300
                        height: 35
                        LanguageComboBox {
                            objectName: "languageBox"
                            width: 100
                            height: 35
                            anchors.right: parent.right
                            anchors.rightMargin: 10
                            mod: config.language
                            onModModfiy: config.language = mod
                        }
                    }

                    Spacer {}
                    Heading { text: qsTr("更新") }
                    Rule {}
                    Column {
                        x: 5
                        spacing: 10
                        FigureLine { text: qsTr("生成日期 ：") + "2025-4-25" }
                        FigureLine { objectName: "versionText"; text: qsTr("版本 ：") + "Spoolsmith 2024 V" + app.version }
                    }
                    Item {
                        width: 300
                        height: 30
                        Row {
                            anchors.right: parent.right
                            anchors.rightMargin: 10
                            height: parent.height
                            spacing: 10
                            PlainButton {
                                objectName: "updateButton"
                                width: 100
                                height: 30
                                text: qsTr("检查更新")
                                onClicked: page.checkForUpdate()
                            }
                            TavraIconButton {
                                objectName: "aboutButton"
                                anchors.verticalCenter: parent.verticalCenter
                                text: "\uf059"
                                fontSize: 18
                                iconColor: Qt.rgba(0.3, 0.3, 0.3, 1)
                                iconPadding: 4
                                toolTips: qsTr("关于")
                                onClicked: {
                                    aboutPop.text = qsTr("Spoolsmith 2024 卷筒标签印切一体机控制软件")
                                    aboutPop.visible = true
                                }
                            }
                        }
                    }
                    Item {
                        width: column.width
                        height: 100
                    }
                }
            }
        }
    }
}
