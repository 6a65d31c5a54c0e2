import QtQuick

// Diagram of a version 3 machine: feed wheel, rewind wheel, two film wheels,
// and two dancer rollers each for collect and film; no print roller. The
// background is rendered at the diagram's own size.
MachineDiagram {
    id: control

    background: "file:Spoolsmith/res/banner3.svg"
    referenceWidth: 580
    backgroundSize: Qt.size(Math.max(1, Math.round(width)), Math.max(1, Math.round(height)))

    DiagramPart { id: firstCircle; objectName: "firstCircle"; coef: control.coef; source: "file:Spoolsmith/res/01.svg"; px: 50; py: 80; h: 80; motor: "feed" }
    DiagramPart { id: secondCircle; objectName: "secondCircle"; coef: control.coef; source: "file:Spoolsmith/res/02.svg"; px: 80; py: 260; h: 70; motor: "collect" }
    DiagramPart { id: fourthCircle; objectName: "fourthCircle"; coef: control.coef; source: "file:Spoolsmith/res/04.svg"; px: 345; py: 75; h: 100; motor: "film" }
    DiagramPart { id: sixthCircle; objectName: "sixthCircle"; coef: control.coef; source: "file:Spoolsmith/res/01.svg"; px: 475; py: 240; h: 80; motor: "film" }

    RollerSlider { id: receivingCircle; objectName: "receivingCircle"; coef: control.coef; roller: "collect"; px: 210; base: 200; h: 80 }
    RollerSlider { objectName: "receivingCircle2"; coef: control.coef; roller: "collect"; px: 225; base: 200; h: 80 }
    RollerSlider { id: fillCircle; objectName: "fillCircle"; coef: control.coef; roller: "film"; px: 320; base: 200; h: 80 }
    RollerSlider { objectName: "fillCircle2"; coef: control.coef; roller: "film"; px: 336; base: 200; h: 80 }
}
