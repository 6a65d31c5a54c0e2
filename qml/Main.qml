import QtQuick
import QtQuick.Window
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.VirtualKeyboard

// The program's only top-level window: three pages on a stack, a tab bar
// over the bottom edge and the on-screen keyboard above everything.
Window {
    id: root
    width: 1080
    height: 760
    visible: true
    visibility: Window.Maximized
    title: qsTr("Spoolsmith")

    // A firmware upload must not be cut off by closing the program.
    onClosing: (close) => { close.accepted = app.allowedExit() }

    StackLayout {
        id: pages
        objectName: "pages"
        anchors.fill: parent
        currentIndex: 1

        DeviceStackPage {
            objectName: "deviceStackPage"
            Layout.preferredWidth: pages.width
            Layout.preferredHeight: pages.height
            Layout.alignment: Qt.AlignCenter
        }
        TaskStackPage {
            objectName: "taskStackPage"
            Layout.preferredWidth: pages.width
            Layout.preferredHeight: pages.height
            Layout.alignment: Qt.AlignCenter
        }
        HelpStackPage {
            objectName: "helpStackPage"
            Layout.preferredWidth: pages.width
            Layout.preferredHeight: pages.height
            Layout.alignment: Qt.AlignCenter
        }
    }

    Row {
        id: tabBar
        objectName: "tabBar"
        anchors.bottom: parent.bottom
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 0

        Repeater {
            model: ["\uf015", "\ue115", "\uf059"]
            Button {
                objectName: "tabButton" + index
                width: 110
                height: 40
                text: modelData
                font.family: "TavraFont"
                font.pointSize: 28
                onClicked: pages.currentIndex = index
            }
        }
    }

    InputPanel {
        id: inputPanel
        objectName: "inputPanel"
        // Above the popups' overlay too, or the keyboard would lie under a
        // dialog's dimming and never get a press while the dialog is open.
        z: Overlay.overlay.z + 99
        x: 0
        y: root.height
        width: root.width

        states: State {
            name: "visible"
            when: inputPanel.active
            PropertyChanges {
                target: inputPanel
                y: root.height - inputPanel.height
            }
        }
        transitions: Transition {
            from: ""
            to: "visible"
            reversible: true
            NumberAnimation {
                properties: "y"
                duration: 250
                easing.type: Easing.InOutQuad
            }
        }
    }
}
