#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/FrameState.h"
#include "platform/VirtualKeys.h"
#include "world/HumanController.h"

namespace {

class Keyboard : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        avatar     = &addAvatar(30, 30);
        auto human = std::make_unique<HumanController>();
        human->setAvatar(avatar);
        avatar->setController(std::move(human));
        inputCall = "input " + std::to_string(avatar->id);
    }

    // One frame as the frame loop runs it: the world reads the keys, then
    // the keys are remembered for the next frame.
    void frame() {
        world().update();
        std::copy(std::begin(keys), std::end(keys), std::begin(prevKeys));
    }

    // What the controller told the rules; fired bullets meet their shooter too.
    std::vector<std::string> inputCalls() const {
        std::vector<std::string> inputs;
        for (const std::string& call : arbiter->calls) {
            if (call.rfind("input ", 0) == 0) {
                inputs.push_back(call);
            }
        }
        return inputs;
    }

    Avatar*     avatar = nullptr;
    std::string inputCall;
};

TEST_F(Keyboard, SimultaneousPressesAreReportedOnce) {
    keys[VK_UP]    = 1;
    keys[VK_RIGHT] = 1;
    frame();
    EXPECT_EQ(avatar->up, 1);
    EXPECT_EQ(avatar->right, 1);
    EXPECT_EQ(avatar->left, 0);
    EXPECT_EQ(inputCalls(), std::vector<std::string>{inputCall});
}

TEST_F(Keyboard, AHeldKeyIsOneChangeAtThePressAndOneAtTheRelease) {
    keys[VK_SPACE] = 1;
    frame();
    EXPECT_EQ(avatar->fire, 1);
    for (int i = 0; i < 5; ++i) {
        frame();
    }
    EXPECT_EQ(inputCalls().size(), 1u) << "holding the key reports nothing more";
    keys[VK_SPACE] = 0;
    frame();
    EXPECT_EQ(avatar->fire, 0);
    EXPECT_EQ(inputCalls(), (std::vector<std::string>{inputCall, inputCall}));
}

TEST_F(Keyboard, FlagsFollowTransitionsNotLevels) {
    keys[VK_LEFT] = 1;
    frame();
    avatar->setLeft(0);  // as a respawn does while the key stays down
    frame();
    EXPECT_EQ(avatar->left, 0);
    keys[VK_LEFT] = 0;
    frame();
    keys[VK_LEFT] = 1;
    frame();
    EXPECT_EQ(avatar->left, 1);
}

TEST_F(Keyboard, AReleaseDuringTheDeathCountdownIsNotSeen) {
    keys[VK_SPACE] = 1;
    frame();
    avatar->hp           = 0;
    avatar->releaseTimer = 5.0f;
    keys[VK_SPACE]       = 0;
    frame();
    EXPECT_EQ(avatar->fire, 1);
    EXPECT_EQ(inputCalls().size(), 1u);
}

}  // namespace
