#include "StringToInt.h"

#include <cctype>
#include <climits>
#include <iostream>

namespace VantorEngine {

IntConversion stringToInt(const std::string& text, int32_t& value) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) {
        return IntConversion::invalidArgument;
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
        return IntConversion::outOfRange;
    }
    value = static_cast<int32_t>(signedValue);
    return IntConversion::ok;
}

bool convertOrReport(const std::string& text, int32_t& value) {
    switch (stringToInt(text, value)) {
        case IntConversion::ok:
            return true;
        case IntConversion::invalidArgument:
            std::cout << "Invalid argument: " << "invalid stoi argument" << std::endl;
            return false;
        case IntConversion::outOfRange:
            std::cerr << "Out of Range error: " << "stoi argument out of range" << std::endl;
            return false;
    }
    return false;
}

}  // namespace VantorEngine
