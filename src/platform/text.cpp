#include "platform/text.h"

#include <strings.h>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace tessel {

std::string StrFormatV(const char* fmt, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n <= 0) return {};
    std::string s(static_cast<size_t>(n), '\0');
    std::vsnprintf(s.data(), s.size() + 1, fmt, args);
    return s;
}

std::string StrFormat(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string s = StrFormatV(fmt, args);
    va_end(args);
    return s;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

int CompareNoCase(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str());
}

std::string ToLower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string ToUpper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

int AtoI(const std::string& s) {
    return std::atoi(s.c_str());
}

std::string ClockTime(uint64_t pts) {
    const uint64_t ms = pts / 90;
    return StrFormat("%02llu:%02llu:%02llu.%03llu", static_cast<unsigned long long>(ms / 3600000),
                     static_cast<unsigned long long>(ms / 60000 % 60),
                     static_cast<unsigned long long>(ms / 1000 % 60),
                     static_cast<unsigned long long>(ms % 1000));
}

std::string ByteSizeText(int64_t bytes) {
    static const char* const kUnits[] = {"kB", "MB", "GB", "TB"};
    if (bytes < 1000) return StrFormat("%lld bytes", static_cast<long long>(bytes));
    double v = static_cast<double>(bytes) / 1000;
    size_t unit = 0;
    while (v >= 999.95 && unit + 1 < std::size(kUnits)) v /= 1000, ++unit;
    const bool decimal = v < 9.95 || unit >= 2;
    return StrFormat(decimal ? "%.1f %s" : "%.0f %s", v, kUnits[unit]);
}

}  // namespace tessel
