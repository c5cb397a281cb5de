// UTF-8 inside, UTF-16 at every Windows call: text and paths convert both ways without loss, and text
// that is not UTF-8 is refused whole.
#include <gtest/gtest.h>

#include <string>

#include "platform/PathText.h"
#include "platform/WideText.h"

namespace qrv::platform {
namespace {

// "Größe – 音" and a character beyond the BMP (a guitar), which UTF-16 carries as a surrogate pair.
const std::string kMixed = "Gr\xC3\xB6\xC3\x9F" "e \xE2\x80\x93 \xE9\x9F\xB3 \xF0\x9F\x8E\xB8";
const std::wstring kMixedWide = L"Gr\u00F6\u00DFe \u2013 \u97F3 \U0001F3B8";

TEST(WideText, RoundTripsEveryPlane) {
  const auto wide = WideFromUtf8(kMixed);
  ASSERT_TRUE(wide);
  EXPECT_EQ(*wide, kMixedWide);
  EXPECT_EQ(wide->size(), 12u);  // 11 characters: the guitar is two UTF-16 units
  const auto back = Utf8FromWide(*wide);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, kMixed);
  EXPECT_EQ(WideFromUtf8(""), std::wstring());
  EXPECT_EQ(Utf8FromWide(L""), std::string());
  // A NUL inside is carried, not taken for the end.
  EXPECT_EQ(WideFromUtf8(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}

TEST(WideText, InvalidUtf8IsRefusedWhole) {
  // A lone continuation byte, a cut character, an overlong form, an encoded surrogate, a five-byte form,
  // a byte no UTF-8 has, a character cut off at the end.
  for (const std::string& bad :
       {std::string("\x80"), std::string("abc\xC3"), std::string("\xC0\xAF"), std::string("\xE9\x9F"),
        std::string("\xED\xA0\x80"), std::string("\xF8\x88\x80\x80\x80"), std::string("ok \xFF ok"),
        "G" + kMixed.substr(0, 3)}) {
    EXPECT_FALSE(WideFromUtf8(bad)) << bad;
  }
  // A lone surrogate (possible in a Windows file name) has no UTF-8 form.
  EXPECT_FALSE(Utf8FromWide(std::wstring(1, static_cast<wchar_t>(0xD800))));
  EXPECT_FALSE(Utf8FromWide(L"a" + std::wstring(1, static_cast<wchar_t>(0xDC00)) + L"b"));
}

TEST(PathText, PathsAreUtf16NotTheAnsiCodePage) {
  const std::filesystem::path p = PathFromUtf8("C:\\users\\" + kMixed + "\\Documents");
  EXPECT_EQ(p.native(), L"C:\\users\\" + kMixedWide + L"\\Documents");
  EXPECT_EQ(Utf8FromPath(p), "C:\\users\\" + kMixed + "\\Documents");
  EXPECT_EQ(Utf8FromPath(p.parent_path().filename()), kMixed);
  // Text that is not UTF-8 names no file at all, rather than another one.
  EXPECT_TRUE(PathFromUtf8("C:\\a\xFF.qrv").empty());
  EXPECT_EQ(Utf8FromPath(std::filesystem::path(std::wstring(1, static_cast<wchar_t>(0xD800)))), "");
}

}  // namespace
}  // namespace qrv::platform
