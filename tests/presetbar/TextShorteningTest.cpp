// The table-driven shortening of names shared by the name field and the browser's lists.
#include <gtest/gtest.h>

#include <string>

#include "gui/presetbar/TextShortening.h"
#include "platform/Utf8.h"

namespace qrv::presetbar {
namespace {

TEST(TextShortening, TheTableGivesEachCharacterItsWidth) {
  EXPECT_EQ(ShortenCharacterWidth("i"), 3);
  EXPECT_EQ(ShortenCharacterWidth("."), 4);
  EXPECT_EQ(ShortenCharacterWidth(" "), 4);
  EXPECT_EQ(ShortenCharacterWidth("t"), 5);
  EXPECT_EQ(ShortenCharacterWidth("*"), 6);
  EXPECT_EQ(ShortenCharacterWidth("z"), 8);
  EXPECT_EQ(ShortenCharacterWidth("Z"), 9);
  EXPECT_EQ(ShortenCharacterWidth("a"), 9);
  EXPECT_EQ(ShortenCharacterWidth("R"), 10);
  EXPECT_EQ(ShortenCharacterWidth("m"), 11);
  EXPECT_EQ(ShortenCharacterWidth("M"), 12);
  EXPECT_EQ(ShortenCharacterWidth("W"), 14);
  EXPECT_EQ(ShortenCharacterWidth("@"), 15);
  EXPECT_EQ(ShortenCharacterWidth("k"), 7);
  // A character outside the table, however many bytes it has, is one character of width 7.
  EXPECT_EQ(ShortenCharacterWidth("\xC3\xA9"), 7);
  EXPECT_EQ(ShortenTextWidth("\xE2\x82\xAC\xE2\x82\xAC"), 14);
  EXPECT_EQ(ShortenTextWidth("Mix"), 12 + 3 + 7);
}

TEST(TextShortening, ATextThatFitsStays) {
  EXPECT_EQ(ShortenText("Vox", 42), "Vox");  // 14 points per character is room enough
  EXPECT_EQ(ShortenText("iiiiiiiiiiiiiiiiiiii", 70), "iiiiiiiiiiiiiiiiiiii");
  EXPECT_EQ(ShortenText("", 0), "");
}

TEST(TextShortening, ALongAsciiNameKeepsItsHeadAndItsLastNineCharacters) {
  const std::string name(40, 'a');
  // 200 points: the tail takes 81; the head is cut where its sum reaches 200 - 81 + 4 = 123,
  // at the 14th "a" (126), and its last three kept characters become "...".
  std::string shown = ShortenText(name, 200);
  EXPECT_EQ(shown, std::string(10, 'a') + "..." + std::string(9, 'a'));
  EXPECT_LE(ShortenTextWidth(shown), 200);
  // Only the first 63 characters count.
  std::string longer = std::string(63, 'b') + "XYZ";
  std::string cut = ShortenText(longer, 100);
  EXPECT_EQ(cut.substr(cut.size() - 9), std::string(9, 'b'));
}

TEST(TextShortening, MultiByteNamesAreCutBetweenCharacters) {
  std::string name;
  for (int i = 0; i < 30; ++i) name += "\xC3\xB8";  // o with stroke: two bytes, width 7
  // 100 points: tail 9 x 7 = 63 leaves 37; the head sum reaches 41 at the 6th character, so five
  // stay of which the last three become "...".
  std::string shown = ShortenText(name, 100);
  std::string expected = name.substr(0, 2 * 2) + "..." + name.substr(name.size() - 9 * 2);
  EXPECT_EQ(shown, expected);
  // Every piece is whole characters: no continuation byte starts a piece or ends the text.
  EXPECT_EQ(utf8::CountChars(shown), 2u + 3u + 9u);
  for (std::size_t i = 0; i < shown.size(); i = utf8::NextChar(shown, i))
    EXPECT_FALSE(utf8::IsContinuation(static_cast<unsigned char>(shown[i])));
}

}  // namespace
}  // namespace qrv::presetbar
