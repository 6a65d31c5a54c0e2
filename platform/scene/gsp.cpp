#include "platform/scene/gsp.h"

#include "platform/scene/gpath_process.h"

namespace {
const QColor kPenColours[] = {Qt::black, Qt::red, Qt::blue, Qt::darkGreen, Qt::magenta, Qt::darkCyan,
                              Qt::darkYellow, Qt::gray};
}

GSp::GSp(int index)
    : m_index(index)
    , m_name(QStringLiteral("Pen%1").arg(index))
    , m_color(kPenColours[(index > 0 ? index - 1 : 0) % 8])
    , m_closeCompensate(GPathProcess::mm2Point(0.2))
    , m_knifeCompensate(GPathProcess::mm2Point(0.2))
{
}

void GSp::setGSpFlag(int flag, bool on)
{
    if (on)
        m_flags |= flag;
    else
        m_flags &= ~flag;
}
