import QtQuick
import QtQuick.Controls.Basic

// A fixed-point number field: value counts units of the last decimal place.
// Holding + or - steps on its own; users write the number back once, on
// valueModified (typing finished or the indicator released).
SpinBox {
    id: control

    property int decimals: 2
    readonly property int decimal_factor: Math.pow(10, decimals)
    property real real_value: value / decimal_factor
    property real min: -100
    property real max: 100
    property int radius: 2
    property color bk_color: Qt.rgba(0, 0, 0, 0)
    property bool show_border: true

    function decimalToInt(d) {
        return d * decimal_factor
    }

    // Rounding, not truncation: 0.29 * 100 is 28.999... in binary.
    function textToUnits(text, locale) {
        return Math.round(Number.fromLocaleString(locale, text) * decimal_factor)
    }

    value: 50
    from: Math.round(min * decimal_factor)
    to: Math.round(max * decimal_factor)
    editable: true
    hoverEnabled: true

    validator: DoubleValidator {
        bottom: Math.min(control.min, control.max)
        top: Math.max(control.min, control.max)
        decimals: control.decimals
        notation: DoubleValidator.StandardNotation
    }

    textFromValue: function(value, locale) {
        return Number(value / decimal_factor).toLocaleString(locale, 'f', control.decimals)
    }

    // The spin box takes the field's text over by itself when the field loses
    // the focus, an emptied or refused text too (as 0 or a range bound): the
    // field's own handler below takes typed text over, so here the value stays.
    valueFromText: function(text, locale) {
        return control.value
    }

    contentItem: TextInput {
        objectName: "spinText"
        z: 2
        text: control.displayText
        font: control.font
        color: "black"
        selectionColor: "#21be2b"
        selectedTextColor: "#ffffff"
        horizontalAlignment: Qt.AlignHCenter
        verticalAlignment: Qt.AlignVCenter
        readOnly: !control.editable
        validator: control.validator
        inputMethodHints: Qt.ImhFormattedNumbersOnly
        selectByMouse: true
        mouseSelectionMode: TextInput.SelectWords

        // The spin box would otherwise take the text over on Enter itself,
        // clamped even where the validator refused it.
        Keys.onReleased: (event) => {
            if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter)
                event.accepted = true
        }

        // Only typed text is taken over, and only text the validator accepts;
        // leaving the field without that writes nothing and shows the value
        // again. Enter or leaving finishes the editing, whichever comes first.
        property bool edited: false
        onTextEdited: edited = true
        onEditingFinished: finishEditing()
        onActiveFocusChanged: {
            if (!activeFocus)
                finishEditing()
        }

        function finishEditing() {
            const take = edited && acceptableInput
            edited = false
            if (take)
                control.value = control.textToUnits(text, control.locale)
            text = Qt.binding(function() { return control.displayText })
            if (take)
                control.valueModified()
        }
    }

    Timer {
        id: repeat
        property bool up: true
        property int count: 0
        repeat: true
        onTriggered: {
            if (up)
                control.increase()
            else
                control.decrease()
            count += 1
            interval = count === 1 ? 500 : 10
        }
    }

    component Indicator: Rectangle {
        id: indicator
        property bool up: true
        property bool held: false
        property alias caption: sign.text
        x: (up !== control.mirrored) ? control.width - width : 0
        height: control.height
        implicitWidth: 40
        implicitHeight: 40
        width: height
        visible: control.hovered || control.contentItem.activeFocus
        color: held ? "#e4e4e4" : "#f6f6f6"
        border.color: "#e4e4e4"
        z: 3

        Text {
            id: sign
            anchors.fill: parent
            font.pixelSize: control.font.pixelSize * 2
            fontSizeMode: Text.Fit
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }

        MouseArea {
            anchors.fill: parent
            onPressed: {
                indicator.held = true
                repeat.up = indicator.up
                repeat.interval = 10
                repeat.count = 0
                repeat.start()
            }
            onReleased: finish()
            onCanceled: finish()

            function finish() {
                indicator.held = false
                repeat.stop()
                control.valueModified()
            }
        }
    }

    // The spin box's own indicators step with a valueModified() per step and
    // are disabled at the limits; the module's press-and-hold replaces them.
    // Empty items rather than null: a null left the style's deferred
    // indicators counted as still being created when the engine goes.
    up.indicator: Item { id: noUpIndicator }
    down.indicator: Item { id: noDownIndicator }

    Indicator {
        id: upIndicator
        objectName: "upIndicator"
        up: true
        caption: "+"
    }

    Indicator {
        id: downIndicator
        objectName: "downIndicator"
        up: false
        caption: "-"
    }

    background: Rectangle {
        implicitWidth: 140
        radius: control.radius
        color: control.bk_color
        border.width: control.show_border ? 1 : 0
        border.color: Qt.rgba(0.75, 0.75, 0.75, 1)

        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 1
            visible: control.hovered || control.activeFocus || control.contentItem.activeFocus
            color: Qt.rgba(0.4, 0.4, 0.4, 1)
        }
    }
}
