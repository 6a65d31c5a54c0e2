#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVariantMap>

// The update server's answers, read apart from the dialogs that show them.
namespace update_answers {

// No answer of the update server comes near this; a larger one is cut off
// on arrival.
constexpr qint64 kMaxBodyBytes = 1024 * 1024;
// The server is asked for the top 3; more rows than this are not listed.
constexpr int kMaxRows = 100;
// Release notes larger or nested deeper than this are shown as plain text:
// laying out deep markup takes seconds.
constexpr int kMaxNotesChars = 64 * 1024;
constexpr int kMaxNotesDepth = 32;
// Breaking a long word takes time that grows with its square.
constexpr int kMaxNotesWord = 256;

enum class Outcome { NotJson, WrongAnswer, Answer };

// "/machine/software/version": code 200 and the "data" object (maybe empty).
struct SoftwareAnswer
{
    Outcome outcome = Outcome::NotJson;
    QJsonObject object;
    QVariantMap data;
};
SoftwareAnswer readSoftware(const QByteArray &body);

// "/machine/firmware/versions": the rows of one module, each with its index
// in the answer's array.
struct FirmwareRow
{
    int index = 0;
    QVariantMap map;
};
struct FirmwareAnswer
{
    Outcome outcome = Outcome::NotJson;
    QJsonObject object;
    // The answer's first row is this module's installed version.
    bool currentFirst = false;
    QList<FirmwareRow> rows;
    int rowsDropped = 0;
};
FirmwareAnswer readFirmware(const QByteArray &body, int module);

// "/getIP", "/getLocation": the "data" text, empty when there is none.
QString readLookUp(const QByteArray &body);

// Whether release notes may be laid out as rich text.
bool notesFitRichText(const QString &html);
// The text of notes that do not: the markup taken out, cut to the cap, a
// break opportunity (a zero-width space) in every kMaxNotesWord characters.
QString notesAsText(const QString &html);

} // namespace update_answers
