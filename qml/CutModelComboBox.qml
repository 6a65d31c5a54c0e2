import QtQuick

// The machine's cut mode: 0 speed first, 1 balanced, 2 precision first. The
// owner binds `mod` to the machine's mode and sends the pick on `modModfiy`.
DropDownBox {
    partName: "cutModel"
    names: [qsTr("速度优先"), qsTr("平衡"), qsTr("精度优先")]
}
