import QtQuick
import QtQuick.Layouts
import QtQuick.Dialogs
import PltQuickView 1.0
import TAVRA_Config 1.0

// The task overview: cut file, print preview, camera and machine side by
// side. A long press opens a file, a double click asks the tab for the page
// that goes deeper into the pane.
Rectangle {
    id: page

    signal submit(var p1, var p2)

    function resetvideo() {
        video.setCs(camera.currCS)
    }

    color: Qt.rgba(0, 0, 0, 1)

    readonly property bool printOn: config.enablePrint

    GridLayout {
        id: grid
        objectName: "grid"
        anchors.fill: parent
        columns: 2
        columnSpacing: 1
        rowSpacing: 1

        readonly property real cellWidth: (width - columnSpacing) / 2
        readonly property real cellHeight: (height - rowSpacing) / 2

        PltQuickView {
            id: cut_file
            objectName: "pltview"
            Layout.row: 0
            Layout.column: 0
            Layout.preferredWidth: grid.cellWidth
            Layout.preferredHeight: grid.cellHeight
            Layout.fillWidth: true
            Layout.fillHeight: true
            file: app.cutShowFile

            Text {
                objectName: "cutHint"
                anchors.centerIn: parent
                visible: app.cutShowFile === ""
                text: qsTr("长按打开切割文件 \n  双击设置更多")
                font.pointSize: 16
                horizontalAlignment: Text.AlignHCenter
            }
            MouseArea {
                objectName: "cutArea"
                anchors.fill: parent
                pressAndHoldInterval: 400
                onDoubleClicked: page.submit("cut_file", "")
                onPressAndHold: plt_dlg.open()
            }
        }

        Rectangle {
            id: print_file
            objectName: "printPane"
            visible: page.printOn
            Layout.row: 0
            Layout.column: 1
            Layout.preferredWidth: grid.cellWidth
            Layout.preferredHeight: grid.cellHeight
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: "white"

            Image {
                id: print_pdf_view
                objectName: "printPreview"
                anchors.fill: parent
                visible: app.printFile !== ""
                source: app.printImgPath
                fillMode: Image.PreserveAspectFit
                sourceSize.width: width
                sourceSize.height: height
                asynchronous: false
                cache: false
            }
            Text {
                objectName: "printHint"
                anchors.centerIn: parent
                visible: app.printFile === ""
                text: qsTr("长按打开打印文件 \n  双击设置更多")
                font.pointSize: 16
                horizontalAlignment: Text.AlignHCenter
            }
            MouseArea {
                objectName: "printArea"
                anchors.fill: parent
                pressAndHoldInterval: 400
                onDoubleClicked: {
                    if (config.enablePrint)
                        page.submit("print_file", "")
                }
                onPressAndHold: {
                    pdf_dlg.nameFilters = [page.printFilter()]
                    if (config.enablePrint)
                        pdf_dlg.open()
                }
            }
        }

        Rectangle {
            id: camera_cell
            objectName: "cameraCell"
            Layout.row: 1
            Layout.column: 0
            Layout.preferredWidth: grid.cellWidth
            Layout.preferredHeight: grid.cellHeight
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: "white"

            MouseArea {
                objectName: "cameraArea"
                anchors.fill: parent
                onDoubleClicked: page.submit("video", "")
            }
            CameraView {
                id: video
                objectName: "video"
                anchors.fill: parent
                cs: camera.currCS
            }
        }

        Rectangle {
            id: machine_cell
            clip: true
            objectName: "machineCell"
            Layout.row: page.printOn ? 1 : 0
            Layout.rowSpan: page.printOn ? 1 : 2
            Layout.column: 1
            Layout.preferredWidth: grid.cellWidth
            Layout.preferredHeight: page.printOn ? grid.cellHeight : grid.height
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: "white"

            MouseArea {
                objectName: "machineArea"
                anchors.fill: parent
                onDoubleClicked: page.submit("device", "")
            }
            DeviceFrame {
                objectName: "machinePanel"
                anchors.fill: parent
                color: "white"
            }
        }
    }

    function printFilter() {
        if (config.version === 2 && config.getProperty(TAVRA_Config.CPT_Enable_RIIN_Input))
            return "Print files (*.pdf ; *.tva ; *tif)"
        return "Print files (*.pdf ; *.tva)"
    }

    FileDialog {
        id: plt_dlg
        objectName: "pltDialog"
        title: "Open a Cut file"
        nameFilters: ["Cut files (*.plt ; *.tva)"]
        onAccepted: app.cutFile = app.toLocalPath(selectedFile)
    }

    FileDialog {
        id: pdf_dlg
        objectName: "pdfDialog"
        title: "Open a Print file"
        nameFilters: ["Print files (*.pdf ; *.tva)"]
        onAccepted: app.printFile = app.toLocalPath(selectedFile)
    }
}
