#include "platform/Encoding.h"

#include <gtest/gtest.h>

namespace zov {
namespace {

TEST(Utf8, RoundTripsEveryPlane) {
    std::wstring text = L"a\u00e9\u4ed8\u7b8b\U0001F600/\\";
    std::string bytes = ToUtf8(text);
    EXPECT_EQ(bytes, "a\xC3\xA9\xE4\xBB\x98\xE7\xAE\x8B\xF0\x9F\x98\x80/\\");
    EXPECT_EQ(FromUtf8(bytes), text);
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters) {
    // A lone continuation byte, a cut-off sequence, and an overlong '/'
    // (which must not decode to a separator).
    EXPECT_EQ(FromUtf8("a\x80" "b"), L"a\uFFFDb");
    EXPECT_EQ(FromUtf8("x\xE4\xBB"), L"x\uFFFD\uFFFD");
    EXPECT_EQ(FromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");
    EXPECT_EQ(FromUtf8("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");  // a surrogate
    EXPECT_EQ(ToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

TEST(Cp932, UsesTheWindowsMappingForPathsAndJapanese) {
    // 0x5C is the backslash in code page 932, not the yen sign of Shift_JIS;
    // paths depend on it.
    EXPECT_EQ(ToCp932(L"C:\\a~b"), "C:\\a~b");
    EXPECT_EQ(ToCp932(L"\u4ed8\u7b8b\uff5e"), "\x95\x74\xE2\xB3\x81\x60");
    EXPECT_EQ(FromCp932("\x95\x74\xE2\xB3\x81\x60"), L"\u4ed8\u7b8b\uff5e");
    EXPECT_EQ(FromCp932("\x87\x40"), L"\u2460");  // NEC special characters
}

TEST(Cp932, WhatCannotBeConvertedIsReplacedNotDropped) {
    EXPECT_EQ(ToCp932(L"a\U0001F600b\u00e9c"), "a?b?c");
    EXPECT_EQ(FromCp932("a\xA0" "b"), L"a\uFFFDb");
    EXPECT_EQ(FromCp932("ab\x95"), L"ab\uFFFD");  // lead byte cut off at the end
    EXPECT_EQ(FromCp932(""), L"");
}

}  // namespace
}  // namespace zov
