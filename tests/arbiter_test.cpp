#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

TEST(Collide, OnlyAvatarsWithPowerupsOrBulletsReachTheRules) {
    Avatar            avatar;
    Powerup           powerup;
    Bullet            bullet;
    const std::string a = std::to_string(avatar.id);
    const std::string p = std::to_string(powerup.id);
    const std::string b = std::to_string(bullet.id);

    struct Case {
        CObject&                 first;
        CObject&                 second;
        std::vector<std::string> calls;
    };
    Avatar     otherAvatar;
    Powerup    otherPowerup;
    Bullet     otherBullet;
    const Case cases[] = {
        {powerup, avatar, {"pick " + a + " " + p}},
        {avatar, powerup, {"pick " + a + " " + p}},
        {bullet, avatar, {"hit " + a + " " + b}},
        {avatar, bullet, {"hit " + a + " " + b}},
        {avatar, otherAvatar, {}},
        {powerup, otherPowerup, {}},
        {bullet, otherBullet, {}},
        {bullet, powerup, {}},
        {powerup, bullet, {}},
    };
    for (const Case& c : cases) {
        RecordingArbiter arbiter;
        arbiter.collide(c.first, c.second);
        EXPECT_EQ(arbiter.calls, c.calls) << typeid(c.first).name() << " with " << typeid(c.second).name();
    }
}

class CountedArbiter : public IArbiter {
public:
    explicit CountedArbiter(int& destroyed) : destroyed(destroyed) {}
    ~CountedArbiter() override { ++destroyed; }

private:
    int& destroyed;
};

TEST(ArbiterPointer, InstallingReplacesAndDestroyingEmpties) {
    destroyArbiter();
    EXPECT_EQ(getArbiter(), nullptr);
    destroyArbiter();
    EXPECT_EQ(getArbiter(), nullptr);

    int destroyed = 0;
    installArbiter(std::make_unique<CountedArbiter>(destroyed));
    IArbiter* const first = getArbiter();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(&currentArbiter(), first);

    installArbiter(std::make_unique<CountedArbiter>(destroyed));
    EXPECT_EQ(destroyed, 1) << "a replaced arbiter is not leaked";
    EXPECT_NE(getArbiter(), nullptr);

    destroyArbiter();
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(getArbiter(), nullptr);
}

TEST(ArbiterPointer, WithoutAGameTheRulesDoNothing) {
    destroyArbiter();
    Avatar avatar;
    Bullet bullet;
    currentArbiter().collide(avatar, bullet);
    currentArbiter().respawnAvatar(avatar);
    EXPECT_EQ(avatar.hp, 100);
    EXPECT_FALSE(bullet.removed);
}

}  // namespace
