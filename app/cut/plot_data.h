#pragma once

#include "app/app_services.h"

#include <QByteArray>
#include <QTransform>

class CutDocument;

// The plot data of the cut page: the scene's cut items in cutting order as
// the cutter's HPGL, through the page transform of the last mark scan.
class PlotData
{
public:
    PlotData(AppServices services, CutDocument &document);

    // Rebuilds the driver's plot data through t (and "tmp.plt"); returns it.
    QByteArray generate(const QTransform &t);

private:
    AppServices m_services;
    CutDocument &m_document;
};
