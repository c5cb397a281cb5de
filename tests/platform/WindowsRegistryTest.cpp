// The registry store on Windows against Windows' own registry tool: what the store writes, reg.exe reads
// with the same names, types and data, and what reg.exe writes, the store reads. Each test works in a
// scratch key of its own process, removed afterwards.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "platform/Registry.h"
#include "tests/platform/WindowsTestSupport.h"

namespace qrv::platform {
namespace {

class WindowsRegistryTest : public testing::Test {
 protected:
  WindowsRegistryTest()
      : key("SOFTWARE\\Quarry-tone-test\\" + std::to_string(::GetCurrentProcessId()) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name()) {}
  ~WindowsRegistryTest() override {
    const std::wstring wide(key.begin(), key.end());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, wide.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, wide.c_str());
  }
  // Sets a value through the registry API, bypassing the store.
  void SetRaw(const std::wstring& name, DWORD type, const void* data, DWORD size) {
    const std::wstring wide(key.begin(), key.end());
    HKEY k = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, wide.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegSetValueExW(k, name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    ::RegCloseKey(k);
  }

  std::string key;
  WindowsRegistry store;
};

TEST_F(WindowsRegistryTest, ValuesHaveTheirRegistryTypesAsRegReadsThem) {
  ASSERT_TRUE(store.Write(key + "\\QRVWGME1", "QRVWG1: 59", RegistryValue::Binary({0x00, 0x00, 0x80, 0x3e})));
  ASSERT_TRUE(store.Write(key, "Count", RegistryValue::Number(0xdeadbeef)));
  ASSERT_TRUE(store.Write(key, "ManualPath", RegistryValue::String("C:\\Manuals\\warmGlow manual.pdf")));
  ASSERT_TRUE(store.Write(key, "Empty", RegistryValue::Binary({})));

  const auto number = test::RegQuery(key + "\\QRVWGME1", "QRVWG1: 59");
  ASSERT_TRUE(number);
  EXPECT_EQ(number->type, "REG_BINARY");
  EXPECT_EQ(number->data, "0000803E");
  const auto dword = test::RegQuery(key, "Count");
  ASSERT_TRUE(dword);
  EXPECT_EQ(dword->type, "REG_DWORD");
  EXPECT_EQ(dword->data, "0xdeadbeef");
  const auto text = test::RegQuery(key, "ManualPath");
  ASSERT_TRUE(text);
  EXPECT_EQ(text->type, "REG_SZ");
  EXPECT_EQ(text->data, "C:\\Manuals\\warmGlow manual.pdf");
  const auto empty = test::RegQuery(key, "Empty");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->type, "REG_BINARY");
  // The value sits in the sub-key, not beside it.
  EXPECT_FALSE(test::RegQuery(key, "QRVWG1: 59"));
}

TEST_F(WindowsRegistryTest, ReadsWhatRegWrote) {
  ASSERT_TRUE(test::RegAdd(key, "Favorite_0", "REG_BINARY", "0102ff7f"));
  ASSERT_TRUE(test::RegAdd(key, "Number", "REG_DWORD", "0x12345678"));
  ASSERT_TRUE(test::RegAdd(key, "ManualPath", "REG_SZ", "C:\\Docs\\manual.pdf"));
  EXPECT_EQ(store.Read(key, "Favorite_0"), RegistryValue::Binary({0x01, 0x02, 0xff, 0x7f}));
  EXPECT_EQ(store.Read(key, "Number"), RegistryValue::Number(0x12345678));
  EXPECT_EQ(store.Read(key, "ManualPath"), RegistryValue::String("C:\\Docs\\manual.pdf"));
  EXPECT_FALSE(store.Read(key, "Missing"));
  EXPECT_FALSE(store.Read(key + "\\NoSuchKey", "Favorite_0"));
}

TEST_F(WindowsRegistryTest, OtherTypesAndImpossibleSizesReadAsNotSet) {
  const uint8_t three[3] = {1, 2, 3};
  SetRaw(L"ShortDword", REG_DWORD, three, 3);
  SetRaw(L"OddString", REG_SZ, three, 3);
  const wchar_t expand[] = L"%TEMP%\\x";
  SetRaw(L"Expand", REG_EXPAND_SZ, expand, sizeof expand);
  const wchar_t multi[] = L"a\0b\0";
  SetRaw(L"Multi", REG_MULTI_SZ, multi, sizeof multi);
  const uint64_t q = 7;
  SetRaw(L"Qword", REG_QWORD, &q, sizeof q);
  const wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD800), L'\0'};
  SetRaw(L"LoneSurrogate", REG_SZ, lone, sizeof lone);
  for (const char* name : {"ShortDword", "OddString", "Expand", "Multi", "Qword", "LoneSurrogate"})
    EXPECT_FALSE(store.Read(key, name)) << name;
  // A string without its terminator is read to its end.
  const wchar_t bare[] = {L'o', L'k'};
  SetRaw(L"Bare", REG_SZ, bare, sizeof bare);
  EXPECT_EQ(store.Read(key, "Bare"), RegistryValue::String("ok"));
}

TEST_F(WindowsRegistryTest, NonAsciiNamesAndTextAreUtf16InTheRegistry) {
  const std::string name = "Gr\xC3\xB6\xC3\x9F" "e \xE2\x80\x93 \xE9\x9F\xB3";
  const std::string text = "C:\\\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9\\\xF0\x9F\x8E\xB8.pdf";
  ASSERT_TRUE(store.Write(key, name, RegistryValue::String(text)));
  EXPECT_EQ(store.Read(key, name), RegistryValue::String(text));
  // What Windows holds is the UTF-16 text, under the UTF-16 name.
  const std::wstring wide(key.begin(), key.end());
  wchar_t got[64] = {};
  DWORD size = sizeof got;
  DWORD type = 0;
  ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, wide.c_str(), L"Gr\u00F6\u00DFe \u2013 \u97F3", RRF_RT_ANY, &type, got,
                           &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::wstring(got), L"C:\\\u00DCn\u00EFc\u00F6d\u00E9\\\U0001F3B8.pdf");
}

TEST_F(WindowsRegistryTest, RemoveDeletesOneValueAndInvalidTextStoresNothing) {
  ASSERT_TRUE(store.Write(key, "MemoA", RegistryValue::Binary({1, 2, 3})));
  ASSERT_TRUE(store.Write(key, "Favorite_1", RegistryValue::Binary({4})));
  EXPECT_TRUE(store.Remove(key, "MemoA"));
  EXPECT_FALSE(test::RegQuery(key, "MemoA"));
  EXPECT_TRUE(test::RegQuery(key, "Favorite_1"));
  // Nothing to remove is no failure to report.
  EXPECT_FALSE(store.Remove(key, "MemoA"));
  EXPECT_EQ(store.LastFailure(), "");
  EXPECT_FALSE(store.Remove(key + "\\NoSuchKey", "MemoA"));

  EXPECT_FALSE(store.Write(key, "bad\xFF", RegistryValue::Binary({1})));
  EXPECT_FALSE(store.Write(key, "Text", RegistryValue::String("bad\xC3")));
  EXPECT_NE(store.LastFailure(), "");
  EXPECT_FALSE(store.Read(key, "Text"));
}

}  // namespace
}  // namespace qrv::platform
