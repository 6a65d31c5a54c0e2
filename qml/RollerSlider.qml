import QtQuick

// A dancer roller of a machine diagram. Its top stands at `base` drawing
// units while the roller's reading equals its limit and 80 units lower at its
// max, in proportion in between and beyond. With the max equal to the limit
// there is no span: the slider stands at the limit end until the reading
// passes it, then at the max end.
Image {
    id: slider

    property real coef: 0
    property real px: 0
    property real base: 0
    property real h: 0
    // "collect", "film" or "print".
    property string roller: "collect"

    readonly property real reading: roller === "collect" ? device.collectRoller
                                  : roller === "film" ? device.filmRoller : device.printRoller
    readonly property real limit: roller === "collect" ? config.collectRollerLimit
                                : roller === "film" ? config.filmRollerLimit : config.printRollerLimit
    readonly property real max: roller === "collect" ? config.collectRollerMax
                              : roller === "film" ? config.filmRollerMax : config.printRollerMax
    readonly property real share: max === limit ? (reading > limit ? 1 : 0)
                                                : (reading - limit) / (max - limit)

    source: "file:Spoolsmith/res/circle.svg"
    x: coef * px
    y: coef * (base + 80 * share)
    height: coef * h
    sourceSize.height: Math.max(1, Math.round(height))
    fillMode: Image.PreserveAspectFit
    smooth: true
}
