import QtQuick

// The machine's cut mode: 0 speed first, 1 balanced, 2 precision first. The
// owner binds `mod` to the machine's mode and sends the pick on `modModfiy`;
// a pick replaces that binding, so the owner binds it again after the send
// and a mode the machine refused shows the machine's value again.
DropDownBox {
    partName: "cutModel"
    names: [qsTr("速度优先"), qsTr("平衡"), qsTr("精度优先")]
}
