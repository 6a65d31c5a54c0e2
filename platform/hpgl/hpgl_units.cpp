#include "platform/hpgl/hpgl_units.h"

#include <cmath>

namespace {
bool usable(double v)
{
    return std::isfinite(v) && v != 0.0;
}
} // namespace

void HpglUnits::reset()
{
    m_rotation = 0;
    m_p1 = QPointF();
    m_p2 = frameSize();
    m_scaled = false;
    m_scale.clear();
    m_windowFrame.reset();
    update();
}

void HpglUnits::setFrame(const QList<double> &params)
{
    if (!params.isEmpty() && params[0] > 0.0)
        m_length = params[0];
    if (params.size() >= 2 && params[1] > 0.0)
        m_width = params[1];
    m_p1 = QPointF();
    m_p2 = frameSize();
    m_windowFrame.reset();
    update();
}

QPointF HpglUnits::frameSize() const
{
    return (m_rotation == 90 || m_rotation == 270) ? QPointF(m_width, m_length) : QPointF(m_length, m_width);
}

void HpglUnits::setInputPoints(const QList<double> &params, bool relative)
{
    const QPointF frame = frameSize();
    const auto at = [&](qsizetype i) {
        const QPointF v(params[i], params[i + 1]);
        return relative ? QPointF(frame.x() * v.x() / 100.0, frame.y() * v.y() / 100.0) : v;
    };
    if (params.size() < 2) {
        m_p1 = QPointF();
        m_p2 = frame;
    } else if (params.size() < 4) {
        const QPointF p1 = at(0);
        m_p2 += p1 - m_p1; // P2 keeps its place relative to P1
        m_p1 = p1;
    } else {
        m_p1 = at(0);
        m_p2 = at(2);
    }
    update();
}

bool HpglUnits::setScale(const QList<double> &params)
{
    if (params.size() < 4)
        return false;
    const int type = params.size() >= 5 ? int(std::lround(params[4])) : 0;
    if (type == 2 ? !(usable(params[1]) && usable(params[3]))
                  : !(usable(params[1] - params[0]) && usable(params[3] - params[2])))
        return false;
    m_scale = params;
    m_scaled = true;
    update();
    return true;
}

void HpglUnits::scaleOff()
{
    m_scaled = false;
    m_scale.clear();
    update();
}

void HpglUnits::setRotation(double degrees)
{
    if (!std::isfinite(degrees))
        return;
    m_rotation = int(((std::lround(degrees / 90.0) % 4) + 4) % 4) * 90;
    update();
}

void HpglUnits::setWindow(const QList<double> &params)
{
    if (params.size() < 4) {
        m_windowFrame.reset();
    } else {
        // Given in current units, kept in plotter units of the turned system.
        const auto frame = [this](const QPointF &u) {
            if (!m_scaled)
                return u;
            const QPointF p = toPlotter(u);
            // back through the turn alone
            switch (m_rotation) {
            case 90: return QPointF(p.y(), m_length - p.x());
            case 180: return QPointF(m_length - p.x(), m_width - p.y());
            case 270: return QPointF(m_width - p.y(), p.x());
            default: return p;
            }
        };
        m_windowFrame = QRectF(frame(QPointF(params[0], params[1])), frame(QPointF(params[2], params[3]))).normalized();
    }
    update();
}

QPointF HpglUnits::frameToPlotter(const QPointF &f) const
{
    switch (m_rotation) {
    case 90: return {m_length - f.y(), f.x()};
    case 180: return {m_length - f.x(), m_width - f.y()};
    case 270: return {f.y(), m_width - f.x()};
    default: return f;
    }
}

QPointF HpglUnits::toUser(const QPointF &plotter) const
{
    if (m_identity)
        return plotter;
    const double det = m_a * m_e - m_b * m_d;
    if (!usable(det))
        return {};
    const double x = plotter.x() - m_c, y = plotter.y() - m_f;
    return {(m_e * x - m_b * y) / det, (m_a * y - m_d * x) / det};
}

void HpglUnits::update()
{
    // user -> turned system: frame = s * user + t
    double sx = 1, sy = 1, tx = 0, ty = 0;
    if (m_scaled) {
        const QList<double> &p = m_scale;
        const int type = p.size() >= 5 ? int(std::lround(p[4])) : 0;
        if (type == 2) {
            sx = p[1];
            sy = p[3];
            tx = m_p1.x() - p[0] * sx;
            ty = m_p1.y() - p[2] * sy;
        } else {
            sx = (m_p2.x() - m_p1.x()) / (p[1] - p[0]);
            sy = (m_p2.y() - m_p1.y()) / (p[3] - p[2]);
            double slackX = 0, slackY = 0;
            if (type == 1) {
                // Isotropic: the smaller scale on both axes, the room left
                // over shared out by the left and bottom percentages.
                const double s = std::min(std::abs(sx), std::abs(sy));
                sx = std::copysign(s, sx);
                sy = std::copysign(s, sy);
                const double left = p.size() >= 6 ? p[5] : 50.0, bottom = p.size() >= 7 ? p[6] : 50.0;
                slackX = ((m_p2.x() - m_p1.x()) - (p[1] - p[0]) * sx) * left / 100.0;
                slackY = ((m_p2.y() - m_p1.y()) - (p[3] - p[2]) * sy) * bottom / 100.0;
            }
            tx = m_p1.x() + slackX - p[0] * sx;
            ty = m_p1.y() + slackY - p[2] * sy;
        }
        if (!(std::isfinite(sx) && std::isfinite(sy) && std::isfinite(tx) && std::isfinite(ty))) {
            sx = sy = 1;
            tx = ty = 0;
        }
    }
    // turned system -> page: r * frame + o
    const QPointF o = frameToPlotter(QPointF());
    const QPointF ex = frameToPlotter(QPointF(1, 0)) - o, ey = frameToPlotter(QPointF(0, 1)) - o;
    m_a = ex.x() * sx;
    m_d = ex.y() * sx;
    m_b = ey.x() * sy;
    m_e = ey.y() * sy;
    m_c = ex.x() * tx + ey.x() * ty + o.x();
    m_f = ex.y() * tx + ey.y() * ty + o.y();
    m_identity = !m_scaled && m_rotation == 0;
    if (m_windowFrame)
        m_window = QRectF(frameToPlotter(m_windowFrame->topLeft()), frameToPlotter(m_windowFrame->bottomRight())).normalized();
    else
        m_window.reset();
}
