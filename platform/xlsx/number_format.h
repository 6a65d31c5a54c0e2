#pragma once

#include <QString>
#include <QVector>

// A cell's number format as a spreadsheet applies it when it shows the cell:
// dates and times from day serials, zero padding, fixed decimals, thousands
// separators, percentages, scientific and engineering notation, conditions
// that choose the section, Chinese day and half-day words and literal text.
// A format this does not know (fractions) shows the value as the General
// format does, so a value is never lost.
class NumberFormat
{
public:
    NumberFormat() = default; // General
    // A format code as the styles part holds it ("000000", "yyyy/m/d").
    explicit NumberFormat(const QString &code);
    // The code of a built-in format number as the Chinese edition of the
    // spreadsheet program shows it; empty for General and unknown numbers.
    static QString builtInCode(int id);

    QString format(double value, bool date1904 = false) const;
    bool isGeneral() const { return m_sections.isEmpty(); }

    // As the General format shows a number: whole numbers of up to 15
    // digits whole (a code keeps its digits), others in at most 11
    // characters, large and tiny ones as "1.23457E+15".
    static QString general(double value);

private:
    struct Token
    {
        enum Kind { Literal, Digit, Point, Thousands, Percent, Exponent, DatePart, AmPm, Elapsed };
        Kind kind;
        QString text; // the literal, the placeholder ('0', '#', '?'), the date part ("yyyy", "mm", "aaa"), "E+"
    };
    // A condition in brackets ("[>=1000]") that chooses the section.
    struct Condition
    {
        enum Op { None, Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };
        Op op = None;
        double limit = 0;
        bool holds(double v) const;
    };
    static Condition parseCondition(const QString &inner);
    // The language a locale tag ("[$-804]") names, for day and half-day words.
    enum class Language { Unnamed, Chinese, Other };
    struct Section
    {
        QVector<Token> tokens;
        Condition condition;
        Language language = Language::Unnamed;
        bool isDate = false;
        bool isText = false;
        bool unsupported = false;
        int scale = 0; // thousands divisors from trailing commas
    };
    static Section parseSection(const QString &code);
    // The section that shows the value, and whether it shows the value's
    // minus itself (a section for negatives); null when none does.
    const Section *sectionFor(double value, bool &signInSection) const;
    QString formatNumber(const Section &s, double value) const;
    QString formatDate(const Section &s, double value, bool date1904) const;

    QVector<Section> m_sections;
};
