import QtQuick

// A picture of a machine diagram placed at (x, y) and `h` high in drawing
// units; it turns counter-clockwise, a turn in 2 s, while its motor runs.
// A motor that stops leaves the wheel where it is; a restart begins at 360.
Image {
    id: part

    property real coef: 0
    property real px: 0
    property real py: 0
    property real h: 0
    // "collect", "film", "feed", or "" for a still part.
    property string motor: ""
    readonly property bool turning: motor === "collect" ? device.collectMotorRunning
                                  : motor === "film" ? device.filmMotorRunning
                                  : motor === "feed" ? device.feedMotorRunning : false

    x: coef * px
    y: coef * py
    height: coef * h
    sourceSize.height: Math.max(1, Math.round(height))
    fillMode: Image.PreserveAspectFit
    smooth: true

    RotationAnimation on rotation {
        from: 360
        to: 0
        duration: 2000
        loops: Animation.Infinite
        running: part.turning
    }
}
