#include <gtest/gtest.h>

#include "rules/PlayerName.h"

namespace {

TEST(PlayerNames, HostileBytesAreCleanedAway) {
    EXPECT_EQ(cleanPlayerName("Ann"), "Ann");
    EXPECT_EQ(cleanPlayerName("  Ann \t  Lee  "), "Ann Lee");
    EXPECT_EQ(cleanPlayerName("A\x1b[31mnn\x7f"), "A[31mnn") << "escape sequences lose their escape";
    EXPECT_EQ(cleanPlayerName("Zo\xc3\xab"), "Zo\xc3\xab") << "UTF-8 stays";
    EXPECT_EQ(cleanPlayerName("Bad\xc3(\xff\xfe"), "Bad(") << "invalid UTF-8 goes";
    EXPECT_EQ(cleanPlayerName("\xc0\xafslash"), "slash") << "overlong forms go";
    EXPECT_EQ(cleanPlayerName("\xed\xa0\x80x"), "x") << "surrogates go";
    EXPECT_EQ(cleanPlayerName("\xc2\x85next"), "next") << "C1 controls go";
    EXPECT_EQ(cleanPlayerName(std::string("nul\0byte", 8)), "nulbyte");
    EXPECT_EQ(cleanPlayerName(""), "Player");
    EXPECT_EQ(cleanPlayerName("\n\r\t "), "Player");
    EXPECT_EQ(cleanPlayerName("abcdefghijklmnopqrstuvwxyz"), "abcdefghijklmno");
    const std::string snowman = "\xe2\x98\x83";
    std::string       sixteen;
    std::string       fifteen;
    for (int i = 0; i < 16; ++i) {
        sixteen += snowman;
        fifteen += i < 15 ? snowman : "";
    }
    EXPECT_EQ(cleanPlayerName(sixteen), fifteen) << "fifteen characters, not fifteen bytes";
    const std::string cleaned = cleanPlayerName(std::string(1000, '\xff') + "ok");
    EXPECT_EQ(cleaned, "ok");
    // What is drawn as nothing, or turns a line or a log about.
    EXPECT_EQ(cleanPlayerName("Ann\u200B"), "Ann") << "a zero-width space";
    EXPECT_EQ(cleanPlayerName("\u202Elive\u2066"), "live") << "bidirectional controls";
    EXPECT_EQ(cleanPlayerName("Ann\u2028Bob\u2029"), "AnnBob") << "line and paragraph separators";
    EXPECT_EQ(cleanPlayerName("Ann\u00A0\u30002"), "Ann 2") << "every space is one space";
}

TEST(PlayerNames, TheHostNumbersNamesAlreadyTaken) {
    EXPECT_EQ(uniquePlayerName("Ann", {"Bob"}), "Ann");
    EXPECT_EQ(uniquePlayerName("Ann", {"Ann"}), "Ann 2");
    EXPECT_EQ(uniquePlayerName("Ann", {"Ann", "Ann 2"}), "Ann 3");
    EXPECT_EQ(uniquePlayerName("abcdefghijklmno", {"abcdefghijklmno"}), "abcdefghijklm 2") << "still fifteen";
    EXPECT_EQ(uniquePlayerName("abcdefghijkl mn", {"abcdefghijkl mn"}), "abcdefghijkl 2")
        << "no space before the number";
    EXPECT_EQ(cleanPlayerName(uniquePlayerName("Zo\xc3\xab", {"Zo\xc3\xab"})), "Zo\xc3\xab 2");
    // Names that look alike are one name.
    EXPECT_EQ(uniquePlayerName("\uFF21nn", {"Ann"}), "\uFF21nn 2") << "a full-width letter";
    EXPECT_EQ(uniquePlayerName("Zoe\u0308", {"Zo\u00EB"}), "Zoe\u0308 2") << "a combining mark";
    EXPECT_EQ(uniquePlayerName("ann", {"Ann"}), "ann") << "case is kept";
}

}  // namespace
