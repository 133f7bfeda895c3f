#include "Engine.h"

#include <cctype>
#include <climits>
#include <iostream>

namespace VantorEngine {

namespace {

enum class ConversionResult { ok, invalidArgument, outOfRange };

// Base-10 string-to-int with the standard library's rules: leading white space skipped, an
// optional sign, conversion stops at the first non-digit; no digit is an invalid argument and a
// value that does not fit a 32-bit int is out of range. Never throws.
ConversionResult convertToInt(const std::string& text, int32_t& value) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) {
        return ConversionResult::invalidArgument;
    }
    long long magnitude = 0;
    bool overflow = false;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (!overflow) {
            magnitude = magnitude * 10 + (text[i] - '0');
            if (magnitude > static_cast<long long>(INT_MAX) + 1) overflow = true;
        }
    }
    const long long signedValue = negative ? -magnitude : magnitude;
    if (overflow || signedValue > INT_MAX || signedValue < INT_MIN) {
        return ConversionResult::outOfRange;
    }
    value = static_cast<int32_t>(signedValue);
    return ConversionResult::ok;
}

// Converts `arguments[index]` into `target`; on failure prints the message and returns false.
bool convertArgument(size_t index, int32_t& target) {
    int32_t value = 0;
    switch (convertToInt(arguments[index], value)) {
        case ConversionResult::ok:
            target = value;
            return true;
        case ConversionResult::invalidArgument:
            std::cout << "Invalid argument: " << "invalid stoi argument" << std::endl;
            return false;
        case ConversionResult::outOfRange:
            std::cerr << "Out of Range error: " << "stoi argument out of range" << std::endl;
            return false;
    }
    return false;
}

}  // namespace

WindowSettings parseCommandLine(int argc, char** argv) {
    WindowSettings settings;
    for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] ? argv[i] : "");

    const size_t count = arguments.size();
    bool ok = true;
    if (count >= 3) {
        ok = convertArgument(1, settings.width) && convertArgument(2, settings.height);
    }
    if (ok && count >= 4) ok = convertArgument(3, settings.refreshRate);
    if (ok && count >= 5) {
        int32_t fullscreen = 0;
        ok = convertArgument(4, fullscreen);
        settings.fullscreen = ok && fullscreen != 0;
    }
    if (!ok) settings.fullscreen = false;
    return settings;
}

void toggleWireframe() {
    wireframeMode = !wireframeMode;
    std::cout << "wireframe mode " << (wireframeMode ? "on" : "off") << std::endl;
}

}  // namespace VantorEngine
