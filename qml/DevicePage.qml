import QtQuick
import QtQuick.Controls

// The machine's own working parameters (cut mode, speed, pressure), the mark
// camera's offset, the finishing mode or the web-guide sensor switch, and the
// motor resets and factory set. Nothing is kept here: each change goes to the
// machine or to config at once.
Item {
    id: page

    // Factory reset and save re-scale the machine: never under a job.
    readonly property bool jobIdle: app.taskStatus === 2
    readonly property string busyTip: qsTr("任务运行中，请先停止任务")

    // The motor resets move what a job is working with (the web guide also
    // forgets its marks and paper centre): refused, with the tip, under a job.
    // Asked again on OK: a job may have started while the box was open.
    function resetAllowed() {
        if (!jobIdle)
            device.errorMessage = busyTip
        return jobIdle
    }
    function confirmReset(box) {
        if (resetAllowed())
            box.open()
    }

    // After a machine write the box shows what the machine reports, so a
    // write it refused puts the shown value back.
    function followDevice(box, member) {
        box.value = Qt.binding(function() { return device[member] })
    }

    component Label: Text {
        width: 100
        height: 30
        font.pointSize: 10
        color: Qt.rgba(0.1, 0.1, 0.1, 0.8)
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    component Unit: Text {
        height: 30
        font.pointSize: 8
        color: Qt.rgba(0.5, 0.5, 0.5, 0.8)
        verticalAlignment: Text.AlignVCenter
    }

    component ActionButton: Button {
        width: 175
        height: 40
    }

    component ConfirmBox: ZuMessageBox {
        titleFont.pointSize: 14
        titleFont.bold: true
        textFont.pointSize: 11
        btnFont.pointSize: 12
    }

    DeviceFrame {
        id: frame
        objectName: "deviceFrame"
        width: page.width - panel.width
        height: page.height
    }

    Rectangle {
        id: panel
        objectName: "parameterPanel"
        width: 400
        height: page.height
        anchors.right: parent.right
        color: "transparent"

        Text {
            id: title
            width: 200
            height: 50
            text: qsTr("机器参数")
            font.bold: true
            font.pointSize: 11
            color: Qt.rgba(0.8, 0.8, 0, 1)
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }

        Column {
            id: rows
            anchors.top: title.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.margins: 5
            spacing: 20

            Rectangle {
                width: rows.width
                height: 1
                color: "black"
            }

            Row {
                Label { text: qsTr("工作模式") }
                CutModelComboBox {
                    id: cutModelBox
                    objectName: "cutModelBox"
                    width: 200
                    height: 30
                    mod: device.cutModel
                    onModModfiy: {
                        // The shown mode always goes back to the machine's own.
                        if (!device.wCutModel(mod))
                            device.errorMessage = qsTr("切割模式设置失败，请检查设备后重试")
                        mod = Qt.binding(function() { return device.cutModel })
                    }
                }
            }

            Row {
                spacing: 5
                Label { text: qsTr("速度") }
                ZuSpinBox {
                    id: speedBox
                    objectName: "speedBox"
                    width: 200
                    height: 30
                    decimals: 0
                    min: 10
                    max: 1200
                    value: device.speed
                    onValueModified: {
                        device.wSpeed(value)
                        page.followDevice(speedBox, "speed")
                    }
                }
                Unit { text: "mm/s" }
            }

            Row {
                spacing: 5
                Label { text: qsTr("压力") }
                ZuSpinBox {
                    id: pressureBox
                    objectName: "pressureBox"
                    width: 200
                    height: 30
                    decimals: 0
                    min: 0
                    max: 750
                    value: device.pressure
                    onValueModified: {
                        device.wPressure(real_value)
                        page.followDevice(pressureBox, "pressure")
                    }
                }
                Unit { text: "gf" }
            }

            Row {
                spacing: 5
                Label { text: qsTr("摄像头偏移") }
                Text {
                    height: 30
                    text: " X "
                    font.pointSize: 10
                    verticalAlignment: Text.AlignVCenter
                }
                ZuSpinBox {
                    id: offsetXBox
                    objectName: "offsetXBox"
                    width: 180
                    height: 30
                    value: Math.round(decimalToInt(config.markCameraOffsetX))
                    onValueModified: config.markCameraOffsetX = real_value
                }
                Unit { text: "mm" }
            }

            Row {
                spacing: 5
                Label { text: "" }
                Text {
                    height: 30
                    text: " Y "
                    font.pointSize: 10
                    verticalAlignment: Text.AlignVCenter
                }
                ZuSpinBox {
                    id: offsetYBox
                    objectName: "offsetYBox"
                    width: 180
                    height: 30
                    value: Math.round(decimalToInt(config.markCameraOffsetY))
                    onValueModified: config.markCameraOffsetY = real_value
                }
                Unit { text: "mm" }
            }

            Row {
                objectName: "collectRow"
                visible: config.enableScanAndTrim
                Label { text: qsTr("收料") }
                CollectSwitch {
                    id: collectSwitch
                    objectName: "collectSwitch"
                    width: 200
                    height: 30
                    trim: config.trim
                    onTrimChanged: config.trim = trim
                }
            }

            Row {
                objectName: "rectifyRow"
                visible: !config.enableScanAndTrim
                spacing: 2
                Label {
                    width: 120
                    text: qsTr("传感器纠偏")
                }
                Switch {
                    id: rectifySwitch
                    objectName: "rectifySwitch"
                    height: 30
                    checked: config.enableRectify
                    text: checked ? qsTr("开") : qsTr("关")
                    onCheckedChanged: config.enableRectify = checked
                }
            }
        }

        Item {
            id: actions
            width: panel.width - 40
            height: 100
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom

            Flow {
                anchors.fill: parent
                spacing: 10

                ActionButton {
                    objectName: "rectifyResetButton"
                    text: qsTr("纠偏复位")
                    onClicked: page.confirmReset(popup_slit)
                }
                ActionButton {
                    objectName: "trimResetButton"
                    visible: config.enableScanAndTrim
                    text: qsTr("裁断复位")
                    onClicked: page.confirmReset(popup_tirm)
                }
                Row {
                    spacing: 10
                    ActionButton {
                        objectName: "factoryResetButton"
                        enabled: page.jobIdle
                        text: qsTr("恢复默认设置")
                        onClicked: popup_reset.open()
                    }
                    ActionButton {
                        objectName: "factorySaveButton"
                        enabled: page.jobIdle
                        text: qsTr("保存默认设置")
                        onClicked: popup_save_reset.open()
                    }
                }
            }
        }

        ConfirmBox {
            id: popup_slit
            objectName: "popup_slit"
            text: qsTr("检查安全后，点击 <确 定> 按钮复位分切纠偏电机！")
            onClickedOk: {
                if (!page.resetAllowed())
                    return
                if (device.wRectifyMotorReset())
                    config.rectifyReset = true
                else
                    device.errorMessage = qsTr("纠偏电机复位失败，请检查设备后重试")
            }
        }

        ConfirmBox {
            id: popup_tirm
            objectName: "popup_tirm"
            text: qsTr("检查安全后，点击 <确 定> 按钮复位裁断电机！")
            onClickedOk: {
                if (!page.resetAllowed())
                    return
                if (device.wTirmMotorYReset())
                    config.trimReset = true
                else
                    device.errorMessage = qsTr("裁断电机复位未发出，请检查设备后重试")
            }
        }

        ConfirmBox {
            id: popup_reset
            objectName: "popup_reset"
            text: qsTr("确定要恢复到默认设置 ？")
            onClickedOk: {
                if (page.jobIdle)
                    device.wFactoryReset()
            }
        }

        ConfirmBox {
            id: popup_save_reset
            objectName: "popup_save_reset"
            text: qsTr("确定要保存当前设置为默认设置 ？")
            onClickedOk: {
                if (page.jobIdle)
                    device.wSaveToFactorySet()
            }
        }
    }
}
