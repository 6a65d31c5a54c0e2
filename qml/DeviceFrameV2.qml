import QtQuick

// Diagram of a version 2 machine: waste and rewind motors, film motor, feed
// motor, two swing arms, and two dancer rollers each for collect, film and
// print that move together.
MachineDiagram {
    id: control

    background: "file:Spoolsmith/res/banner2.svg"
    referenceWidth: 842

    DiagramPart { objectName: "wasteMotor"; coef: control.coef; source: "file:Spoolsmith/res/01.svg"; px: 40; py: 130; h: 100; motor: "collect" }
    DiagramPart { objectName: "wasteSwingArm"; coef: control.coef; source: "file:Spoolsmith/res/g6.svg"; px: 100; py: 120; h: 150 }
    DiagramPart { objectName: "rewindMotor"; coef: control.coef; source: "file:Spoolsmith/res/02.svg"; px: 45; py: 290; h: 120; motor: "collect" }
    DiagramPart { objectName: "filmMotor"; coef: control.coef; source: "file:Spoolsmith/res/04.svg"; px: 350; py: 130; h: 120; motor: "film" }
    DiagramPart { objectName: "filmSwingArm"; coef: control.coef; source: "file:Spoolsmith/res/05.svg"; px: 390; py: 130; h: 120 }
    DiagramPart { objectName: "feedMotor"; coef: control.coef; source: "file:Spoolsmith/res/01.svg"; px: 400; py: 310; h: 100; motor: "feed" }

    RollerSlider { objectName: "collectCircle1"; coef: control.coef; roller: "collect"; px: 152; base: 230; h: 150 }
    RollerSlider { objectName: "collectCircle2"; coef: control.coef; roller: "collect"; px: 172; base: 230; h: 150 }
    RollerSlider { objectName: "filmCircle1"; coef: control.coef; roller: "film"; px: 238; base: 230; h: 150 }
    RollerSlider { objectName: "filmCircle2"; coef: control.coef; roller: "film"; px: 258; base: 230; h: 150 }
    RollerSlider { objectName: "printCircle1"; coef: control.coef; roller: "print"; px: 474; base: 215; h: 150 }
    RollerSlider { objectName: "printCircle2"; coef: control.coef; roller: "print"; px: 493; base: 215; h: 150 }
}
