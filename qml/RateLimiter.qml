import QtQuick

// Passes values on to action(value) at most once per interval: the first at
// once, the newest of the rest when the interval ends. flush() passes on a
// waiting value at once (a slider's release). Each machine command waits for
// its reply on the GUI thread, so a drag must not send one per pixel.
Item {
    id: limiter

    property int interval: 100
    property var action: null
    property var waiting: undefined
    property bool hasWaiting: false

    function push(value) {
        waiting = value
        hasWaiting = true
        if (!timer.running)
            flush()
    }

    function flush() {
        if (!hasWaiting)
            return
        const value = waiting
        hasWaiting = false
        timer.restart()
        if (action)
            action(value)
    }

    visible: false

    Timer {
        id: timer
        interval: limiter.interval
        onTriggered: limiter.flush()
    }
}
