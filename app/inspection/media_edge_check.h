#pragma once

// The paper check of each check picture: the scale from the paper's width,
// width jumps, and the sideways drift of the paper centre against the first
// wide-enough picture. Plain state; the inspection holds its state lock
// round every call.
class MediaEdgeCheck
{
public:
    enum class Event {
        None,         // too narrow, or the first centre was just taken
        Offset,       // drift measured and within the limit
        WidthJump,    // width changed by more than 4 mm: no drift check
        WidthChanged, // the same new width three times: taken as the paper's
        Drift,        // drift beyond the limit: the job must stop
    };
    struct Outcome
    {
        Event event = Event::None;
        bool scaleChanged = false;
        double width = 0.0;
        double centre = 0.0;
        double previousWidth = 0.0;
        double previousCentre = 0.0;
        double offset = 0.0; // mm
    };

    // e0, e1: the paper edges in pixels; pageWidthMm: the cut page width;
    // minWidthPx: narrower paper is not checked; maxOffsetMm: drift limit.
    Outcome check(int e0, int e1, double pageWidthMm, int minWidthPx, double maxOffsetMm);

    double scale() const { return m_scale; } // mm per pixel, 0 until known
    double previousCentre() const { return m_prePaperCenter; }
    double previousWidth() const { return m_prePaperWidth; }
    double lastOffset() const { return m_lastOffset; }
    void resetCentre() { m_prePaperCenter = 0.0; }

    // A width change beyond this (mm) is a jump.
    static constexpr double kWidthJumpMm = 4.0;
    // Pictures of one new width that make it the paper's width.
    static constexpr int kWidthChangePictures = 3;

private:
    double m_scale = 0.0;
    double m_prePaperWidth = 0.0;
    double m_prePaperCenter = 0.0;
    double m_lastOffset = 0.0;
    double m_newWidth = 0.0;
    int m_newWidthCount = 0;
};
