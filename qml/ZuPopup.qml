import QtQuick
import QtQuick.Controls

// The frame every dialog popup of the module shares: modal, centred in the
// window, closed by Escape or a press outside, a short scale-and-fade on the
// way in and out.
Popup {
    id: popup
    padding: 0
    modal: true
    focus: true
    anchors.centerIn: Overlay.overlay
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutsideParent

    enter: Transition {
        ParallelAnimation {
            NumberAnimation { property: "scale"; from: 1.2; to: 1.0; easing.type: Easing.OutCubic; duration: 83 }
            NumberAnimation { property: "opacity"; from: 0.0; to: 1.0; duration: 83 }
        }
    }
    exit: Transition {
        ParallelAnimation {
            NumberAnimation { property: "scale"; from: 1.0; to: 1.2; easing.type: Easing.OutCubic; duration: 83 }
            NumberAnimation { property: "opacity"; from: 1.0; to: 0.0; duration: 83 }
        }
    }

    background: Rectangle {
        color: "white"
        radius: 2
        border.width: 1
        border.color: Qt.rgba(0.5, 0.5, 0.5, 0.5)
    }
}
