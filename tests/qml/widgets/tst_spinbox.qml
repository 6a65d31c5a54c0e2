import QtQuick
import QtTest
import Spoolsmith2024

TestCase {
    id: testCase
    name: "ZuSpinBox"
    when: windowShown
    visible: true

    // Windows of earlier cases may have taken the activation.
    function init() {
        testCase.Window.window.requestActivate()
        tryVerify(() => testCase.Window.active, hangMs)
    }
    width: 400
    height: 200

    Component {
        id: spinComponent
        ZuSpinBox {
            width: 200
            height: 40
            property int modifiedCount: 0
            onValueModified: modifiedCount += 1
        }
    }

    function child(item, name) {
        for (let i = 0; i < item.children.length; ++i) {
            const c = item.children[i]
            if (c.objectName === name)
                return c
            const inner = child(c, name)
            if (inner)
                return inner
        }
        return null
    }

    function makeSpin(props) {
        const spin = createTemporaryObject(spinComponent, testCase, props)
        verify(spin)
        spin.contentItem.forceActiveFocus()
        waitForRendering(spin)
        return spin
    }

    function test_defaults() {
        const spin = createTemporaryObject(spinComponent, testCase)
        compare(spin.value, 50)
        compare(spin.decimal_factor, 100)
        compare(spin.real_value, 0.5)
        compare(spin.from, -10000)
        compare(spin.to, 10000)
        compare(spin.displayText, Number(0.5).toLocaleString(spin.locale, 'f', 2))
        compare(spin.decimalToInt(1.25), 125)
    }

    function test_holdStepsAndModifiesOnceOnRelease() {
        const spin = makeSpin({ value: 0 })
        const up = child(spin, "upIndicator")
        verify(up.visible)
        // When each step came: the pause is measured, not slept through (a
        // loaded machine's sleep could outlast it).
        const steppedAt = []
        const stepped = () => steppedAt.push(Date.now())
        spin.valueChanged.connect(stepped)
        mousePress(up, up.width / 2, up.height / 2)
        // First step at 10 ms, then a 500 ms pause before the fast steps.
        tryCompare(spin, "value", 1, hangMs)
        compare(spin.modifiedCount, 0)
        tryVerify(() => spin.value > 5, hangMs)
        compare(spin.modifiedCount, 0)
        spin.valueChanged.disconnect(stepped)
        // A coarse timer may fire up to 5 % early.
        verify(steppedAt[1] - steppedAt[0] >= 475, "second step " + (steppedAt[1] - steppedAt[0]) + " ms after the first")
        mouseRelease(up, up.width / 2, up.height / 2)
        compare(spin.modifiedCount, 1)
        const stopped = spin.value
        wait(50)
        compare(spin.value, stopped)
        compare(spin.modifiedCount, 1)
    }

    function test_downIndicatorSteps() {
        const spin = makeSpin({ value: 0 })
        const down = child(spin, "downIndicator")
        verify(down.x < spin.width / 2)
        mousePress(down, down.width / 2, down.height / 2)
        tryCompare(spin, "value", -1, hangMs)
        mouseRelease(down, down.width / 2, down.height / 2)
        compare(spin.modifiedCount, 1)
        compare(spin.real_value, -0.01)
    }

    function test_pressAtMaxStaysAndStillModifies() {
        const spin = makeSpin({ min: 0, max: 1, value: 100 })
        const up = child(spin, "upIndicator")
        mousePress(up, up.width / 2, up.height / 2)
        wait(600)
        mouseRelease(up, up.width / 2, up.height / 2)
        compare(spin.value, 100)
        compare(spin.modifiedCount, 1)
    }

    function test_holdStopsAtTheLimit() {
        const spin = makeSpin({ min: -0.05, max: 0.03, value: 0 })
        const up = child(spin, "upIndicator")
        mousePress(up, up.width / 2, up.height / 2)
        tryCompare(spin, "value", 3, hangMs)
        wait(100)
        mouseRelease(up, up.width / 2, up.height / 2)
        compare(spin.value, 3)
        compare(spin.modifiedCount, 1)
    }

    function typeText(spin, text) {
        spin.contentItem.selectAll()
        for (let i = 0; i < text.length; ++i)
            keyClick(text[i])
        keyClick(Qt.Key_Return)
    }

    function test_typedValueRoundsNeverTruncates() {
        const spin = makeSpin({ value: 0 })
        typeText(spin, "0.29")
        compare(spin.value, 29)
        compare(spin.real_value, 0.29)
        compare(spin.modifiedCount, 1)
        typeText(spin, "-1.13")
        compare(spin.value, -113)
        compare(spin.modifiedCount, 2)
    }

    // The field refuses the keystroke that would break the rule, so only
    // what stands before it is taken over.
    function test_wholeNumbersRefuseDecimalsAndRange_data() {
        return [
            { tag: "decimal digits", text: "1.5", value: 1, modified: 1 },
            { tag: "above max", text: "1000", value: 100, modified: 1 },
            { tag: "below min", text: "-181", value: 7, modified: 0 },
        ]
    }

    function test_wholeNumbersRefuseDecimalsAndRange(data) {
        const spin = makeSpin({ decimals: 0, min: -180, max: 999, value: 7 })
        compare(spin.decimal_factor, 1)
        typeText(spin, data.text)
        compare(spin.value, data.value)
        compare(spin.modifiedCount, data.modified)
    }

    function test_unacceptableTextIsNotTakenOver() {
        const spin = makeSpin({ decimals: 0, min: 10, max: 999, value: 70 })
        typeText(spin, "5")
        compare(spin.value, 70)
        compare(spin.modifiedCount, 0)
    }

    // Somewhere else to put the focus.
    TextInput {
        id: elsewhere
        y: 100
        width: 100
        height: 20
    }

    // Leaving the field finishes editing with whatever it holds: only typed,
    // acceptable text is taken over; anything else shows the value again.
    function test_leavingTheFieldTakesOverOnlyTypedAcceptableText_data() {
        return [
            { tag: "cleared", props: { value: 1234 }, keys: [Qt.Key_Backspace], value: 1234, modified: 0 },
            { tag: "below min", props: { decimals: 0, min: 10, max: 1200, value: 500 }, keys: "5",
              value: 500, modified: 0 },
            { tag: "clicked, nothing typed", props: { decimals: 0, min: -180, max: 999, value: 2 }, keys: [],
              value: 2, modified: 0 },
            { tag: "typed", props: { decimals: 0, min: 10, max: 1200, value: 500 }, keys: "42",
              value: 42, modified: 1 },
        ]
    }

    function test_leavingTheFieldTakesOverOnlyTypedAcceptableText(data) {
        const spin = makeSpin(data.props)
        mouseClick(spin.contentItem)
        verify(spin.contentItem.activeFocus)
        if (data.keys.length > 0)
            spin.contentItem.selectAll()
        for (let i = 0; i < data.keys.length; ++i)
            keyClick(data.keys[i])
        elsewhere.forceActiveFocus()
        verify(!spin.contentItem.activeFocus)
        compare(spin.value, data.value)
        compare(spin.modifiedCount, data.modified)
        compare(spin.contentItem.text, spin.displayText)
    }

    function test_wholeNumbersAcceptInRange() {
        const spin = makeSpin({ decimals: 0, min: -180, max: 999, value: 7 })
        typeText(spin, "-180")
        compare(spin.value, -180)
        compare(spin.modifiedCount, 1)
    }
}
