#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace tessary {

// Numbers typed by the user, read the way the platform's usual numeric test reads them:
// blanks (spaces, tabs) around the number, an optional sign, digits with at most one
// decimal point (a point alone is not a number), and an optional exponent ("e" or "E", an
// optional sign and digits). A lone sign, a lone point, letters, an empty text and a
// number too large for a double are not numbers. The decimal separator is the point.
class NumericText
{
public:
    // The number text reads as; nothing when it does not read as a number.
    static std::optional<double> read(const QString& text);
    static bool isNumber(const QString& text) { return read(text).has_value(); }

    // number rounded to the nearest whole number, ties to even, as a 32-bit page number;
    // numbers beyond the 32-bit range give its nearest end, and NaN gives 0.
    static std::int32_t toWhole(double number);

    // The text's number as a whole page number (read() then toWhole()); nothing when the
    // text does not read as a number.
    static std::optional<std::int32_t> readWhole(const QString& text);
};

} // namespace tessary
