#include "tools/simulator/web_model.h"

#include <QRegularExpression>

WebModel::WebModel(MachineSimulator &sim)
{
    sim.setPlotHandler([this](const QByteArray &plot, SimMachineState &s) { onPlot(plot, s); });
    // "4,0,0,0;" reads the position; "4,1,x,y;" moves relative.
    sim.setReplyHandler(4, [this](const QStringList &args, SimMachineState &s) {
        const auto field = [&args](int i) { return i < args.size() ? args.at(i) : QStringLiteral("0"); };
        if (field(1) == QLatin1String("1")) {
            const double x = field(2).toDouble();
            const double y = field(3).toDouble();
            s.posX += x;
            s.posY += y;
            std::lock_guard<std::mutex> lock(m_lock);
            m_camera += QPointF(x, y);
            fedBy(x, s);
            return SimReply{{simReplyPayload(4, {QStringLiteral("1"), field(2), field(3)})}, 0};
        }
        return SimReply{{simReplyPayload(4, {QStringLiteral("0"), QString::number(s.posX), QString::number(s.posY)})},
                        0};
    });
}

void WebModel::parsePlot(const QByteArray &plot, QList<QPolygonF> &strokes, QPointF &end)
{
    static const QRegularExpression number(QStringLiteral("-?\\d+(?:\\.\\d+)?"));
    QPolygonF stroke;
    const auto flush = [&]() {
        if (stroke.size() > 1)
            strokes << stroke;
        stroke.clear();
    };
    for (const QByteArray &raw : plot.split(';')) {
        const QByteArray cmd = raw.trimmed();
        if (cmd.size() < 2)
            continue;
        const QByteArray op = cmd.left(2).toUpper();
        if (op != "PU" && op != "PD")
            continue;
        QList<double> values;
        auto it = number.globalMatch(QString::fromLatin1(cmd.mid(2)));
        while (it.hasNext())
            values << it.next().captured(0).toDouble();
        if (op == "PU") {
            flush();
            for (int i = 0; i + 1 < values.size(); i += 2)
                end = QPointF(values.at(i), values.at(i + 1));
            continue;
        }
        if (stroke.isEmpty())
            stroke << end;
        for (int i = 0; i + 1 < values.size(); i += 2) {
            end = QPointF(values.at(i), values.at(i + 1));
            stroke << end;
        }
    }
    flush();
}

void WebModel::onPlot(const QByteArray &plot, SimMachineState &state)
{
    QList<QPolygonF> strokes;
    QPointF end;
    parsePlot(plot, strokes, end);
    std::lock_guard<std::mutex> lock(m_lock);
    m_plots << Plot{m_camera, plot, strokes.isEmpty()};
    const QPointF knife = m_camera + m_knifeOffset;
    for (const QPolygonF &stroke : strokes)
        m_cuts << stroke.translated(knife);
    // The pen ends where the plot left it; the web and the head follow.
    m_camera += end;
    fedBy(end.x(), state);
    state.posX += end.x();
    state.posY += end.y();
    if (m_plotTaken)
        m_plotTaken(m_plots.last());
}

void WebModel::setPlotTaken(std::function<void(const Plot &)> hook)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_plotTaken = std::move(hook);
}

void WebModel::fedBy(double along, SimMachineState &state)
{
    if (m_collectPerUnit <= 0.0 || along <= 0.0)
        return;
    state.collectRoller = QString::number(state.collectRoller.toDouble() + along * m_collectPerUnit);
}

void WebModel::setCollectRise(double perUnit)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_collectPerUnit = perUnit;
}

void WebModel::setMarks(const QList<QPointF> &webMarks)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_marks = webMarks;
}

QList<QPointF> WebModel::marks() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_marks;
}

void WebModel::setKnifeOffset(const QPointF &offset)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_knifeOffset = offset;
}

QPointF WebModel::cameraPosition() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_camera;
}

QList<QPointF> WebModel::marksInView(const QSize &picture, double margin) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    QList<QPointF> seen;
    for (const QPointF &m : m_marks) {
        const QPointF p(picture.width() / 2.0 - (m.y() - m_camera.y()), picture.height() / 2.0 - (m.x() - m_camera.x()));
        if (p.x() >= margin && p.y() >= margin && p.x() <= picture.width() - margin
            && p.y() <= picture.height() - margin)
            seen << p;
    }
    return seen;
}

QList<WebModel::Plot> WebModel::plots() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_plots;
}

QList<QPolygonF> WebModel::cuts() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_cuts;
}

double WebModel::fed() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_camera.x();
}

void WebModel::clear()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_plots.clear();
    m_cuts.clear();
    m_camera = QPointF();
}
