// The engine's command-line parser on arbitrary argument lists (the input split at NUL bytes,
// after the program name). Its settings and messages must match the standard library's
// std::stoi rules applied position by position, and it must never throw.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Engine.h"
#include "FuzzCheck.h"

namespace {

constexpr std::size_t kMaxArguments = 8;

struct Expected {
    VantorEngine::WindowSettings settings;
    std::string out;
    std::string err;
};

// The documented behaviour, written with std::stoi itself.
Expected reference(const std::vector<std::string>& args) {
    Expected e;
    try {
        if (args.size() >= 3) {
            e.settings.width = std::stoi(args[1]);
            e.settings.height = std::stoi(args[2]);
        }
        if (args.size() >= 4) e.settings.refreshRate = std::stoi(args[3]);
        if (args.size() >= 5) e.settings.fullscreen = std::stoi(args[4]) != 0;
    } catch (const std::invalid_argument&) {
        e.out = "Invalid argument: invalid stoi argument\n";
        e.settings.fullscreen = false;
    } catch (const std::out_of_range&) {
        e.err = "Out of Range error: stoi argument out of range\n";
        e.settings.fullscreen = false;
    }
    return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args{"nimbrel"};
    std::string current;
    for (std::size_t i = 0; i < size && args.size() < kMaxArguments; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (!current.empty() && args.size() < kMaxArguments) args.push_back(current);

    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::ostringstream out, err;
    std::streambuf* oldOut = std::cout.rdbuf(out.rdbuf());
    std::streambuf* oldErr = std::cerr.rdbuf(err.rdbuf());
    VantorEngine::arguments.clear();
    const VantorEngine::WindowSettings s =
        VantorEngine::parseCommandLine(static_cast<int>(args.size()), argv.data());
    std::cout.rdbuf(oldOut);
    std::cerr.rdbuf(oldErr);

    const Expected e = reference(args);
    FUZZ_CHECK(VantorEngine::arguments == args);
    FUZZ_CHECK(s.width == e.settings.width);
    FUZZ_CHECK(s.height == e.settings.height);
    FUZZ_CHECK(s.refreshRate == e.settings.refreshRate);
    FUZZ_CHECK(s.fullscreen == e.settings.fullscreen);
    FUZZ_CHECK(out.str() == e.out);
    FUZZ_CHECK(err.str() == e.err);
    return 0;
}
