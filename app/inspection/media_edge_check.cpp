#include "app/inspection/media_edge_check.h"

#include "core/property_store.h"

#include <algorithm>
#include <cmath>

MediaEdgeCheck::Outcome MediaEdgeCheck::check(int e0, int e1, double pageWidthMm, int minWidthPx, double maxOffsetMm)
{
    Outcome out;
    const double width = double(e1) - double(e0);
    out.width = width;
    if (width < minWidthPx || width <= 0.0)
        return out;
    const double scale = pageWidthMm / width;
    if (!spoolsmith::sameValue(scale, m_scale)) {
        m_scale = scale;
        out.scaleChanged = true;
    }
    const double centre = (e0 + e1) * 0.5;
    out.centre = centre;
    out.previousCentre = m_prePaperCenter;
    out.previousWidth = m_prePaperWidth;

    if (std::abs(m_prePaperCenter) <= 1e-12) {
        if (width > minWidthPx) {
            m_prePaperCenter = centre;
            m_prePaperWidth = width;
        }
        return out;
    }

    if (std::abs(m_prePaperWidth - width) * m_scale > kWidthJumpMm) {
        // One odd picture is a jump; the same new width again and again is
        // a new paper, which becomes the reference (else every later picture
        // would be a jump and the drift never checked again).
        if (m_newWidthCount > 0 && std::abs(m_newWidth - width) * m_scale <= kWidthJumpMm) {
            ++m_newWidthCount;
        } else {
            m_newWidth = width;
            m_newWidthCount = 1;
        }
        if (m_newWidthCount >= kWidthChangePictures) {
            m_prePaperWidth = width;
            m_prePaperCenter = centre;
            m_newWidthCount = 0;
            out.event = Event::WidthChanged;
            return out;
        }
        out.event = Event::WidthJump;
        return out;
    }
    m_newWidthCount = 0;

    const double offset = (centre - m_prePaperCenter) * m_scale;
    out.offset = offset;
    if (std::abs(offset) > maxOffsetMm) {
        out.event = Event::Drift;
        return out;
    }
    m_lastOffset = offset;
    m_prePaperWidth = width;
    out.event = Event::Offset;
    return out;
}
