import QtQuick
import QtQuick.Controls

// The device tab. For now it only declares the settings dialog and the button
// that opens it; settings are not changed while a job runs.
Item {
    id: page

    SettingPage {
        id: setting_page
        objectName: "settingPage"
    }

    ZuMessageBox {
        id: tipBox
        objectName: "tipBox"
        titleFont.pointSize: 14
        titleFont.bold: true
        textFont.pointSize: 11
        btnFont.pointSize: 12

        function show(tip) {
            text = tip
            open()
        }
    }

    Button {
        objectName: "settingButton"
        x: 20
        y: 20
        text: qsTr("设置")
        onClicked: {
            if (app.taskStatus === 1)
                tipBox.show(qsTr("任务运行中不可设置"))
            else
                setting_page.open()
        }
    }
}
