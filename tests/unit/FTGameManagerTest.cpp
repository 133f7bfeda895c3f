// The demo's title line, key table and command-line choice, without GL.
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Engine.h"
#include "FTGameManager.h"

using namespace VantorEngine;
using FallowTide::FTGameManager;

namespace {

void press(int key, int action = GLFW_PRESS) { FallowTide::keyCallback(nullptr, key, 0, action, 0); }

// Engine-wide settings back to their start values.
class KeySettings : public ::testing::Test {
protected:
    void SetUp() override {
        frameTimeDisplay = false;
        wireframeMode = false;
        deferredDebugView = 0;
        postProcessingDebugView = 0;
        normalMapping = false;
        focalDistanceSetting = 0.6f;
        focalRangeSetting = 0.1f;
        printPostProcessingView = false;
        exposureSetting = 0.0f;
        renderLayerMask = 1;
    }
    void TearDown() override { SetUp(); }
};

std::vector<std::string> commandLine(std::vector<std::string> rest) {
    rest.insert(rest.begin(), "nimbrel");
    return rest;
}

}  // namespace

TEST(FTGameManagerTitle, FormatsRateTimePositionAndInfo) {
    EXPECT_EQ(FTGameManager::formatTitle(60.0, 1.0 / 60.0, vec3(0.0f, 0.0f, 3.0f), ""),
              "Nimbrel! | FPS = 60 | Frametime = 16.6667 | ms | pos(0, 0, 3)");
    EXPECT_EQ(FTGameManager::formatTitle(1.0 / 0.0125, 0.0125, vec3(-1.5f, 0.25f, 1234567.0f), " | focus slice z = 1"),
              "Nimbrel! | FPS = 80 | Frametime = 12.5 | ms | pos(-1.5, 0.25, 1.23457e+06) | focus slice z = 1");
}

TEST(FTGameManagerTitle, TitleInfoIsReplacedAndClearedByUpdate) {
    FTGameManager manager;
    manager.setTitleInfo(" | focus slice z = 0.5");
    manager.setTitleInfo(" | focus slice z = 1");
    EXPECT_EQ(manager._titleInfo, " | focus slice z = 1");
    manager.update(1.0 / 60.0);  // no window: the title is only built
    EXPECT_TRUE(manager._titleInfo.empty());
}

