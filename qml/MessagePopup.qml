import QtQuick
import QtQuick.Controls

// A message with a title bar and a close button. However it is closed, the
// machine's error text is cleared, so the same error raised again shows again.
ZuPopup {
    id: popup
    implicitWidth: 400
    implicitHeight: 140

    property string title: "Spoolsmith"
    property string text: ""
    property color textColor: Qt.rgba(1, 0, 0, 1)
    property bool textFontBold: true
    property bool showIcon: false

    onClosed: device.errorMessage = ""

    contentItem: Item {
        PopupTitleBar {
            id: titleBar
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            title: popup.title
            onClosePressed: {
                device.errorMessage = ""
                popup.close()
            }
        }

        Column {
            id: body
            anchors.top: titleBar.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 10
            spacing: 10

            Image {
                id: logo
                visible: popup.showIcon
                anchors.horizontalCenter: parent.horizontalCenter
                source: popup.showIcon ? "file:Spoolsmith/res/Corvane.svg" : ""
                height: Math.min(body.width * 0.3, 100)
                sourceSize.height: height
                fillMode: Image.PreserveAspectFit
            }

            TextEdit {
                objectName: "messageText"
                width: body.width
                height: popup.showIcon ? body.height - logo.height - 10 : body.height
                text: popup.text
                color: popup.textColor
                font.pointSize: 12
                font.bold: popup.textFontBold
                horizontalAlignment: TextEdit.AlignHCenter
                verticalAlignment: TextEdit.AlignVCenter
                // Whole words where they fit: English must not break mid-word.
                wrapMode: TextEdit.Wrap
                // The operator reads and copies the message, never types over it.
                readOnly: true
                selectByMouse: true
            }
        }
    }
}
