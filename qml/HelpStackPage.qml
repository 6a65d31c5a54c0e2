import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts

// The help tab: the product and the machine of the configured version above,
// the firmware update of the linked machine below. The upload, the chosen
// module, the file and the progress all live in the driver, so they survive
// a tab switch.
Item {
    id: page

    // Enabled only while no upload runs: the driver reports 0 before the first
    // and 100 after the last.
    readonly property bool updateIdle: device.updateProgress === 0 || device.updateProgress === 100
    // The machine flashes and restarts after an upload: never under a job,
    // running or paused.
    readonly property bool jobIdle: app.taskStatus === 2

    function machinePicture(version) {
        switch (version) {
        case 1: return "file:Spoolsmith/res/bqj.png"
        case 2: return "file:Spoolsmith/res/bqj2.png"
        case 3: return "file:Spoolsmith/res/bqj3.svg"
        default: return ""
        }
    }

    Rectangle {
        id: pictureBand
        objectName: "pictureBand"
        width: parent.width
        height: parent.height * 0.65
        color: "#ffffff"

        Image {
            objectName: "logo"
            x: pictureBand.width * 0.02
            y: pictureBand.height * 0.04
            height: pictureBand.height * 0.06
            fillMode: Image.PreserveAspectFit
            source: "file:Spoolsmith/res/logo.png"
        }

        Item {
            id: pictureArea
            width: pictureBand.width
            height: pictureBand.height * 0.8
            y: pictureBand.height * 0.1

            Image {
                objectName: "machinePicture"
                anchors.centerIn: parent
                height: pictureArea.height * 1.2
                fillMode: Image.PreserveAspectFit
                source: page.machinePicture(config.version)
                visible: source != ""
            }
        }
    }

    Rectangle {
        id: updateBand
        objectName: "updateBand"
        y: pictureBand.height
        width: parent.width
        height: parent.height - pictureBand.height
        color: "#ede8e8"

        Text {
            x: updateBand.width * 0.03
            y: updateBand.height * 0.05
            text: qsTr("固件更新")
            font.pixelSize: 14
            font.bold: true
            color: "#0473D5"
        }

        Column {
            id: content
            y: updateBand.height * 0.1
            width: updateBand.width
            height: updateBand.height - updateBand.height * 0.1 - 40

            // Line 1: the linked machine.
            Item {
                id: identityLine
                width: content.width * 0.88
                height: content.height / 3
                anchors.horizontalCenter: parent.horizontalCenter

                Row {
                    height: parent.height
                    spacing: 0
                    Text {
                        height: parent.height; verticalAlignment: Text.AlignVCenter
                        text: qsTr("设备序列号:"); font.pixelSize: 13; color: "#333333"
                    }
                    Item { width: 20; height: 1 }
                    Text {
                        objectName: "identText"
                        height: parent.height; verticalAlignment: Text.AlignVCenter
                        text: device.ident; font.pixelSize: 13; font.bold: true; color: "#0473D5"
                    }
                    Item { width: identityLine.width * 0.05; height: 1 }
                    Text {
                        height: parent.height; verticalAlignment: Text.AlignVCenter
                        text: qsTr("IP:"); font.pixelSize: 13; color: "#333333"
                    }
                    Item { width: 20; height: 1 }
                    Text {
                        objectName: "ipText"
                        height: parent.height; verticalAlignment: Text.AlignVCenter
                        text: device.ip; font.pixelSize: 13; font.bold: true; color: "#0473D5"
                    }
                }
            }

            // Line 2: connection, module, file and the start.
            Item {
                id: choiceLine
                width: content.width * 0.88
                height: content.height / 3
                anchors.horizontalCenter: parent.horizontalCenter

                Row {
                    height: parent.height
                    spacing: 10

                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: qsTr("选择连接方式:"); font.pixelSize: 13; color: "#333333"
                    }
                    ComboBox {
                        id: connectionChooser
                        objectName: "connectionChooser"
                        anchors.verticalCenter: parent.verticalCenter
                        width: choiceLine.width * 0.12
                        height: 50
                        model: ["USB", "TCP"]
                        currentIndex: 1
                        onCurrentIndexChanged: {
                            if (currentIndex === 1)
                                console.info("Selected TCP")
                            else
                                console.info("Not TCP selected")
                        }
                    }
                    Item { width: choiceLine.width * 0.05; height: 1 }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: qsTr("请选择升级模块:"); font.pixelSize: 13; color: "#333333"
                    }
                    ComboBox {
                        id: moduleChooser
                        objectName: "moduleChooser"
                        anchors.verticalCenter: parent.verticalCenter
                        width: choiceLine.width * 0.12
                        height: 50
                        property var codes: []
                        model: ListModel { id: moduleNames }
                        textRole: "name"
                        Component.onCompleted: {
                            const names = config.getModuleName()
                            codes = config.getModules()
                            for (let i = 0; i < names.length && i < codes.length; ++i)
                                moduleNames.append({ name: names[i] })
                            currentIndex = 0
                        }
                        onCurrentTextChanged: {
                            if (currentIndex >= 0 && currentIndex < codes.length)
                                device.index = codes[currentIndex]
                        }
                    }
                    Item { width: choiceLine.width * 0.05; height: 1 }
                    Text {
                        objectName: "fileLabel"
                        anchors.verticalCenter: parent.verticalCenter
                        visible: connectionChooser.currentIndex === 1
                        text: qsTr("请选择升级文件:"); font.pixelSize: 13; color: "#333333"
                    }
                    Button {
                        objectName: "fileButton"
                        anchors.verticalCenter: parent.verticalCenter
                        visible: connectionChooser.currentIndex === 1
                        width: choiceLine.width * 0.18
                        height: 48
                        text: device.updateFile !== "" ? device.updateFile : qsTr("升级文件")
                        background: Rectangle {
                            color: "transparent"
                            border.width: 1
                            border.color: Qt.rgba(0, 0, 0, 0.5)
                            radius: 5
                        }
                        contentItem: Text {
                            text: parent.text
                            font.pixelSize: 13
                            elide: Text.ElideMiddle
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                        }
                        onClicked: fileDialog.open()
                    }
                    Item { width: choiceLine.width * 0.05; height: 1 }
                    Button {
                        id: updateButton
                        objectName: "updateButton"
                        anchors.verticalCenter: parent.verticalCenter
                        height: 36
                        text: qsTr("更新")
                        font.pixelSize: 14
                        font.capitalization: Font.MixedCase
                        highlighted: true
                        enabled: page.updateIdle && page.jobIdle
                        background: Rectangle {
                            color: "#0473D5"
                            opacity: updateButton.enabled ? 1.0 : 0.4
                            radius: 5
                        }
                        contentItem: Text {
                            text: updateButton.text
                            font: updateButton.font
                            color: "white"
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                        }
                        onClicked: {
                            device.update()
                            console.info(device.updateProgress)
                        }
                    }
                }
            }

            // Line 3: the machine's progress.
            Item {
                id: progressLine
                width: content.width * 0.88
                height: content.height / 3
                anchors.horizontalCenter: parent.horizontalCenter

                Text {
                    id: progressLabel
                    anchors.verticalCenter: parent.verticalCenter
                    text: qsTr("升级进度："); font.pixelSize: 13; color: "#333333"
                }
                ProgressBar {
                    id: progressBar
                    objectName: "progressBar"
                    x: progressLabel.width + 20
                    anchors.verticalCenter: parent.verticalCenter
                    width: progressLine.width * 0.86
                    height: 10
                    from: 0
                    to: 100
                    value: device.updateProgress
                    background: Rectangle {
                        implicitHeight: 10
                        color: "#CCCCCC"
                        radius: 2
                    }
                    contentItem: Item {
                        Rectangle {
                            width: progressBar.width * progressBar.visualPosition
                            height: parent.height
                            color: "#0473D5"
                            radius: 2
                        }
                    }
                }
                Text {
                    objectName: "percentText"
                    anchors.horizontalCenter: progressBar.horizontalCenter
                    y: progressBar.y - 24
                    text: Math.round(progressBar.value) + "%"
                    font.pixelSize: 18
                    color: "#0473D5"
                }
            }
        }
    }

    FileDialog {
        id: fileDialog
        objectName: "firmwareFileDialog"
        title: qsTr("选择升级文件")
        nameFilters: [qsTr("升级文件 (*.*)")]
        onAccepted: page.acceptFile(selectedFile)
    }

    function acceptFile(url) {
        device.updateFile = app.toLocalPath(url)
        console.info("升级模块: " + device.index)
        console.info("升级文件: " + device.updateFile)
    }
}
