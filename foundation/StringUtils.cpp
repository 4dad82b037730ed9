#include "StringUtils.h"

#include <cstdarg>
#include <cstdio>
#include <stdexcept>

std::string stringFormat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list measureArgs;
    va_copy(measureArgs, args);
    const int n = std::vsnprintf(nullptr, 0, format, measureArgs);
    va_end(measureArgs);
    if (n < 0) {
        va_end(args);
        throw std::runtime_error("@stringFormat: encoding error");
    }
    std::string result(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(result.data(), result.size(), format, args);
    va_end(args);
    result.resize(static_cast<size_t>(n));
    return result;
}

std::string joinStrings(const std::vector<std::string>& items, const std::string& separator,
                        const std::string& itemFormat)
{
    auto formatItem = [&](const std::string& item) {
        return itemFormat.empty() ? item : stringFormat(itemFormat.c_str(), item.c_str());
    };
    std::string result;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) result += separator;
        result += formatItem(items[i]);
    }
    return result;
}

namespace {
bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string trimmed(const std::string& s)
{
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && isSpace(s[begin])) ++begin;
    while (end > begin && isSpace(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}
} // namespace

std::vector<std::string> splitString(const std::string& text, const std::string& delimiter,
                                     bool trim)
{
    std::vector<std::string> pieces;
    size_t pos = 0;
    if (!delimiter.empty()) {
        for (size_t hit = text.find(delimiter, pos); hit != std::string::npos;
             hit = text.find(delimiter, pos)) {
            if (hit > pos) pieces.push_back(text.substr(pos, hit - pos));
            pos = hit + delimiter.size();
        }
    }
    pieces.push_back(text.substr(pos));
    if (trim) {
        for (auto& piece : pieces) piece = trimmed(piece);
    }
    return pieces;
}
