// The plot data of the cut page: the scene's cut items in cutting order as
// the cutter's HPGL, through the page transform of the last mark scan.
#include "app/spoolsmith_app.h"

#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_item.h"
#include "platform/scene/gpath_process.h"
#include "platform/scene/gscene.h"
#include "machine/trv610plus.h"

#include <QFile>
#include <QTextStream>

#include <cmath>
#include <limits>

QByteArray SpoolsmithApp::generatePltData(const QTransform &t)
{
    TRV610Plus *device = TRV610Plus::instance();
    if (device)
        device->clearPltData();

    const GMarkItem *mark = m_cutScene->page()->markItem();
    const QMarginsF margins = mark ? GPathProcess::mm2Point(mark->margins()) : QMarginsF();
    QPointF offset;
    if (const Config *config = Config::instance()) {
        offset = GPathProcess::mm2Point(QPointF(-config->markCameraOffsetX(), -config->markCameraOffsetY()));
        const double spacing = config->pageSpacing();
        if (config->getProperty(Config::CPT_Cut_Inverse).toBool()
            && std::abs(spacing) > std::numeric_limits<double>::epsilon())
            offset.rx() -= GPathProcess::mm2Point(spacing);
    }

    QList<QGraphicsItem *> items;
    m_cutScene->exportCutItems(items, false, false, false);
    QByteArray data;
    {
        QTextStream stream(&data);
        for (const GPathItem *item : m_cutScene->sortCutItems(items))
            stream << item->pltString(t, margins, offset);
        stream.flush();
    }
    if (device)
        device->setPltData(data);
    QFile file(QStringLiteral("tmp.plt"));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        file.write(data);
    return data;
}
