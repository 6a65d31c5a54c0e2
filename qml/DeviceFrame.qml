import QtQuick
import QtQuick.Window

// The machine at a glance: ident and address, the diagram of its version,
// roller and gyroscope readings, the web-guide sensor lamps, a banner with
// its fault conditions and a hold-to-wind button for the collect roller.
Rectangle {
    id: frame

    // 32-bit copy of the condition bits; every new value refreshes the banner.
    property int deviceState: device.deviceState
    onDeviceStateChanged: refreshBanner()
    Component.onCompleted: refreshBanner()

    function refreshBanner() {
        text_dev_state.text = device.deviceStateString()
    }

    Row {
        id: top_row
        objectName: "top_row"
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.topMargin: 10
        anchors.leftMargin: 10
        height: frame.height * 0.06
        spacing: 20

        Image {
            id: logo
            objectName: "panelLogo"
            height: top_row.height
            sourceSize.height: Math.max(1, Math.round(height))
            fillMode: Image.PreserveAspectFit
            smooth: true
            source: "file:Spoolsmith/res/logo.png"
        }
        Text {
            id: text_dev_ident
            objectName: "text_dev_ident"
            anchors.verticalCenter: parent.verticalCenter
            text: device.ident
            font.pointSize: 11
            font.bold: true
            color: Qt.rgba(0.1, 0.8, 0, 1)
        }
        Text {
            id: text_dev_ip
            objectName: "text_dev_ip"
            anchors.verticalCenter: parent.verticalCenter
            text: device.ip
            font.pointSize: 8
            color: Qt.rgba(0.4, 0.4, 0.4, 1)
        }
    }

    // Hold to wind: the collect motor winds to the roller's limit while held.
    Rectangle {
        id: windButton
        objectName: "windButton"
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.topMargin: 5
        anchors.rightMargin: 5
        width: 36
        height: 36
        color: windArea.containsMouse ? Qt.rgba(0.8, 0.8, 0.8, 0.8) : "transparent"

        Text {
            objectName: "windGlyph"
            anchors.centerIn: parent
            text: "\uf1cd"
            font.family: "TavraFont"
            font.pointSize: 20
            color: config.autoRoll ? Qt.rgba(1, 0, 0, 0.8) : Qt.rgba(0.5, 0.5, 0.5, 1)
        }

        MouseArea {
            id: windArea
            objectName: "windArea"
            anchors.fill: parent
            hoverEnabled: true
            // Whether this button set the winding, so only its own hold ends it.
            property bool winding: false

            function startWinding() {
                winding = true
                config.autoRoll = true
            }
            function stopWinding() {
                if (!winding)
                    return
                winding = false
                config.autoRoll = false
            }

            onPressed: startWinding()
            onReleased: stopWinding()
            onCanceled: stopWinding()
            // A hold must not outlive the button's chance to see its release.
            onEnabledChanged: if (!enabled) stopWinding()
            onVisibleChanged: if (!visible) stopWinding()
            Component.onDestruction: stopWinding()
            Connections {
                target: frame.Window.window
                function onActiveChanged() {
                    if (!frame.Window.active)
                        windArea.stopWinding()
                }
            }
        }
    }

    Rectangle {
        id: diagram_area
        objectName: "diagram_area"
        x: 5
        anchors.top: top_row.bottom
        anchors.bottom: bottom_row.top
        anchors.topMargin: 10
        anchors.bottomMargin: 10
        width: frame.width - 10
        color: "white"

        DeviceFrameV1 {
            objectName: "deviceFrameV1"
            anchors.fill: parent
            color: "transparent"
            visible: config.version === 1
        }
        DeviceFrameV2 {
            objectName: "deviceFrameV2"
            anchors.fill: parent
            color: "transparent"
            visible: config.version === 2
        }
        DeviceFrameV3 {
            objectName: "deviceFrameV3"
            anchors.fill: parent
            color: "transparent"
            visible: config.version === 3
        }
    }

    component Label: Text {
        height: parent ? parent.height : 0
        font.pointSize: 9
        font.bold: true
        color: Qt.rgba(0.4, 0.4, 0.4, 1)
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    component Value: Label {
        font.bold: false
    }

    Row {
        id: bottom_row
        objectName: "bottom_row"
        anchors.bottom: parent.bottom
        anchors.left: parent.left
        anchors.bottomMargin: 10
        anchors.leftMargin: 10
        spacing: 10
        height: 20

        Label { objectName: "collectRollerLabel"; text: qsTr("收纸辊:") }
        Value { objectName: "collectRollerValue"; text: device.collectRoller.toFixed(1) + " cm" }
        Label { objectName: "filmRollerLabel"; text: qsTr("覆膜辊:") }
        Value { objectName: "filmRollerValue"; text: device.filmRoller.toFixed(1) + " cm" }
        Label { objectName: "printRollerLabel"; text: qsTr("打印辊:"); visible: config.enablePrintRoller }
        Value { objectName: "printRollerValue"; text: device.printRoller.toFixed(1) + " cm"; visible: config.enablePrintRoller }
        Label { objectName: "gyroscopeLabel"; text: qsTr("陀螺仪:"); visible: config.enableGyroscope }
        Value { objectName: "gyroscopeValue"; text: device.gyroscope.toFixed(1) + " °"; visible: config.enableGyroscope }
    }

    SensorBar {
        objectName: "sensorBar"
        anchors.bottom: parent.bottom
        anchors.right: parent.right
        anchors.bottomMargin: 10
        anchors.rightMargin: 10
        height: 20
        visible: !config.enableScanAndTrim
    }

    Rectangle {
        id: banner
        objectName: "banner"
        anchors.centerIn: parent
        width: frame.width - 60
        height: text_dev_state.height + 30
        radius: 2
        color: Qt.rgba(0.9, 0.9, 0.9, 0.95)
        visible: device.deviceState !== 0

        Text {
            id: text_dev_state
            objectName: "text_dev_state"
            anchors.centerIn: parent
            text: ""
            font.pointSize: 18
            font.bold: true
            color: Qt.rgba(0.85, 0, 0, 1)
            wrapMode: Text.NoWrap
            elide: Text.ElideNone
        }
    }

    // The words of the banner also change without a change of the bits: the
    // feed-limit words follow the scan-and-trim setting, and a new axis-limit
    // report keeps bit 0x100 set. Refresh on the first and look for the
    // second while the banner is up.
    Connections {
        target: config
        function onEnableScanAndTrimChanged() { frame.refreshBanner() }
    }
    Timer {
        objectName: "bannerRefresh"
        interval: 500
        repeat: true
        running: banner.visible && frame.visible
        onTriggered: frame.refreshBanner()
    }
}
