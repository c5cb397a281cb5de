// The ".reg" text format (which the Linux store keeps) and the memo over a registry value: no file and
// no system part, so the same on every system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Clipboard.h"
#include "platform/Registry.h"

namespace qrv::platform {
namespace {

constexpr std::string_view kKey = "SOFTWARE\\Quarry-tone\\QRVWG1";

std::vector<uint8_t> Bytes(std::size_t n, uint8_t seed) {
  std::vector<uint8_t> b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
  return b;
}

TEST(RegFile, RoundTripsEveryTypeAndAwkwardNames) {
  RegistryDocument doc;
  doc["SOFTWARE\\Quarry-tone\\QRVWGME1"]["QRVWG1: 59"] = RegistryValue::Binary({0xcd, 0xcc, 0xcc, 0x3d});
  doc[std::string(kKey)]["Favorite_0"] = RegistryValue::Binary(Bytes(433, 3));
  doc[std::string(kKey)]["Empty"] = RegistryValue::Binary({});
  doc[std::string(kKey)]["ManualPath"] = RegistryValue::String("C:\\Manuals\\\"warm\" glow.pdf\n\ttab");
  doc[std::string(kKey)]["Count \"quoted\" \\ name"] = RegistryValue::Number(0xdeadbeef);

  const std::string text = FormatRegFile(doc);
  EXPECT_TRUE(text.starts_with("Windows Registry Editor Version 5.00\n\n"));
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\SOFTWARE\\Quarry-tone\\QRVWGME1]\n\"QRVWG1: 59\"=hex:cd,cc,cc,3d\n"),
            std::string::npos);
  EXPECT_NE(text.find("=dword:deadbeef"), std::string::npos);

  const auto parsed = ParseRegFile(text);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(*parsed, doc);
}

TEST(RegFile, RejectsDamagedText) {
  RegistryDocument doc;
  doc[std::string(kKey)]["Favorite_1"] = RegistryValue::Binary(Bytes(200, 1));
  doc[std::string(kKey)]["MemoA"] = RegistryValue::Binary(Bytes(60, 9));
  const std::string text = FormatRegFile(doc);
  ASSERT_TRUE(ParseRegFile(text));

  // Every cut of the file is recognised, wherever it falls.
  for (std::size_t n = 0; n < text.size(); ++n)
    EXPECT_FALSE(ParseRegFile(std::string_view(text).substr(0, n))) << "cut at " << n;

  EXPECT_FALSE(ParseRegFile("garbage\n; end\n"));
  EXPECT_FALSE(ParseRegFile("Windows Registry Editor Version 5.00\n\n\"orphan\"=dword:00000001\n; end\n"));
  EXPECT_FALSE(ParseRegFile("Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\X]\n; end\n"));
  EXPECT_FALSE(ParseRegFile("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\"a\"=hex:1g\n; end\n"));
  EXPECT_FALSE(ParseRegFile("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\"a\"=dword:1\n; end\n"));
  EXPECT_FALSE(ParseRegFile("Windows Registry Editor Version 5.00\n; end\n[HKEY_CURRENT_USER\\X]\n"));
}

TEST(Clipboard, RegistryClipboardUsesOneBinaryValue) {
  MemoryRegistry reg;
  RegistryClipboard clip(reg, std::string(kKey), "MemoA");
  EXPECT_FALSE(clip.Load());
  ASSERT_TRUE(clip.Store(Bytes(433, 7)));
  EXPECT_EQ(reg.Read(kKey, "MemoA")->bytes, Bytes(433, 7));
  EXPECT_EQ(*clip.Load(), Bytes(433, 7));
  reg.Write(kKey, "MemoA", RegistryValue::String("text"));
  EXPECT_FALSE(clip.Load());

  MemoryClipboard memory;
  EXPECT_FALSE(memory.Load());
  memory.Store(Bytes(3, 1));
  EXPECT_EQ(*memory.Load(), Bytes(3, 1));
}

}  // namespace
}  // namespace qrv::platform
