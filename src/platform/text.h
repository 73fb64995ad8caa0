// Small text helpers: printf-style formatting, case-insensitive compare.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

namespace tessel {

std::string StrFormat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string StrFormatV(const char* fmt, va_list args);

bool EqualsNoCase(const std::string& a, const std::string& b);
// "HH:MM:SS.mmm" of a 90 kHz time.
std::string ClockTime(uint64_t pts);
int CompareNoCase(const std::string& a, const std::string& b);
std::string ToLower(std::string s);
std::string ToUpper(std::string s);
// The C library's atoi, which the file-name rules are defined by.
int AtoI(const std::string& s);
// A byte count in decimal units: "512 bytes", "41 MB", "1.5 MB", "31.2 GB"
// (one decimal below 10 of a unit, and from GB on).
std::string ByteSizeText(int64_t bytes);

}  // namespace tessel
