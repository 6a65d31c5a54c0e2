import QtQuick

// Two-entry language picker: 0 Simplified Chinese, 1 English. The language
// names are shown as themselves, never translated; the list opens above.
DropDownBox {
    partName: "language"
    listAbove: true
    names: ["简体中文", "English"]
}
