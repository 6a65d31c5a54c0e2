#pragma once

#include <QByteArray>
#include <QString>

// What HPGL and the job wrappers around it define as text rather than
// drawing: printer-job lines (PJL), PCL and device-control escape
// sequences, and the mnemonics that are instructions at all. The reader
// skips these before it judges whether a file is plot text.
namespace HpglText {

constexpr char kEsc = '\x1b';

inline quint32 mnemonic(char a, char b)
{
    const auto up = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; };
    return (quint32(quint8(up(a))) << 8) | quint8(up(b));
}

constexpr quint32 cmd(const char (&s)[3])
{
    return (quint32(quint8(s[0])) << 8) | quint8(s[1]);
}

// An instruction of HP-GL, HP-GL/2 or the cut-file header (PS, MD),
// drawn by the reader or not.
bool isInstruction(quint32 mnemonic);

// Whether the letters from p to end are instructions written together:
// each pair one, up to the first that takes text as its parameter.
bool gluedInstructions(const char *p, const char *end);

// Where the bytes after a wrapper belong.
struct Wrapper
{
    bool pcl = false;    // PCL data (between "ESC%#A" and "ESC%#B"): no plot text
    bool reset = false;  // "ESC E": the printer's reset, an IN for the plot
    QString foreign;     // a PJL job in a language that is not HPGL or PCL
};

// Skips the escape sequence at p (an ESC), and the PJL lines after a
// universal exit ("ESC%-12345X"); binary payloads of PCL sequences are
// skipped by their stated length.
void skipEscape(const char *&p, const char *end, Wrapper &wrapper);

// A well-known format that is no plot text, by its first bytes ("a PDF
// document"); empty for anything else.
QString foreignFormat(const QByteArray &data);

} // namespace HpglText
