import QtQuick
import QtQuick.Controls

// A button that runs something only while it is held. startHold() runs on
// press and returns the stops for exactly what it started; those stops are
// sent once, whichever comes first: release, cancel, the button disabled or
// hidden, the window losing focus, or the button going away. So a motor is
// never left running, and a condition that changed meanwhile cannot send the
// stop to another motor.
Button {
    id: control

    // function () -> [function, ...]: starts, and returns the stops.
    property var startHold: null
    property var heldStops: []
    readonly property bool holding: heldStops.length > 0
    readonly property bool windowActive: Window.active

    function stopHold() {
        if (heldStops.length === 0)
            return
        const stops = heldStops
        heldStops = []
        for (let i = 0; i < stops.length; ++i)
            stops[i]()
    }

    hoverEnabled: true
    onPressed: {
        stopHold()
        const stops = startHold ? startHold() : []
        heldStops = stops ? stops : []
    }
    onReleased: stopHold()
    onCanceled: stopHold()
    onEnabledChanged: if (!enabled) stopHold()
    onVisibleChanged: if (!visible) stopHold()
    onWindowActiveChanged: if (!windowActive) stopHold()
    Component.onDestruction: stopHold()
}
