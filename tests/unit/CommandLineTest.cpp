#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Engine.h"

using VantorEngine::WindowSettings;

namespace {

struct ParseResult {
    WindowSettings settings;
    std::string out;
    std::string err;
};

ParseResult parse(std::vector<std::string> args) {
    args.insert(args.begin(), "nimbrel");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    VantorEngine::arguments.clear();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ParseResult r;
    r.settings = VantorEngine::parseCommandLine(static_cast<int>(argv.size()), argv.data());
    r.out = testing::internal::GetCapturedStdout();
    r.err = testing::internal::GetCapturedStderr();
    return r;
}

struct CommandLineCase {
    const char* name;
    std::vector<std::string> args;
    int width, height, refreshRate;
    bool fullscreen;
    const char* out;
    const char* err;
};

class CommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, SettingsAndMessages) {
    const CommandLineCase& c = GetParam();
    const ParseResult r = parse(c.args);
    EXPECT_EQ(r.settings.width, c.width);
    EXPECT_EQ(r.settings.height, c.height);
    EXPECT_EQ(r.settings.refreshRate, c.refreshRate);
    EXPECT_EQ(r.settings.fullscreen, c.fullscreen);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
}

const char* const kInvalid = "Invalid argument: invalid stoi argument\n";
const char* const kRange = "Out of Range error: stoi argument out of range\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTest,
    testing::Values(
        CommandLineCase{"none", {}, 1024, 768, 60, false, "", ""},
        CommandLineCase{"oneArgumentIgnored", {"800"}, 1024, 768, 60, false, "", ""},
        CommandLineCase{"sizeOnly", {"800", "600"}, 800, 600, 60, false, "", ""},
        CommandLineCase{"fullscreen", {"800", "600", "75", "1"}, 800, 600, 75, true, "", ""},
        CommandLineCase{"fullscreenAnyNonZero", {"800", "600", "75", "-3"}, 800, 600, 75, true, "", ""},
        CommandLineCase{"windowed", {"800", "600", "75", "0"}, 800, 600, 75, false, "", ""},
        CommandLineCase{"demoArgumentsIgnored", {"320", "240", "60", "0", "3", "50"}, 320, 240, 60, false, "", ""},
        CommandLineCase{"badHeight", {"800", "abc"}, 800, 768, 60, false, kInvalid, ""},
        CommandLineCase{"badWidthKeepsAllDefaults", {"abc", "600"}, 1024, 768, 60, false, kInvalid, ""},
        CommandLineCase{"widthOutOfRange", {"99999999999", "600"}, 1024, 768, 60, false, "", kRange},
        CommandLineCase{"trailingLetters", {"800x", "600"}, 800, 600, 60, false, "", ""},
        CommandLineCase{"leadingSpaceAndSign", {"  +640", " 480"}, 640, 480, 60, false, "", ""},
        CommandLineCase{"emptyString", {"", "600"}, 1024, 768, 60, false, kInvalid, ""},
        CommandLineCase{"signWithoutDigits", {"-", "600"}, 1024, 768, 60, false, kInvalid, ""},
        CommandLineCase{"intMinFits", {"-2147483648", "600"}, -2147483647 - 1, 600, 60, false, "", ""},
        CommandLineCase{"intMaxPlusOne", {"2147483648", "600"}, 1024, 768, 60, false, "", kRange},
        CommandLineCase{"badRefreshKeepsSize", {"800", "600", "fast"}, 800, 600, 60, false, kInvalid, ""},
        CommandLineCase{"badFullscreenIsWindowed", {"800", "600", "75", "yes"}, 800, 600, 75, false, kInvalid, ""},
        CommandLineCase{"hugeFullscreenIsWindowed", {"800", "600", "75", "99999999999999999999999"}, 800, 600, 75, false, "", kRange}),
    [](const testing::TestParamInfo<CommandLineCase>& info) { return std::string(info.param.name); });

TEST(CommandLine, KeepsEveryArgumentInOrder) {
    parse({"320", "240", "60", "0", "11", "50"});
    const std::vector<std::string> expected{"nimbrel", "320", "240", "60", "0", "11", "50"};
    EXPECT_EQ(VantorEngine::arguments, expected);
}

TEST(Wireframe, ToggleTwicePrintsOnThenOff) {
    VantorEngine::wireframeMode = false;
    testing::internal::CaptureStdout();
    VantorEngine::toggleWireframe();
    EXPECT_TRUE(VantorEngine::wireframeMode);
    VantorEngine::toggleWireframe();
    EXPECT_FALSE(VantorEngine::wireframeMode);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "wireframe mode on\nwireframe mode off\n");
}

}  // namespace
