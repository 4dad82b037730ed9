#pragma once
// Small text helpers shared by every subsystem.

#include <string>
#include <vector>

// printf-style formatting into a std::string of any length.
std::string stringFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Joins items with a separator; each item first goes through itemFormat
// (a printf pattern with one %s) unless that is empty.
std::string joinStrings(const std::vector<std::string>& items, const std::string& separator,
                        const std::string& itemFormat);

// Splits at every occurrence of the whole delimiter. Empty pieces between
// delimiters are dropped, but the piece after the last delimiter is always
// kept (an empty text gives one empty piece). Trimming keeps pieces that
// become empty.
std::vector<std::string> splitString(const std::string& text, const std::string& delimiter,
                                     bool trim);
