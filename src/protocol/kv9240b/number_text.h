#pragma once

#include <QString>

#include <optional>

namespace kv {

// Reads a box's text as a number the way every request validates its input:
// the whole text must be one decimal number in the user's number format
// (optional sign, digits with optional fraction and exponent), blanks before
// and after allowed. Empty text, letters, group separators, "inf" and "nan"
// are not numbers. Values too large for a double are not numbers either.
std::optional<double> readNumber(const QString& text);

inline bool isNumber(const QString& text)
{
    return readNumber(text).has_value();
}

// Largest integer not greater than value: -0.5 gives -1.
double wholePart(double value);

// Nearest integer, halves to the even neighbour: 2.5 gives 2, 3.5 gives 4.
double roundHalfEven(double value);

} // namespace kv
