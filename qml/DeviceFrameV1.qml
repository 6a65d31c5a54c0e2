import QtQuick

// Diagram of a version 1 machine: three rewind and waste wheels, the film
// roll, two feed wheels, one dancer roller each for collect and film and two
// for print, and the cutting bar with the three tension levers.
MachineDiagram {
    id: control

    background: "file:Spoolsmith/res/banner.svg"
    referenceWidth: 580

    DiagramPart { objectName: "upperRewind"; coef: control.coef; source: "file:Spoolsmith/res/01.svg"; px: 30; py: 0; h: 80; motor: "collect" }
    DiagramPart { objectName: "lowerRewind"; coef: control.coef; source: "file:Spoolsmith/res/02.svg"; px: 30; py: 160; h: 80; motor: "collect" }
    DiagramPart { objectName: "wasteStripping"; coef: control.coef; source: "file:Spoolsmith/res/03.svg"; px: 180; py: 0; h: 80; motor: "collect" }
    DiagramPart { objectName: "laminatingFilm"; coef: control.coef; source: "file:Spoolsmith/res/04.svg"; px: 275; py: 25; h: 80; motor: "film" }
    DiagramPart { objectName: "laminatingBar"; coef: control.coef; source: "file:Spoolsmith/res/05.svg"; px: 300; py: 25; h: 80 }
    DiagramPart { objectName: "feedMotor"; coef: control.coef; source: "file:Spoolsmith/res/06.svg"; px: 400; py: 170; h: 80; motor: "feed" }
    DiagramPart { objectName: "secondFeedWheel"; coef: control.coef; source: "file:Spoolsmith/res/07.svg"; px: 535; py: 100; h: 80; motor: "feed" }

    Rectangle {
        objectName: "bar"
        x: 0.11 * control.paintedWidth
        y: 0.42 * control.paintedHeight
        width: 0.68 * control.paintedWidth
        height: 0.016 * control.paintedHeight
        color: "transparent"
        border.color: "#515151"
        border.width: 2
        Rectangle {
            anchors.fill: parent
            anchors.margins: 0.30 * parent.height
            radius: parent.height / 2
            color: "#4bdeff"
        }
    }

    RollerSlider { id: receivingCircle; objectName: "receivingCircle"; coef: control.coef; roller: "collect"; px: 194; base: 100; h: 90 }
    RollerSlider { id: fillCircle; objectName: "fillCircle"; coef: control.coef; roller: "film"; px: 254; base: 100; h: 90 }
    RollerSlider { id: printCircleleft; objectName: "printCircleleft"; coef: control.coef; roller: "print"; px: 292; base: 100; h: 90 }
    RollerSlider { id: printCircleright; objectName: "printCircleright"; coef: control.coef; roller: "print"; px: 309; base: 100; h: 90 }

    component Pivot: Rectangle {
        property real at: 0
        property real wp: 0
        property real hp: 0
        x: at * wp
        y: 0.327 * hp
        width: 0.008 * wp
        height: 0.020 * hp
        radius: 0.005 * wp
        color: "transparent"
        border.color: "#3f3f3f"
        border.width: 1
    }
    component Lever: Image {
        property real at: 0
        property real wp: 0
        property real hp: 0
        source: "file:Spoolsmith/res/operateLeve.svg"
        x: at * wp
        y: 0.2135 * hp
        width: 0.15 * wp
        sourceSize.width: Math.max(1, Math.round(width))
        fillMode: Image.PreserveAspectFit
        smooth: true
    }

    Pivot { objectName: "leftPivot"; at: 0.117; wp: control.paintedWidth; hp: control.paintedHeight }
    Lever { id: leftOperateLeve; objectName: "leftOperateLeve"; at: 0.068; wp: control.paintedWidth; hp: control.paintedHeight }
    Pivot { objectName: "middlePivot"; at: 0.383; wp: control.paintedWidth; hp: control.paintedHeight }
    Lever { id: middleOperateLeve; objectName: "middleOperateLeve"; at: 0.334; wp: control.paintedWidth; hp: control.paintedHeight }
    Pivot { objectName: "rightPivot"; at: 0.55; wp: control.paintedWidth; hp: control.paintedHeight }
    Lever { id: rightOperateLeve; objectName: "rightOperateLeve"; at: 0.501; wp: control.paintedWidth; hp: control.paintedHeight }
}
