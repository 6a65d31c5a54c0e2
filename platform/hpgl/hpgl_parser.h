#pragma once

#include "platform/hpgl/hpgl_shapes.h"
#include "platform/hpgl/hpgl_units.h"

#include <QByteArray>
#include <QList>
#include <QPolygonF>
#include <QString>

#include <atomic>
#include <functional>

// Reads HPGL plot text (HP-GL and HP-GL/2, bare or in a PJL or PCL job)
// into the outlines it draws, in plotter units (40 per mm, X along the
// web), as a plotter would draw them:
// - lines (PU PD PA PR, and PE in both its 8-bit and 7-bit forms), arcs
//   (AA AR AT RT), circles (CI), Bezier curves (BZ BR), rectangles (EA ER
//   RA RR), wedges (EW WG), polygons (PM with EP or FP) and tick marks
//   (XT YT), flattened into chords;
// - in user units (SC, all forms, on P1 and P2 of IP or IR), turned by RO
//   and clipped to the IW window (see HpglUnits for the page it assumes);
// - a filled shape is cut along its outline (the fill itself is no cut),
//   once when it is filled and edged in a row;
// - labels, symbols and comments are text, not cut; the line type and the
//   pen's width and colour are the pen's, the knife cuts the line.
// A file that draws where the reader cannot place it (from where a label
// or a character move left the pen) is refused with that instruction named
// rather than cut in part. Pages (PG) are drawn on the one cut page, as
// they always were. Tolerates what real
// files do: missing ";", glued mnemonics ("INPU;"), lower case, CR/LF and
// NUL padding anywhere.
class HpglParser
{
public:
    struct Polyline
    {
        int pen = 1;
        QPolygonF points; // first point is where the pen went down
    };
    // The PS and MD instructions of a cut-file header, fields as written.
    struct Header
    {
        QList<double> ps;
        QList<QList<double>> md;
        bool hasPs() const { return !ps.isEmpty(); }
    };
    using Sink = std::function<void(const Polyline &)>;

    // Parses data; sink gets one call per outline, in file order. False when
    // the data is not HPGL (errorString says why: empty, binary or another
    // known format, without any instruction, or text whose first
    // kProbeBytes hold more words the reader does not know than
    // instructions once HPGL's own text is skipped), when it draws what
    // the reader cannot place (uncutInstruction names it), or when stopped.
    // Outlines may have been delivered before a refusal that comes late.
    bool parse(const QByteArray &data, const Sink &sink);
    // Checked while parsing (from any thread): a parse stops soon after it is set.
    void setStopFlag(const std::atomic<bool> *stop) { m_stop = stop; }

    const Header &header() const { return m_header; }
    QString errorString() const { return m_error; }
    QString uncutInstruction() const { return m_uncut; }
    bool stopped() const { return m_stopped; }
    int knownCommands() const { return m_known; }

    static constexpr double kDefaultChordDeg = HpglShapes::kDefaultChordDeg;
    static constexpr int kMaxArcPoints = HpglShapes::kMaxArcPoints;
    // Coordinates are clamped to this magnitude (about 25 km).
    static constexpr double kMaxCoordinate = 1.0e9;
    // The first bytes that tell plot text from other text.
    static constexpr qsizetype kProbeBytes = 4096;

private:
    // The polygon buffer of PM: closed subpolygons, each point with
    // whether the pen was down on the way to it.
    struct SubPolygon
    {
        QPolygonF points;
        QList<bool> down; // down[i]: the edge into points[i]
    };

    void read(const QByteArray &data, const Sink &sink);
    // Every instruction but the lines' (PU PD PA PR), with its numbers.
    void instruction(quint32 mnemonic, const QList<double> &params);
    void resetState(bool initialise);
    bool fail(const char *instruction);
    static QPointF clampPoint(const QPointF &p)
    {
        // Two comparisons a coordinate, and a NaN (no comparison holds) comes out finite.
        const auto c = [](double v) { return !(v >= -kMaxCoordinate) ? -kMaxCoordinate : (v > kMaxCoordinate ? kMaxCoordinate : v); };
        return {c(p.x()), c(p.y())};
    }
    QPointF target(const QPointF &v, bool absolute) const;
    // The pen moves by (or to) v in current units; false once the file is refused.
    bool move(const QPointF &v, bool absolute);
    // The pen moves to p (plotter units).
    void lineTo(const QPointF &p);
    void polygonTo(const QPointF &p);
    void moveUser(const QList<QPointF> &userPoints);
    void flush();
    void deliver(const QPolygonF &points);
    // A shape drawn whole (circle, rectangle, wedge, polygon), in plotter units.
    void shape(const QList<QPolygonF> &outlines);
    // False when the pen's place is not known; a drawing from there refuses the file.
    bool needPosition(bool draws);
    void arcTo(const QPointF &centreUser, double sweepDeg, double chord);
    void circle(double radius, double chord);
    void threePointArc(const QPointF &viaUser, const QPointF &endUser, double chord);
    void rectangle(const QPointF &cornerUser, bool fill);
    void wedge(double radius, double startDeg, double sweepDeg, double chord, bool fill);
    void polygonMode(int mode);
    void closeSubPolygon();
    void polygon(bool fill);
    void tick(bool vertical);
    // False for what only looks like PE (it decodes nothing): p is then to be read again.
    bool readEncoded(const char *&p, const char *end);

    Header m_header;
    QString m_error;
    QString m_uncut;
    QString m_foreign; // a wrapper's job in another language
    const Sink *m_sink = nullptr;
    const std::atomic<bool> *m_stop = nullptr;
    bool m_stopped = false;
    bool m_failed = false;
    int m_known = 0;
    int m_unknown = 0;
    qsizetype m_controls = 0; // stray control bytes (NUL padding aside)
    qsizetype m_scanned = 0;

    HpglUnits m_units;
    bool m_absolute = true;
    bool m_penDown = false;
    int m_pen = 1;
    QPointF m_pos; // plotter units of the page
    Polyline m_current;
    char m_terminator = '\x03';
    bool m_chordDeviation = false;
    double m_tickPlus = 0.5, m_tickMinus = 0.5;
    // The instruction after which the pen's place is not known (a label's
    // end), until an absolute move; null while it is known.
    const char *m_lost = nullptr;
    bool m_polygonMode = false;
    QList<SubPolygon> m_polygon;
    QList<QPolygonF> m_lastShape; // the shape delivered last, if nothing came after
};
