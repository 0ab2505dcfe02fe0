#include <gtest/gtest.h>

#include <cstdio>

#include "platform/GameAssert.h"
#include "platform/Platform.h"

namespace {

// Prints every box with its decoration, so the dying process can show it.
class DescribingPlatform : public IPlatform {
public:
    MessageAnswer showMessage(const PlatformMessage& message) override {
        std::fprintf(stderr, "[%s|icon %d|buttons %d|%s]\n", message.title, static_cast<int>(message.icon),
                     static_cast<int>(message.buttons), message.text);
        return MessageAnswer::ok;
    }
};

TEST(AssertionReport, NamesConditionSourceAndLineInAPlainProgramErrorBox) {
    EXPECT_EXIT(
        {
            DescribingPlatform describing;
            setPlatform(&describing);
            GAME_ASSERT(nullptr, SITE_TEXT_FORMAT);
        },
        ::testing::ExitedWithCode(1),
        "\\[Program error\\|icon 0\\|buttons 0\\|Assertion failed: nullptr \\(Mainfile:643\\)\\]");
}

TEST(AssertionReport, TheConsoleShowsTheBoxAsOneLine) {
    const char* const format = nullptr;
    EXPECT_EXIT(GAME_ASSERT(format, SITE_TEXT_FORMAT), ::testing::ExitedWithCode(1),
                            "^Program error: Assertion failed: format \\(Mainfile:643\\)\n$");
}

}  // namespace
