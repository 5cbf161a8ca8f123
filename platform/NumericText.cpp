#include "NumericText.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace tessary {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// True when text (without blanks around it) is a sign, digits with at most one point and
// at least one digit, and an optional exponent.
bool hasNumberShape(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto digits = [&] {
        const qsizetype start = i;
        while (i < n && isDigit(text[i]))
            ++i;
        return i - start;
    };
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    qsizetype mantissa = digits();
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == n;
}

} // namespace

std::optional<double> NumericText::read(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    const QStringView number = QStringView(text).mid(begin, end - begin);
    if (!hasNumberShape(number))
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::int32_t NumericText::toWhole(double number)
{
    if (std::isnan(number))
        return 0;
    // Under the default rounding mode nearbyint rounds half to even.
    const double rounded = std::nearbyint(number);
    constexpr double lowest = double(std::numeric_limits<std::int32_t>::min());
    constexpr double highest = double(std::numeric_limits<std::int32_t>::max());
    if (rounded <= lowest)
        return std::numeric_limits<std::int32_t>::min();
    if (rounded >= highest)
        return std::numeric_limits<std::int32_t>::max();
    return std::int32_t(rounded);
}

std::optional<std::int32_t> NumericText::readWhole(const QString& text)
{
    const std::optional<double> number = read(text);
    if (!number)
        return std::nullopt;
    return toWhole(*number);
}

} // namespace tessary
