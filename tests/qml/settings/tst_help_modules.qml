import QtQuick
import QtQuick.Window
import QtTest
import Spoolsmith2024

// The firmware tab's module chooser on a machine of each version: version 1
// (with the trim unit) offers four modules, the others three.
TestCase {
    id: testCase
    name: "HelpModules"
    when: windowShown

    Component {
        id: helpComponent
        Window {
            width: 1080
            height: 760
            visible: true
            property alias page: help
            HelpStackPage { id: help; anchors.fill: parent }
        }
    }

    function findByName(item, name) {
        if (item.objectName === name)
            return item
        const kids = item.children !== undefined ? item.children : []
        for (let i = 0; i < kids.length; ++i) {
            const found = findByName(kids[i], name)
            if (found)
                return found
        }
        return null
    }

    function test_modulesOfTheVersion() {
        const win = createTemporaryObject(helpComponent, testCase)
        verify(win)
        waitForRendering(win.contentItem)
        const chooser = findByName(win.page, "moduleChooser")
        const names = config.getModuleName()
        compare(chooser.count, config.version === 1 ? 4 : 3)
        compare(chooser.textAt(chooser.count - 1), names[names.length - 1])
        compare(device.index, 0)
        if (config.version === 1)
            compare(config.getModules()[3], 3)
    }
}
