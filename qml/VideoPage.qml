import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import TAVRA_Config

// The set-up bench: the live picture of the shown camera on the left; lights,
// manual moves, tests and the cutting parameters on the right. Every change
// goes to config or the machine at once; the page keeps only the two scale
// entries.
Item {
    id: control

    // Moves, re-scaling and recognition never run under a job.
    readonly property bool jobIdle: app.taskStatus === 2
    readonly property bool markCameraShown: config.showCamera === 0
    readonly property var markSizes: [3.5, 5.0]
    // A measured side further than this from the 100 mm square is asked about.
    readonly property real scaleTolerance: 0.1

    function markSizeIndex(size) {
        for (let i = 0; i < markSizes.length; ++i) {
            if (Math.abs(size - markSizes[i]) < 1e-9)
                return i
        }
        return -1
    }

    function scaleMeasured(measured) {
        return Math.abs(measured - 100) <= 100 * scaleTolerance
    }

    function applyScale() {
        device.wScale(100.0 / spb_scalex.real_value, 100.0 / spb_scaley.real_value)
        spb_scalex.value = 10000
        spb_scaley.value = 10000
    }

    function recognise() {
        const cameraNo = config.showCamera + 1
        if (config.showCamera === 0 || config.usedQMLCamera)
            camera.capture(cameraNo)
        else
            app.doCapture(cameraNo)
    }

    // The knife pressure shows what the machine reports after each write, so
    // a refused write puts the shown value back.
    function followPressure() {
        pressureBox.value = Qt.binding(function() { return device.pressure })
    }

    // Before the task page takes the camera back.
    StackView.onDeactivating: camera_view.release()

    component SectionTitle: Text {
        x: 20
        height: 15
        font.bold: true
        font.pointSize: 11
        color: Qt.rgba(0.8, 0.8, 0, 1)
    }

    component Rule: Rectangle {
        width: column.width
        height: 1
        color: "black"
    }

    component FitButton: Button {
        id: fit
        contentItem: Text {
            text: fit.text
            font: fit.font
            color: fit.enabled ? "black" : Qt.rgba(0.5, 0.5, 0.5, 1)
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }
    }

    component TestButton: FitButton {
        width: 100
        height: 30
    }

    component LabelText: Text {
        font.pointSize: 10
        color: Qt.rgba(0.1, 0.1, 0.1, 0.8)
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    component UnitText: Text {
        Layout.preferredWidth: 50
        font.pointSize: 8
        color: Qt.rgba(0.5, 0.5, 0.5, 0.8)
        verticalAlignment: Text.AlignVCenter
    }

    component ArrowButton: HoldButton {
        width: 70
        height: 30
    }

    component LightLabel: Text {
        width: 80
        height: 30
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    Rectangle {
        id: left_panel
        objectName: "left_panel"
        width: control.width - right_panel.width
        height: control.height
        color: Qt.rgba(0, 0, 0, 1)

        CameraView {
            id: camera_view
            objectName: "cameraView"
            anchors.fill: parent
            cs: camera.currCS
            showFilmHistory: true
        }
    }

    ScrollView {
        id: right_panel
        objectName: "right_panel"
        width: 420
        height: control.height
        anchors.right: parent.right
        contentWidth: column.width
        contentHeight: column.height
        clip: true

        Column {
            id: column
            width: right_panel.width - 20
            spacing: 10

            SectionTitle { text: qsTr("灯光调整") }
            Rule {}

            Column {
                id: lights
                width: column.width
                spacing: 5

                Row {
                    objectName: "markLightRow"
                    visible: config.showCamera === 0
                    height: 30
                    spacing: 5
                    LightLabel { text: qsTr("补光灯") }
                    Slider {
                        id: slider_markLight
                        objectName: "slider_markLight"
                        width: lights.width - 110
                        height: 30
                        from: 0
                        to: 255
                        stepSize: 1
                        snapMode: Slider.SnapAlways
                        value: config.markLight
                        onValueChanged: {
                            markLightSender.push(Math.round(value))
                            config.markLight = Math.round(value)
                        }
                        onPressedChanged: if (!pressed) markLightSender.flush()
                    }
                    Text {
                        height: 30
                        verticalAlignment: Text.AlignVCenter
                        text: Math.round(slider_markLight.value)
                    }
                    RateLimiter {
                        id: markLightSender
                        action: function(level) { device.wMarkLight(level) }
                    }
                }

                Row {
                    objectName: "checkLightRow"
                    visible: config.showCamera === 1
                    height: 30
                    spacing: 5
                    LightLabel { text: qsTr("顶灯") }
                    Slider {
                        id: slider_checkLight
                        objectName: "slider_checkLight"
                        width: lights.width - 110
                        height: 30
                        from: 0
                        to: 100
                        stepSize: 1
                        snapMode: Slider.SnapAlways
                        value: config.checkLight
                        onValueChanged: {
                            // The machine's strip takes the level the other way round.
                            checkLightSender.push(Math.round(100 - value))
                            config.checkLight = Math.round(value)
                        }
                        onPressedChanged: if (!pressed) checkLightSender.flush()
                    }
                    Text {
                        height: 30
                        verticalAlignment: Text.AlignVCenter
                        text: Math.round(slider_checkLight.value)
                    }
                    RateLimiter {
                        id: checkLightSender
                        action: function(level) { device.wCheckLightStrip(level) }
                    }
                }

                Row {
                    objectName: "backLightRow"
                    visible: config.showCamera === 1
                    height: 30
                    spacing: 5
                    LightLabel { text: qsTr("底灯") }
                    // Any stored level but 0 is on; the switch follows only
                    // on/off, so writing 1 back over 255 does not loop.
                    readonly property bool storedOn: config.checkBKLight !== 0
                    Switch {
                        id: backLightSwitch
                        objectName: "backLightSwitch"
                        height: 30
                        checked: parent.storedOn
                        text: checked ? qsTr("开") : qsTr("关")
                        onCheckedChanged: {
                            config.checkBKLight = checked ? 1 : 0
                            device.wCheckBackgroundLight(checked ? 1 : 0)
                        }
                    }
                }
            }

            SectionTitle { text: qsTr("手动移动") }
            Rule {}

            Rectangle {
                id: arrows
                objectName: "arrows"
                width: column.width
                height: 100
                color: "white"

                ArrowButton {
                    objectName: "upButton"
                    text: "↑"
                    enabled: control.markCameraShown && control.jobIdle
                    x: arrows.width / 2 - width / 2
                    y: arrows.height / 2 - 1.7 * height
                    startHold: function() {
                        device.wMoveY(-1)
                        return [function() { device.wMoveY(0) }]
                    }
                }
                ArrowButton {
                    objectName: "downButton"
                    text: "↓"
                    enabled: control.markCameraShown && control.jobIdle
                    x: arrows.width / 2 - width / 2
                    y: arrows.height / 2 + 0.7 * height
                    startHold: function() {
                        device.wMoveY(1)
                        return [function() { device.wMoveY(0) }]
                    }
                }
                ArrowButton {
                    objectName: "leftButton"
                    text: "←"
                    enabled: control.jobIdle
                    x: arrows.width / 2 - 1.7 * width
                    y: arrows.height / 2 - height / 2
                    startHold: function() {
                        if (config.showCamera === 0) {
                            device.wMoveX(-1)
                            return [function() { device.wMoveX(0) }]
                        }
                        if (config.trim) {
                            device.wCollectMotor(30, 10000)
                            device.wTrimMotorX(35, 10000)
                            return [function() { device.wCollectMotor(0, 0) },
                                    function() { device.wTrimMotorX(0, 0) }]
                        }
                        device.wCollectMotor(50, 10000)
                        return [function() { device.wCollectMotor(0, 0) }]
                    }
                }
                ArrowButton {
                    objectName: "rightButton"
                    text: "→"
                    enabled: control.markCameraShown && control.jobIdle
                    x: arrows.width / 2 + 0.7 * width
                    y: arrows.height / 2 - height / 2
                    startHold: function() {
                        if (config.showCamera !== 0)
                            return []
                        device.wMoveX(1)
                        return [function() { device.wMoveX(0) }]
                    }
                }
            }

            SectionTitle { text: qsTr("测试") }
            Rule {}

            Item {
                width: column.width
                height: app.enabledTest ? 230 : 150

                Flow {
                    id: tests
                    objectName: "tests"
                    x: 30
                    width: parent.width - 30
                    height: parent.height
                    spacing: 10

                    TestButton {
                        objectName: "testPressureButton"
                        text: qsTr("测试刀压")
                        onClicked: device.testPressure()
                    }
                    TestButton {
                        objectName: "setOriginButton"
                        text: qsTr("设置原点")
                        onClicked: device.setOrigin()
                    }
                    TestButton {
                        objectName: "gotoOriginButton"
                        text: qsTr("回到原点")
                        enabled: control.jobIdle
                        onClicked: device.gotoOrigin()
                    }
                    TestButton {
                        objectName: "autoFindPointButton"
                        visible: app.enabledTest
                        text: qsTr("自动找点")
                        onClicked: device.autoFindPoint()
                    }
                    TestButton {
                        objectName: "autoCheckPointButton"
                        visible: app.enabledTest
                        text: qsTr("测试标记点")
                        onClicked: device.autoCheckPoint()
                    }
                    TestButton {
                        objectName: "cutRepeatButton"
                        visible: app.enabledTest
                        text: qsTr("重复切割")
                        onClicked: device.cutRepeat()
                    }
                    TestButton {
                        objectName: "moveOffsetButton"
                        visible: app.enabledTest
                        enabled: control.jobIdle
                        text: qsTr("移动偏移")
                        onClicked: device.moveOffset()
                    }
                    TestButton {
                        objectName: "cutButton"
                        visible: app.enabledTest
                        text: qsTr("空白切割")
                        onClicked: device.cut()
                    }
                    TestButton {
                        id: btn_test
                        objectName: "btn_test"
                        text: qsTr("识 别")
                        enabled: control.jobIdle
                        onClicked: control.recognise()
                    }
                    TestButton {
                        objectName: "labelExcelButton"
                        visible: config.enableScanAndTrim
                        text: qsTr("识别结果")
                        onClicked: app.openLabelExcel()
                    }
                    TestButton {
                        objectName: "singleCopyButton"
                        text: qsTr("单份切割")
                        onClicked: app.startTask(false, true)
                    }
                    HoldButton {
                        objectName: "autoRollButton"
                        width: 100
                        height: 30
                        text: qsTr("收卷")
                        startHold: function() {
                            config.autoRoll = true
                            return [function() { config.autoRoll = false }]
                        }
                    }
                    Row {
                        spacing: 10
                        TestButton {
                            objectName: "printButton"
                            visible: config.enablePrint
                            text: qsTr("打印")
                            onClicked: app.printPdfFile(app.printFile, app.printerName)
                        }
                        ZuSpinBox {
                            id: printCopiesSpinBox
                            objectName: "printCopiesSpinBox"
                            visible: config.enablePrint
                            width: 100
                            height: 30
                            decimals: 0
                            min: 0
                            max: 99999
                            Component.onCompleted: value = config.getProperty(TAVRA_Config.CPT_printCopiesOnce)
                            onValueModified: config.setProperty(TAVRA_Config.CPT_printCopiesOnce, real_value)

                            // getProperty has no change signal of its own.
                            Connections {
                                target: config
                                function onPropertyChanged(key, val) {
                                    if (key === TAVRA_Config.CPT_printCopiesOnce) {
                                        printCopiesSpinBox.value = val
                                        printCopiesSpinBox.update()
                                    }
                                }
                            }
                        }
                        Text {
                            visible: config.enablePrint
                            height: 30
                            text: qsTr("份")
                            font.pointSize: 9
                            color: Qt.rgba(0.5, 0.5, 0.5, 0.8)
                            verticalAlignment: Text.AlignVCenter
                        }
                    }
                    Row {
                        height: 30
                        spacing: 10
                        Text {
                            width: 100
                            height: 30
                            text: qsTr("页面间隔")
                            font.pointSize: 10
                            color: Qt.rgba(0.1, 0.1, 0.1, 0.8)
                            verticalAlignment: Text.AlignVCenter
                            elide: Text.ElideRight
                        }
                        ZuSpinBox {
                            objectName: "pageSpacingBox"
                            width: 100
                            height: 30
                            min: -999
                            max: 999
                            value: Math.round(config.pageSpacing * 100)
                            onValueModified: config.pageSpacing = real_value
                        }
                        Text {
                            height: 30
                            text: "mm"
                            font.pointSize: 9
                            color: Qt.rgba(0.5, 0.5, 0.5, 0.8)
                            verticalAlignment: Text.AlignVCenter
                        }
                    }
                }
            }

            SectionTitle { text: qsTr("参数调整") }
            Rule {}

            GridLayout {
                id: parameters
                objectName: "parameters"
                x: 30
                width: column.width - 30
                height: 400
                columns: 4
                columnSpacing: 10
                rowSpacing: 10

                LabelText {
                    Layout.row: 0
                    Layout.column: 0
                    Layout.columnSpan: 2
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignRight
                    text: qsTr("标记点尺寸")
                }
                ComboBox {
                    id: comboBox
                    objectName: "comboBox"
                    Layout.row: 0
                    Layout.column: 2
                    Layout.preferredWidth: 100
                    Layout.preferredHeight: 30
                    model: [qsTr("3.5"), qsTr("5.0")]
                    // Opening shows the stored size and never changes it; a
                    // size off the list is shown as it is.
                    currentIndex: control.markSizeIndex(config.markSize)
                    displayText: currentIndex < 0 ? String(config.markSize) : currentText
                    onActivated: (index) => config.markSize = control.markSizes[index]
                    delegate: ItemDelegate {
                        width: comboBox.width
                        height: comboBox.height
                        contentItem: Text {
                            text: modelData
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                        }
                    }
                }
                UnitText { Layout.row: 0; Layout.column: 3; text: "mm" }

                FitButton {
                    objectName: "cameraOffsetCheckButton"
                    Layout.row: 1
                    Layout.column: 0
                    Layout.columnSpan: 4
                    Layout.alignment: Qt.AlignHCenter
                    Layout.preferredWidth: 260
                    Layout.preferredHeight: 30
                    text: qsTr("点击校准摄像头偏移")
                    onClicked: device.checkCameraOffset()
                }

                Image {
                    Layout.row: 2
                    Layout.column: 0
                    Layout.rowSpan: 3
                    Layout.preferredWidth: 120
                    Layout.fillHeight: true
                    fillMode: Image.PreserveAspectFit
                    source: "file:Spoolsmith/res/xy.svg"
                }
                LabelText {
                    Layout.row: 2
                    Layout.column: 1
                    Layout.columnSpan: 3
                    Layout.fillWidth: true
                    text: qsTr("摄像头偏移")
                }
                LabelText { Layout.row: 3; Layout.column: 1; text: "X" }
                ZuSpinBox {
                    objectName: "offsetXBox"
                    Layout.row: 3
                    Layout.column: 2
                    Layout.preferredWidth: 100
                    Layout.preferredHeight: 30
                    value: Math.round(decimalToInt(config.markCameraOffsetX))
                    onValueModified: config.markCameraOffsetX = real_value
                }
                UnitText { Layout.row: 3; Layout.column: 3; text: "mm" }
                LabelText { Layout.row: 4; Layout.column: 1; text: "Y" }
                ZuSpinBox {
                    objectName: "offsetYBox"
                    Layout.row: 4
                    Layout.column: 2
                    Layout.preferredWidth: 100
                    Layout.preferredHeight: 30
                    value: Math.round(decimalToInt(config.markCameraOffsetY))
                    onValueModified: config.markCameraOffsetY = real_value
                }
                UnitText { Layout.row: 4; Layout.column: 3; text: "mm" }

                LabelText {
                    Layout.row: 5
                    Layout.column: 0
                    Layout.columnSpan: 2
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignRight
                    text: qsTr("压力")
                }
                ZuSpinBox {
                    id: pressureBox
                    objectName: "pressureBox"
                    Layout.row: 5
                    Layout.column: 2
                    Layout.preferredWidth: 100
                    Layout.preferredHeight: 30
                    decimals: 0
                    min: 0
                    max: 750
                    value: device.pressure
                    onValueModified: {
                        device.wPressure(real_value)
                        control.followPressure()
                    }
                }
                UnitText { Layout.row: 5; Layout.column: 3; text: "gf" }

                FitButton {
                    objectName: "knifeCompensateButton"
                    Layout.row: 6
                    Layout.column: 0
                    Layout.columnSpan: 2
                    Layout.fillWidth: true
                    font.pointSize: 10
                    checkable: true
                    checked: config.knifeCompensate
                    text: qsTr("刻刀补偿")
                    onCheckedChanged: if (config.knifeCompensate !== checked) config.knifeCompensate = checked
                }
                ZuSpinBox {
                    objectName: "knifeCompensateBox"
                    Layout.row: 6
                    Layout.column: 2
                    Layout.preferredWidth: 100
                    Layout.preferredHeight: 30
                    min: 0
                    max: 2
                    value: Math.round(config.knifeCompensateVal * 100)
                    onValueModified: config.knifeCompensateVal = real_value
                }
                UnitText { Layout.row: 6; Layout.column: 3; font.pointSize: 9; text: "mm" }

                FitButton {
                    objectName: "closeCompensateButton"
                    Layout.row: 7
                    Layout.column: 0
                    Layout.columnSpan: 2
                    Layout.fillWidth: true
                    font.pointSize: 10
                    checkable: true
                    checked: config.closeCompensate
                    text: qsTr("闭合补偿")
                    onCheckedChanged: if (config.closeCompensate !== checked) config.closeCompensate = checked
                }
                ZuSpinBox {
                    objectName: "closeCompensateBox"
                    Layout.row: 7
                    Layout.column: 2
                    Layout.preferredWidth: 100
                    Layout.preferredHeight: 30
                    min: 0
                    max: 3
                    value: Math.round(config.closeCompensateVal * 100)
                    onValueModified: config.closeCompensateVal = real_value
                }
                UnitText { Layout.row: 7; Layout.column: 3; font.pointSize: 9; text: "mm" }

                FitButton {
                    objectName: "cut100mmRectButton"
                    Layout.row: 8
                    Layout.column: 0
                    Layout.columnSpan: 4
                    Layout.alignment: Qt.AlignHCenter
                    Layout.preferredWidth: 260
                    Layout.preferredHeight: 30
                    text: qsTr("点击切割100 x 100 mm 矩形")
                    onClicked: device.cut100mmRect()
                }

                LabelText {
                    Layout.row: 9
                    Layout.column: 0
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignRight
                    text: qsTr("缩放")
                }
                LabelText { Layout.row: 9; Layout.column: 1; text: "X" }
                ZuSpinBox {
                    id: spb_scalex
                    objectName: "spb_scalex"
                    Layout.row: 9
                    Layout.column: 2
                    Layout.preferredWidth: 100
                    Layout.preferredHeight: 30
                    min: 1
                    max: 100000
                    value: decimalToInt(100)
                }
                LabelText {
                    Layout.row: 10
                    Layout.column: 0
                    Layout.columnSpan: 2
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignRight
                    text: "Y"
                }
                ZuSpinBox {
                    id: spb_scaley
                    objectName: "spb_scaley"
                    Layout.row: 10
                    Layout.column: 2
                    Layout.preferredWidth: 100
                    Layout.preferredHeight: 30
                    min: 1
                    max: 100000
                    value: decimalToInt(100)
                }
                FitButton {
                    objectName: "scaleButton"
                    Layout.row: 10
                    Layout.column: 3
                    Layout.preferredWidth: 50
                    Layout.preferredHeight: 30
                    font.pointSize: 8
                    enabled: control.jobIdle
                    text: qsTr("设置")
                    onClicked: {
                        if (control.scaleMeasured(spb_scalex.real_value) && control.scaleMeasured(spb_scaley.real_value))
                            control.applyScale()
                        else
                            scaleConfirm.open()
                    }
                }
            }

            Item {
                width: column.width
                height: 100
            }
        }
    }

    ZuMessageBox {
        id: scaleConfirm
        objectName: "scaleConfirm"
        titleFont.pointSize: 14
        titleFont.bold: true
        textFont.pointSize: 11
        btnFont.pointSize: 12
        text: qsTr("测量的边长与 100 mm 相差超过 10%，确定要按此设置缩放吗？")
        onClickedOk: {
            if (control.jobIdle)
                control.applyScale()
        }
    }
}
