#include "app/cut/plot_data.h"

#include "app/cut/cut_document.h"

#include "platform/scene/gmark_item.h"
#include "platform/scene/gpath_process.h"
#include "platform/scene/gscene.h"
#include "machine/trv610plus.h"
#include "settings/config.h"

#include <QFile>

#include <cmath>
#include <limits>

PlotData::PlotData(AppServices services, CutDocument &document)
    : m_services(std::move(services))
    , m_document(document)
{
}

QByteArray PlotData::generate(const QTransform &t)
{
    GScene *scene = m_document.scene();
    TRV610Plus *device = m_services.device();
    if (device)
        device->clearPltData();

    const GMarkItem *mark = scene->page()->markItem();
    const QMarginsF margins = mark ? GPathProcess::mm2Point(mark->margins()) : QMarginsF();
    QPointF offset;
    if (const Config *config = m_services.config()) {
        offset = GPathProcess::mm2Point(QPointF(-config->markCameraOffsetX(), -config->markCameraOffsetY()));
        const double spacing = config->pageSpacing();
        if (m_document.sceneReversed() && std::abs(spacing) > std::numeric_limits<double>::epsilon())
            offset.rx() -= GPathProcess::mm2Point(spacing);
    }

    QList<QGraphicsItem *> items;
    scene->exportCutItems(items, false, false, false);
    // The items' HPGL appended into one buffer (plain ASCII, so the bytes a
    // text stream gave).
    QByteArray data;
    scene->appendPlotData(data, items, t, margins, offset);
    if (device)
        device->setPltData(data);
    QFile file(QStringLiteral("tmp.plt"));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        file.write(data);
    return data;
}
