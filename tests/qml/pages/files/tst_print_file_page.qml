import QtQuick
import QtTest
import Spoolsmith2024
import TAVRA_Config 1.0

// The print-file page on the real application: the print file through its
// dialog with the preview from the image provider, the printer choice, the
// variable-data rows and the test print.
TestCase {
    id: testCase
    name: "PrintFilePage"
    width: 1000
    height: 700
    when: windowShown
    visible: true

    Component {
        id: pageComponent
        PrintFilePage {
            width: 1000
            height: 700
        }
    }
    // One spy a file, declared here: a spy made and destroyed within a case
    // would stay connected to its signal.
    SignalSpy {
        id: spy
    }

    function initTestCase() {
        config.setProperty(TAVRA_Config.CPT_Enable_Print_Marker_Type, 0)
    }

    function cleanup() {
        spy.target = null
        if (app.taskStatus !== 2) {
            sim.reportTaskStatus(2)
            tryCompare(app, "taskStatus", 2, hangMs)
        }
        device.errorMessage = ""
        app.enabledDataSource = false
        sim.takePrompts()
        compare(sim.takeWarnings(), [])
    }

    function watch(target, signalName) {
        spy.target = null
        spy.signalName = signalName
        spy.target = target
        spy.clear()
        return spy
    }

    function makePage() {
        const page = createTemporaryObject(pageComponent, testCase)
        verify(page)
        return page
    }

    function child(page, name) {
        const found = findChild(page, name)
        verify(found, name)
        return found
    }

    function accept(dialog, path) {
        dialog.selectedFile = "file://" + path
        dialog.accepted()
    }

    // A print file accepted in the dialog: its preview, outlined, its size
    // in the tip, its path on the button; variable data goes off.
    function test_printFileThroughTheDialog() {
        const page = makePage()
        const pdf = sim.programDir() + "/page_print.pdf"
        verify(sim.writePdf(pdf, 105, 148))
        app.enabledDataSource = true
        verify(child(page, "dataSourceRow").visible)
        verify(child(page, "dataIndexRow").visible)

        accept(child(page, "printFileDialog"), pdf)
        compare(app.printFile, pdf)
        compare(child(page, "btn_file").text, pdf)
        verify(!app.enabledDataSource)
        verify(!child(page, "dataSourceRow").visible)
        verify(!child(page, "dataIndexRow").visible)
        const tip = child(page, "tips_text")
        compare(tip.text, app.printTip)
        verify(tip.text.indexOf("105.00 x 148.00") >= 0, tip.text)

        const view = child(page, "printView")
        compare(String(view.source).toLowerCase(), app.printImgPath.toLowerCase())
        tryCompare(view, "status", Image.Ready, hangMs)
        compare(view.sourceSize.width, Math.trunc(view.width))
        // Turned a quarter: wider than tall, outlined exactly.
        verify(view.paintedWidth > view.paintedHeight)
        const outline = child(page, "pageOutline")
        compare(outline.width, view.paintedWidth)
        compare(outline.height, view.paintedHeight)
    }

    function test_cutFileAndDataSourceDialogs() {
        const page = makePage()
        const plt = sim.programDir() + "/print_cut.plt"
        verify(sim.writeCutFile(plt, 0))
        accept(child(page, "cutDialog"), plt)
        compare(app.printCutFile, plt)
        compare(child(page, "btn_cut_file").text, plt)
        app.printCutFile = ""

        const xlsx = sim.programDir() + "/source.xlsx"
        verify(sim.writeXlsx(xlsx, [["Name"], ["One"]]))
        accept(child(page, "excelDialog"), xlsx)
        compare(app.dataSource, xlsx)
        verify(child(page, "dataSourceRow").visible)
        compare(child(page, "btn_data_source").text, xlsx)
        app.dataSource = ""
    }

    // The drop-down lists the printers once; the stored printer is chosen
    // without a write, an unknown one leaves none current and the printer
    // buttons off, and only the operator's choice is written.
    function test_printerChoice() {
        const names = app.printersName()
        const writes = watch(app, "printerNameChanged")
        app.printerName = "No Such Printer"
        compare(writes.count, 1)
        let page = makePage()
        let combo = child(page, "cmb_printer")
        compare(combo.model, names)
        compare(combo.currentIndex, -1)
        compare(combo.currentText, "")
        verify(!child(page, "btn_printer").enabled)
        verify(!child(page, "btn_test_print").enabled)
        compare(app.printerName, "No Such Printer")
        compare(writes.count, 1)
        if (names.length === 0)
            return
        combo.currentIndex = names.length - 1
        compare(app.printerName, names[names.length - 1])
        compare(writes.count, 2)
        verify(child(page, "btn_test_print").enabled)
        page.destroy()

        page = makePage()
        combo = child(page, "cmb_printer")
        compare(combo.currentIndex, names.length - 1)
        compare(writes.count, 2)
    }

    // The test print passes the shown file and printer; with printing off the
    // application refuses in a box.
    function test_testPrint() {
        const names = app.printersName()
        if (names.length === 0) {
            const page = makePage()
            verify(!child(page, "btn_test_print").enabled)
            return
        }
        app.printerName = names[0]
        config.setProperty(TAVRA_Config.CPT_Enable_Print, false)
        const page = makePage()
        mouseClick(child(page, "btn_test_print"))
        compare(sim.takePrompts(), [qsTranslate("SpoolsmithApp", "禁用打印")])
        config.setProperty(TAVRA_Config.CPT_Enable_Print, true)
    }

    // Under a job, running or paused, the page's choices are refused with
    // the busy tip: the job prints its own file, rows and printer to its end.
    function test_choicesRefusedUnderAJob_data() {
        return [
            { tag: "print file, running", status: 1, choice: "printFile" },
            { tag: "data source, running", status: 1, choice: "dataSource" },
            { tag: "print cut file, paused", status: 0, choice: "printCutFile" },
            { tag: "printer, running", status: 1, choice: "printer" },
        ]
    }

    function test_choicesRefusedUnderAJob(data) {
        const dir = sim.programDir()
        const pdf = dir + "/job_print.pdf"
        const other = dir + "/other_print.pdf"
        const xlsx = dir + "/other_source.xlsx"
        const plt = dir + "/other_cut.plt"
        verify(sim.writePdf(pdf, 105, 148) && sim.writePdf(other, 50, 50))
        verify(sim.writeXlsx(xlsx, [["Name"], ["One"]]) && sim.writeCutFile(plt, 0))
        app.printFile = pdf
        app.printCutFile = ""
        app.dataSource = ""
        app.enabledDataSource = true
        const names = app.printersName()
        app.printerName = names.length > 0 ? names[0] : "Job Printer"
        const printer = app.printerName
        const page = makePage()
        sim.reportTaskStatus(data.status)
        tryCompare(app, "taskStatus", data.status, hangMs)
        sim.clear()

        switch (data.choice) {
        case "printFile":
            accept(child(page, "printFileDialog"), other)
            break
        case "dataSource":
            accept(child(page, "excelDialog"), xlsx)
            break
        case "printCutFile":
            accept(child(page, "cutDialog"), plt)
            break
        case "printer": {
            const combo = child(page, "cmb_printer")
            if (names.length > 1) {
                combo.currentIndex = 1
                compare(combo.currentText, printer)
            } else {
                app.printerName = "Another Printer"
            }
            break
        }
        }
        compare(device.errorMessage, "任务运行中，请先停止任务")
        compare(app.printFile, pdf)
        compare(child(page, "btn_file").text, pdf)
        verify(app.enabledDataSource)
        compare(app.dataSource, "")
        compare(app.printCutFile, "")
        compare(app.printerName, printer)
        compare(sim.payloads("CCMD;"), [])
        sim.reportTaskStatus(2)
        tryCompare(app, "taskStatus", 2, hangMs)
        app.printerName = ""
    }

    // Page 100 x 50 mm, four marks, a label and a text with data fields.
    readonly property var template: ({
        format: "spoolsmith-tva", version: 1, page: { width: 100, height: 50 },
        mark: { type: 4, size: 4, margins: [3, 3, 3, 3] },
        paths: [{ pen: 1, subpaths: [[20, 20, 200, 20, 200, 120, 20, 120, 20, 20]] }],
        texts: [{ x: 10, y: 10, size: 14, text: "Name {Name} No {No}" }]
    })

    // A typed .tva name is a template with variable data: the application
    // asks for the sheet and switches variable data on, and the page leaves
    // it on. The record number then renders each record; only a number that
    // differs from the application's is written, so neither the opening nor
    // an outside change renders twice.
    function test_variableData() {
        const dir = sim.programDir()
        const xlsx = dir + "/vars.xlsx"
        verify(sim.writeXlsx(xlsx, [["Name", "No"], ["Item1", "1001"], ["Item2", "1002"], ["Item3", "1003"]]))
        const tva = dir + "/label.tva"
        verify(sim.writeTextFile(tva, JSON.stringify(template)))
        app.dataSource = ""
        sim.takeFileDialogs()
        sim.answerFileDialogs([xlsx])
        const writes = watch(app, "dataIndexChanged")
        const page = makePage()
        accept(child(page, "printFileDialog"), tva)
        compare(sim.takeFileDialogs(), [qsTranslate("PrintFile", "选择数据源")])
        compare(app.dataSource, xlsx)
        verify(app.enabledDataSource)
        verify(child(page, "dataSourceRow").visible)
        verify(child(page, "dataIndexRow").visible)
        compare(child(page, "btn_data_source").text, xlsx)
        compare(child(page, "btn_cut_file").text, tva)

        const spin = child(page, "spin_index")
        compare(spin.from, 1)
        compare(spin.to, 999999)
        verify(!spin.editable)
        compare(spin.value, app.dataIndex)
        const rendered = writes.count
        const firstFile = app.printFile
        verify(firstFile.endsWith("pdf.pdf"), firstFile)
        spin.increase()
        compare(app.dataIndex, spin.value)
        compare(writes.count, rendered + 1)
        verify(app.printFile !== firstFile)
        compare(child(page, "btn_file").text, app.printFile)
        tryCompare(child(page, "printView"), "status", Image.Ready, hangMs)

        app.dataIndex = 3
        compare(spin.value, 3)
        compare(writes.count, rendered + 2)
        // A page opened now shows the record without writing it.
        const again = makePage()
        compare(child(again, "spin_index").value, 3)
        compare(writes.count, rendered + 2)
        app.dataSource = ""
        verify(!app.enabledDataSource)
    }
}
