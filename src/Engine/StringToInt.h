#pragma once
#include <cstdint>
#include <string>

namespace VantorEngine {

enum class IntConversion { ok, invalidArgument, outOfRange };

// Base-10 string-to-int with the standard library's rules: leading white space skipped, an
// optional sign, conversion stops at the first non-digit; no digit is an invalid argument and a
// value that does not fit a 32-bit int is out of range. `value` is written only on success.
// Never throws.
IntConversion stringToInt(const std::string& text, int32_t& value);

// stringToInt that reports a failure on the console the way the command line does:
// "Invalid argument: invalid stoi argument" on standard output, or "Out of Range error: stoi
// argument out of range" on standard error. Returns whether `value` was set.
bool convertOrReport(const std::string& text, int32_t& value);

}  // namespace VantorEngine
