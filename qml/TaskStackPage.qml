import QtQuick

// The task tab. Every operator message arrives through device.errorMessage
// and is shown here.
Item {
    id: page

    MessagePopup {
        id: errorPopup
        objectName: "errorPopup"
    }

    Connections {
        target: device
        function onErrorMessageChanged() {
            if (device.errorMessage !== "") {
                errorPopup.text = device.errorMessage
                errorPopup.open()
            }
        }
    }
}