TEST_F(KeySettings, EveryKeyOfTheTableChangesItsSetting) {
    struct Case {
        const char* name;
        int key;
        std::function<void()> prepare;  // moves the setting away from what the key sets
        std::function<bool()> changed;
    };
    const auto nothing = [] {};
    const Case cases[] = {
        {"F2", GLFW_KEY_F2, nothing, [] { return frameTimeDisplay; }},
        {"F3", GLFW_KEY_F3, nothing, [] { return wireframeMode; }},
        {"F8", GLFW_KEY_F8, nothing, [] { return deferredDebugView == 1; }},
        {"F9", GLFW_KEY_F9, nothing, [] { return postProcessingDebugView == 1; }},
        {"F10", GLFW_KEY_F10, nothing, [] { return postProcessingDebugView == 3; }},
        {"F11", GLFW_KEY_F11, nothing, [] { return normalMapping; }},
        {"1", GLFW_KEY_1, nothing, [] { return focalDistanceSetting == 0.6f + 0.11764706f; }},
        {"2", GLFW_KEY_2, nothing, [] { return focalRangeSetting == 0.1f + 0.11764706f; }},
        {"3", GLFW_KEY_3, [] { focalRangeSetting = 0.5f; },
         [] { return focalDistanceSetting == 0.0f && focalRangeSetting == 0.1f; }},
        {"4", GLFW_KEY_4, nothing, [] { return printPostProcessingView; }},
        {"5", GLFW_KEY_5, nothing, [] { return exposureSetting == 1.0f; }},
        {"6", GLFW_KEY_6, nothing, [] { return exposureSetting == -1.0f; }},
        {"7", GLFW_KEY_7, nothing, [] { return renderLayerMask == 2; }},
        {"8", GLFW_KEY_8, [] { renderLayerMask = 2; }, [] { return renderLayerMask == 1; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.prepare();
        // Releases and repeats do nothing (and print nothing).
        testing::internal::CaptureStdout();
        press(c.key, GLFW_RELEASE);
        press(c.key, GLFW_REPEAT);
        const std::string ignored = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(ignored.empty()) << ignored;
        EXPECT_FALSE(c.changed());
        testing::internal::CaptureStdout();
        press(c.key);
        testing::internal::GetCapturedStdout();
        EXPECT_TRUE(c.changed());
    }
}

TEST_F(KeySettings, WrapsStepsAndResets) {
    for (int i = 0; i < 5; ++i) press(GLFW_KEY_F8);
    EXPECT_EQ(deferredDebugView, 0);
    press(GLFW_KEY_F10);
    EXPECT_EQ(postProcessingDebugView, 3);
    press(GLFW_KEY_F9);
    EXPECT_EQ(postProcessingDebugView, 0);
    for (int i = 0; i < 3; ++i) {
        press(GLFW_KEY_1);
        press(GLFW_KEY_2);
    }
    press(GLFW_KEY_3);
    EXPECT_EQ(focalDistanceSetting, 0.0f);
    EXPECT_EQ(focalRangeSetting, 0.1f);
    press(GLFW_KEY_5);
    press(GLFW_KEY_6);
    EXPECT_EQ(exposureSetting, 0.0f);
    press(GLFW_KEY_7);
    press(GLFW_KEY_8);
    EXPECT_EQ(renderLayerMask, 1);
    // Holding F8: one press, then repeats.
    press(GLFW_KEY_F8);
    for (int i = 0; i < 10; ++i) press(GLFW_KEY_F8, GLFW_REPEAT);
    EXPECT_EQ(deferredDebugView, 1);
}

TEST_F(KeySettings, F3PrintsWireframeOnThenOffAndOtherKeysDoNothing) {
    testing::internal::CaptureStdout();
    press(GLFW_KEY_F3);
    press(GLFW_KEY_F3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "wireframe mode on\nwireframe mode off\n");
    for (int key : {GLFW_KEY_F1, GLFW_KEY_F4, GLFW_KEY_F12, GLFW_KEY_9, GLFW_KEY_0, GLFW_KEY_ESCAPE, GLFW_KEY_W}) {
        press(key);
    }
    EXPECT_FALSE(frameTimeDisplay);
    EXPECT_FALSE(wireframeMode);
    EXPECT_EQ(deferredDebugView, 0);
    EXPECT_EQ(postProcessingDebugView, 0);
    EXPECT_FALSE(normalMapping);
    EXPECT_EQ(focalDistanceSetting, 0.6f);
    EXPECT_EQ(exposureSetting, 0.0f);
    EXPECT_EQ(renderLayerMask, 1);
}

TEST(FTGameManagerArguments, ChoosesDatasetAndRate) {
    struct Case {
        std::vector<std::string> args;
        int index;
        float rate;
        const char* out;  // expected standard output ("" for none)
        const char* err;
    };
    const Case cases[] = {
        {{}, 0, 500.0f, "", ""},
        {{"1024", "768", "60", "0"}, 0, 500.0f, "", ""},
        {{"1024", "768", "60", "0", "7"}, 7, 500.0f, "", ""},
        {{"1024", "768", "60", "0", "5", "250"}, 5, 250.0f, "", ""},
        {{"1024", "768", "60", "0", " 11", "50x"}, 11, 50.0f, "", ""},
        {{"1024", "768", "60", "0", "12"}, 0, 500.0f, "Dataset index 12 is outside 0 to 11; using 0\n", ""},
        {{"1024", "768", "60", "0", "-1", "50"}, 0, 50.0f, "Dataset index -1 is outside 0 to 11; using 0\n", ""},
        {{"1024", "768", "60", "0", "abc"}, 0, 500.0f,
         "Invalid argument: invalid stoi argument\nDataset index \"abc\" is not a number; using 0\n", ""},
        {{"1024", "768", "60", "0", "3", "fast"}, 3, 500.0f,
         "Invalid argument: invalid stoi argument\nSampling rate \"fast\" is not a number; using 500\n", ""},
        {{"1024", "768", "60", "0", "3", "0"}, 3, 500.0f, "Sampling rate 0 is not positive; using 500\n", ""},
        {{"1024", "768", "60", "0", "99999999999", "50"}, 0, 50.0f,
         "Dataset index \"99999999999\" is out of range; using 0\n", "Out of Range error: stoi argument out of range\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.args.size() << " arguments, last '" << (c.args.empty() ? "" : c.args.back()) << "'");
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const FTGameManager::DemoArguments result = FTGameManager::parseDemoArguments(commandLine(c.args));
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(result.datasetIndex, c.index);
        EXPECT_EQ(result.samplingRate, c.rate);
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(err, c.err);
    }
}
