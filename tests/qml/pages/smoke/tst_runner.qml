import QtQuick
import QtTest

// The runner's own promises: a linked driver, a machine that hears it, and
// QML warnings caught.
TestCase {
    name: "PageRunner"

    function cleanup() {
        compare(sim.takeWarnings(), [])
    }

    function test_driverReachesTheSimulator() {
        verify(sim.linked())
        sim.clear()
        device.wSpeed(12)
        tryVerify(() => sim.payloads().length > 0, hangMs)
    }

    function test_warningsAreCaught() {
        const bad = Qt.createQmlObject("import QtQuick; Item { width: undefinedName }", this)
        verify(sim.takeWarnings().length > 0)
        bad.destroy()
    }
}
