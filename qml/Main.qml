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

    // Set once the first frame is on its way: what it does not show is built
    // after it.
    property bool shown: false
    onAfterAnimating: if (!shown) Qt.callLater(() => { root.shown = true })

    // A firmware upload must not be cut off by closing the program.
    onClosing: (close) => { close.accepted = app.allowedExit() }

    StackLayout {
        id: pages
        objectName: "pages"
        anchors.fill: parent
        currentIndex: 1

        // The first frame waits only for what it shows (the task tab); the
        // other tabs and the keyboard are built right after it.
        Loader {
            active: root.shown
            asynchronous: true
            Layout.preferredWidth: pages.width
            Layout.preferredHeight: pages.height
            Layout.alignment: Qt.AlignCenter
            sourceComponent: DeviceStackPage {
                objectName: "deviceStackPage"
            }
        }
        TaskStackPage {
            objectName: "taskStackPage"
            Layout.preferredWidth: pages.width
            Layout.preferredHeight: pages.height
            Layout.alignment: Qt.AlignCenter
        }
        Loader {
            active: root.shown
            asynchronous: true
            Layout.preferredWidth: pages.width
            Layout.preferredHeight: pages.height
            Layout.alignment: Qt.AlignCenter
            sourceComponent: HelpStackPage {
                objectName: "helpStackPage"
            }
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

    Loader {
        active: root.shown
        asynchronous: true
        // Above the popups' overlay too, or the keyboard would lie under a
        // dialog's dimming and never get a press while the dialog is open.
        z: Overlay.overlay.z + 99
        sourceComponent: InputPanel {
            id: inputPanel
            objectName: "inputPanel"
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
}
