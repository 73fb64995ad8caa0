// Small text helpers: printf-style formatting, case-insensitive compare.
#pragma once

#include <cstdarg>
#include <string>

namespace tessel {

std::string StrFormat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string StrFormatV(const char* fmt, va_list args);

bool EqualsNoCase(const std::string& a, const std::string& b);
int CompareNoCase(const std::string& a, const std::string& b);
std::string ToLower(std::string s);
std::string ToUpper(std::string s);
// The C library's atoi, which the file-name rules are defined by.
int AtoI(const std::string& s);

}  // namespace tessel
