import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Dialogs

// The printing side of a job: print file and preview, printer and its
// preferences, the print file's cut file, variable data and a test print.
Item {
    id: page

    Rectangle {
        id: left_panel
        objectName: "leftPanel"
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: page.width - right_panel.width
        color: "white"
        border.width: 1
        border.color: "black"

        Image {
            id: print_view
            objectName: "printView"
            anchors.fill: parent
            anchors.margins: 10
            source: app.printImgPath
            fillMode: Image.PreserveAspectFit
            sourceSize.width: Math.trunc(width)
            sourceSize.height: Math.trunc(height)
            asynchronous: false
            cache: false
        }
        // Outlines the page itself, not the pane.
        Rectangle {
            objectName: "pageOutline"
            anchors.centerIn: print_view
            width: print_view.paintedWidth
            height: print_view.paintedHeight
            color: "transparent"
            border.width: 1
            border.color: Qt.rgba(0.1, 0.1, 0.1, 1)
        }
    }

    Rectangle {
        id: right_panel
        objectName: "rightPanel"
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: 350
        color: "white"

        Text {
            id: title
            width: 100
            height: 50
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            text: qsTr("打印文件")
            font.pointSize: 11
            font.bold: true
            color: Qt.rgba(0.8, 0.8, 0, 1)
            elide: Text.ElideRight
        }

        Column {
            id: rows
            anchors.top: title.bottom
            anchors.bottom: tips.top
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.topMargin: 5
            anchors.bottomMargin: 5
            anchors.leftMargin: 5
            anchors.rightMargin: 5
            spacing: 20

            Rectangle {
                width: rows.width
                height: 1
                color: "black"
            }

            Row {
                spacing: 2
                FieldLabel {
                    width: right_panel.width * 0.2
                    horizontalAlignment: Text.AlignHCenter
                    text: qsTr("文件")
                }
                FieldButton {
                    id: btn_file
                    objectName: "btn_file"
                    width: right_panel.width * 0.76
                    text: app.printFile
                    onClicked: fileDialog.open()
                }
            }

            Row {
                spacing: 2
                FieldLabel {
                    width: right_panel.width * 0.2
                    horizontalAlignment: Text.AlignHCenter
                    text: qsTr("打印机")
                }
                ComboBox {
                    id: cmb_printer
                    objectName: "cmb_printer"
                    // Set once the opening selection is made: only the
                    // operator's choices are written back.
                    property bool chosen: false
                    width: right_panel.width * 0.55
                    height: 30
                    font.pointSize: 9
                    indicator: null
                    background: Rectangle {
                        color: "white"
                        border.width: 1
                        border.color: Qt.rgba(0.75, 0.75, 0.75, 1)
                    }
                    Component.onCompleted: {
                        const names = app.printersName()
                        model = names
                        let found = -1
                        for (let i = 0; i < names.length; ++i) {
                            if (names[i] === app.printerName) {
                                found = i
                                break
                            }
                        }
                        currentIndex = found
                        chosen = true
                    }
                    // currentText follows the index only after this signal.
                    // A printer refused during a job: the one in use shows again.
                    onCurrentIndexChanged: {
                        if (!chosen || currentIndex < 0)
                            return
                        app.printerName = textAt(currentIndex)
                        if (app.printerName !== textAt(currentIndex))
                            currentIndex = find(app.printerName)
                    }
                }
                // The rest of the row: the drop-down's and the label's
                // shares leave less than a quarter of the pane.
                Button {
                    id: btn_printer
                    objectName: "btn_printer"
                    width: rows.width - cmb_printer.width - right_panel.width * 0.2 - 4
                    height: 30
                    leftPadding: 4
                    rightPadding: 4
                    text: qsTr("首选项")
                    // Without a printer the dialog has nothing to show.
                    enabled: cmb_printer.currentIndex >= 0
                    onClicked: app.printerPreference(cmb_printer.currentText)
                }
            }

            Row {
                spacing: 2
                FieldLabel {
                    width: right_panel.width * 0.2
                    horizontalAlignment: Text.AlignHCenter
                    text: qsTr("切割文件")
                }
                FieldButton {
                    id: btn_cut_file
                    objectName: "btn_cut_file"
                    width: right_panel.width * 0.76
                    text: app.printCutFile
                    onClicked: cutDialog.open()
                }
            }

            Row {
                objectName: "dataSourceRow"
                spacing: 2
                visible: app.enabledDataSource
                FieldLabel {
                    width: right_panel.width * 0.3
                    horizontalAlignment: Text.AlignHCenter
                    text: qsTr("可变数据源")
                }
                FieldButton {
                    id: btn_data_source
                    objectName: "btn_data_source"
                    width: right_panel.width * 0.66
                    text: app.dataSource
                    onClicked: excelDialog.open()
                }
            }

            // A large sheet is read in the background.
            ProgressBar {
                objectName: "dataSourceProgress"
                width: right_panel.width * 0.96
                visible: app.dataSourceProgress >= 0
                from: 0
                to: 100
                value: Math.max(0, app.dataSourceProgress)
            }

            Row {
                objectName: "dataIndexRow"
                spacing: 2
                visible: app.enabledDataSource
                FieldLabel {
                    width: right_panel.width * 0.3
                    horizontalAlignment: Text.AlignHCenter
                    text: qsTr("可变数据序号")
                }
                SpinBox {
                    id: spin_index
                    objectName: "spin_index"
                    width: right_panel.width * 0.4
                    height: 30
                    font.pointSize: 9
                    from: 1
                    to: 999999
                    stepSize: 1
                    editable: false
                    background: Rectangle {
                        color: "white"
                        border.width: 1
                        border.color: Qt.rgba(0.75, 0.75, 0.75, 1)
                    }
                    // Each accepted write renders the record again: only a
                    // value that differs from the application's goes back,
                    // and none while the box takes its first value (the
                    // range alone moves it from 0 to 1).
                    property bool ready: false
                    onValueChanged: {
                        if (ready && value !== app.dataIndex)
                            app.dataIndex = value
                    }
                    Component.onCompleted: {
                        value = app.dataIndex
                        ready = true
                    }
                    Connections {
                        target: app
                        function onDataIndexChanged() {
                            spin_index.value = app.dataIndex
                        }
                    }
                }
            }
        }

        Rectangle {
            id: tips
            objectName: "tips"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.leftMargin: 15
            anchors.rightMargin: 15
            anchors.bottom: btn_test_print.top
            anchors.bottomMargin: 15
            height: 60
            radius: 10
            color: Qt.rgba(0.2, 0, 0, 0.3)

            Text {
                id: tips_text
                objectName: "tips_text"
                x: 10
                y: 10
                text: app.printTip
                font.pointSize: 9
                color: Qt.rgba(1, 1, 1, 0.9)
            }
        }

        Button {
            id: btn_test_print
            objectName: "btn_test_print"
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 10
            width: tips.width
            height: 40
            text: qsTr("测试打印")
            // Without a printer there is nothing to print on; an empty
            // print file may still go to the print component.
            enabled: cmb_printer.currentIndex >= 0
            onClicked: app.printPdfFile(btn_file.text, cmb_printer.currentText)
        }
    }

    FileDialog {
        id: fileDialog
        objectName: "printFileDialog"
        fileMode: FileDialog.OpenFile
        title: qsTr("选择打印文件")
        nameFilters: [qsTr("打印文件 (*.pdf)")]
        onAccepted: {
            const path = app.toLocalPath(selectedFile)
            app.printFile = path
            // A typed .tva name is a print scene with variable data: its
            // data source stays on.
            if (path.slice(-3).toLowerCase() !== "tva")
                app.enabledDataSource = false
        }
    }

    FileDialog {
        id: excelDialog
        objectName: "excelDialog"
        fileMode: FileDialog.OpenFile
        title: qsTr("选择数据源")
        nameFilters: [qsTr("Excel文件 (*.xlsx)")]
        onAccepted: app.dataSource = app.toLocalPath(selectedFile)
    }

    FileDialog {
        id: cutDialog
        objectName: "cutDialog"
        fileMode: FileDialog.OpenFile
        title: qsTr("选择打印文件的切割文件")
        nameFilters: [qsTr("切割文件 (*.tva; *.plt)")]
        onAccepted: app.printCutFile = app.toLocalPath(selectedFile)
    }
}
