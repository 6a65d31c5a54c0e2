#include "online/upgrades/update_answers.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace update_answers {

namespace {
bool readObject(const QByteArray &body, QJsonObject &object)
{
    if (body.size() > kMaxBodyBytes)
        return false;
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return false;
    object = document.object();
    return true;
}

bool codeIs200(const QJsonObject &object)
{
    return object.contains(QStringLiteral("code")) && object.value(QStringLiteral("code")).toInt(0) == 200;
}

// Elements that never hold content, so never nest.
bool isVoidElement(QStringView name)
{
    static const char *const names[] = {"br", "img", "hr", "meta", "input", "col", "area", "base", "link", "wbr",
                                        "source", "param", "embed", "track"};
    for (const char *n : names) {
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
} // namespace

SoftwareAnswer readSoftware(const QByteArray &body)
{
    SoftwareAnswer answer;
    if (!readObject(body, answer.object))
        return answer;
    if (!codeIs200(answer.object)) {
        answer.outcome = Outcome::WrongAnswer;
        return answer;
    }
    answer.outcome = Outcome::Answer;
    answer.data = answer.object.value(QStringLiteral("data")).toObject().toVariantMap();
    return answer;
}

FirmwareAnswer readFirmware(const QByteArray &body, int module)
{
    FirmwareAnswer answer;
    if (!readObject(body, answer.object))
        return answer;
    if (!codeIs200(answer.object) || !answer.object.value(QStringLiteral("rows")).isArray()) {
        answer.outcome = Outcome::WrongAnswer;
        return answer;
    }
    answer.outcome = Outcome::Answer;
    const QJsonArray rows = answer.object.value(QStringLiteral("rows")).toArray();
    for (int i = 0; i < rows.size(); ++i) {
        const QJsonObject row = rows.at(i).toObject();
        if (row.value(QStringLiteral("firmModule")).toVariant().toInt() != module)
            continue;
        if (i == 0 && row.value(QStringLiteral("isCurrentVersion")).toBool()) {
            answer.currentFirst = true;
            break;
        }
        if (answer.rows.size() >= kMaxRows) {
            ++answer.rowsDropped;
            continue;
        }
        answer.rows.append({i, row.toVariantMap()});
    }
    return answer;
}

QString readLookUp(const QByteArray &body)
{
    QJsonObject object;
    if (!readObject(body, object))
        return QString();
    return object.value(QStringLiteral("data")).toString();
}

bool notesFitRichText(const QString &html)
{
    if (html.size() > kMaxNotesChars)
        return false;
    int word = 0;
    for (const QChar c : html) {
        word = c.isSpace() ? 0 : word + 1;
        if (word > kMaxNotesWord)
            return false;
    }
    // Every open tag counts until its close tag: unclosed ones the parser
    // closes itself only make this count higher, never lower.
    int depth = 0;
    qsizetype close = -1; // the next '>', found once per stretch
    for (qsizetype at = html.indexOf(QLatin1Char('<')); at >= 0; at = html.indexOf(QLatin1Char('<'), at + 1)) {
        qsizetype nameStart = at + 1;
        const bool closing = nameStart < html.size() && html.at(nameStart) == QLatin1Char('/');
        if (closing)
            ++nameStart;
        qsizetype nameEnd = nameStart;
        while (nameEnd < html.size() && html.at(nameEnd).isLetterOrNumber())
            ++nameEnd;
        if (nameEnd == nameStart)
            continue;
        const QStringView name = QStringView(html).mid(nameStart, nameEnd - nameStart);
        if (isVoidElement(name))
            continue;
        if (closing) {
            depth = std::max(0, depth - 1);
            continue;
        }
        if (close != html.size() && close < nameEnd) {
            close = html.indexOf(QLatin1Char('>'), nameEnd);
            if (close < 0)
                close = html.size();
        }
        if (close < html.size() && html.at(close - 1) == QLatin1Char('/'))
            continue;
        if (++depth > kMaxNotesDepth)
            return false;
    }
    return true;
}

QString notesAsText(const QString &html)
{
    QString text;
    bool inTag = false;
    int word = 0;
    for (const QChar c : html) {
        if (text.size() >= kMaxNotesChars)
            break;
        if (c == QLatin1Char('<')) {
            inTag = true;
        } else if (c == QLatin1Char('>') && inTag) {
            inTag = false;
        } else if (!inTag) {
            word = c.isSpace() ? 0 : word + 1;
            if (word > kMaxNotesWord) {
                text += QChar(0x200B);
                word = 1;
            }
            text += c;
        }
    }
    return text;
}

} // namespace update_answers
