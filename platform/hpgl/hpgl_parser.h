#pragma once

#include <QByteArray>
#include <QList>
#include <QPolygonF>
#include <QString>

#include <functional>

// Reads HPGL plot text into pen-down polylines, in plotter units (40 per mm,
// X along the web). Tolerates what real cutter files do: missing ";",
// glued mnemonics ("INPU;"), coordinates on PU, CR/LF anywhere, labels and
// device-control escapes. Arcs and circles come out flattened.
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

    // Parses data; sink gets one call per polyline, in file order. False when
    // the data is not HPGL at all (errorString says why): empty, binary,
    // without any instruction, or text whose first kProbeBytes hold more
    // words the reader does not know than instructions (a JSON template,
    // prose). A rejected buffer delivers nothing.
    bool parse(const QByteArray &data, const Sink &sink);

    const Header &header() const { return m_header; }
    QString errorString() const { return m_error; }
    int knownCommands() const { return m_known; }

    // Arc flattening step when the file gives no chord angle, in degrees.
    static constexpr double kDefaultChordDeg = 5.0;
    // Bound on the points one arc may produce, so a hostile radius or chord
    // cannot eat the memory.
    static constexpr int kMaxArcPoints = 3600;
    // Coordinates are clamped to this magnitude (about 25 km).
    static constexpr double kMaxCoordinate = 1.0e9;
    // The first bytes that tell plot text from other text.
    static constexpr qsizetype kProbeBytes = 4096;

    // True when the first bytes look like binary data rather than plot text.
    static bool looksBinary(const QByteArray &data);

private:
    // Reads data from a fresh state, counting known and unknown instructions.
    void read(const QByteArray &data, const Sink &sink);
    void penUp();
    void lineTo(const QPointF &p, const Sink &sink);
    void flush(const Sink &sink);
    void arc(const QPointF &centre, double sweepDeg, double chordDeg, const Sink &sink);
    void circle(double radius, double chordDeg, const Sink &sink);

    Header m_header;
    QString m_error;
    int m_known = 0;
    int m_unknown = 0;
    bool m_absolute = true;
    bool m_penDown = false;
    int m_pen = 1;
    QPointF m_pos;
    Polyline m_current;
};
