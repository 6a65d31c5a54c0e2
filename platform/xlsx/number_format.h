#pragma once

#include <QString>
#include <QVector>

// A cell's number format as a spreadsheet applies it when it shows the cell:
// dates and times from day serials, zero padding, fixed decimals, thousands
// separators, percentages, scientific notation and literal text. A format
// this does not know (fractions, conditions it cannot weigh) shows the value
// as the General format does, so a value is never lost.
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
        QString text; // the literal, the placeholder ('0', '#', '?'), the date part ("yyyy", "mm"), "E+"
    };
    struct Section
    {
        QVector<Token> tokens;
        bool isDate = false;
        bool isText = false;
        bool unsupported = false;
        int scale = 0; // thousands divisors from trailing commas
    };
    static Section parseSection(const QString &code);
    QString formatNumber(const Section &s, double value) const;
    QString formatDate(const Section &s, double value, bool date1904) const;

    QVector<Section> m_sections;
};
