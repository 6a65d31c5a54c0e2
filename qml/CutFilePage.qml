import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Dialogs
import QuickItemWidget 1.0

// The cut file: the application's cut-scene view hosted on the left, the
// file, export and sorting controls on the right.
Item {
    id: control

    // The hosted view is a native window above all QML, so it would cover
    // whatever opens over it: the task tab turns it off while one of its
    // popups is open, and the page while one of its own dialogs is.
    function showWindow(show) {
        view_state.shown = show
    }

    QtObject {
        id: view_state
        property bool shown: true
    }

    Rectangle {
        id: left_panel
        objectName: "leftPanel"
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: control.width - right_panel.width
        color: "#A0A0A4"

        QuickItemWidget {
            id: cutGraphicsView
            objectName: "cutGraphicsView"
            anchors.fill: parent
            enabled: false
            visible: view_state.shown && !fileDialog.visible && !saveDlg.visible
            Component.onCompleted: widget = app.getCutGraphicsView()
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
            text: qsTr("切割文件")
            font.pointSize: 11
            font.bold: true
            color: Qt.rgba(0.8, 0.8, 0, 1)
            elide: Text.ElideRight
        }

        Column {
            anchors.top: title.bottom
            anchors.bottom: parent.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.margins: 5
            spacing: 20

            Rectangle {
                width: parent.width
                height: 1
                color: "black"
            }

            Row {
                spacing: 10
                FieldLabel {
                    width: right_panel.width * 0.2
                    text: qsTr("文件")
                }
                FieldButton {
                    id: btn_file
                    objectName: "fileButton"
                    width: right_panel.width * 0.7
                    text: app.cutFile
                    onClicked: fileDialog.open()
                }
            }

            Row {
                spacing: 10
                FieldLabel {
                    width: right_panel.width * 0.2
                    text: qsTr("导出")
                }
                FieldButton {
                    id: btn_save
                    objectName: "saveButton"
                    width: right_panel.width * 0.7
                    text: app.saveFile
                    onClicked: saveDlg.open()
                }
            }

            Row {
                spacing: 10
                FieldLabel {
                    width: right_panel.width * 0.3
                    text: qsTr("自动排序")
                }
                Switch {
                    id: sort_switch
                    objectName: "sortSwitch"
                    height: 30
                    text: checked ? qsTr("开") : qsTr("关")
                    onCheckedChanged: {
                        if (config.autoSort !== checked)
                            config.autoSort = checked
                    }
                    // Follows the setting without a binding, which the
                    // operator's toggle would break.
                    Component.onCompleted: checked = config.autoSort
                    Connections {
                        target: config
                        function onAutoSortChanged() {
                            sort_switch.checked = config.autoSort
                        }
                    }
                }
            }

            // A large cut file opens on a worker thread; the view shows it
            // once it is placed.
            Row {
                objectName: "loadRow"
                spacing: 10
                visible: app.cutLoadProgress >= 0
                FieldLabel {
                    width: right_panel.width * 0.2
                    text: qsTr("载入")
                }
                ProgressBar {
                    objectName: "loadProgress"
                    width: right_panel.width * 0.7
                    height: 30
                    from: 0
                    to: 100
                    value: Math.max(0, app.cutLoadProgress)
                }
            }
        }
    }

    FileDialog {
        id: fileDialog
        objectName: "cutFileDialog"
        fileMode: FileDialog.OpenFile
        title: qsTr("选择切割文件")
        nameFilters: [qsTr("切割文件 (*.tva; *.plt)")]
        onAccepted: app.cutFile = app.toLocalPath(selectedFile)
        onRejected: close()
    }

    FileDialog {
        id: saveDlg
        objectName: "saveDialog"
        fileMode: FileDialog.SaveFile
        title: qsTr("保存文件")
        nameFilters: [qsTr("保存文件 (*.plt)")]
        onAccepted: app.saveFile = app.toLocalPath(selectedFile)
    }
}
