// Text conversion: well-formed UTF-8, bytes that convert on their own, the
// buffer-size protocol, and ToWide's fixed and heap buffers.
#include <gtest/gtest.h>

#include <string>

#include "core/ToWide.h"
#include "platform/platform.h"

namespace {

std::u16string Convert(const std::string& bytes) {
    int required = platform::MultiByteToWide(bytes.data(), static_cast<int>(bytes.size()), nullptr, 0, nullptr);
    std::u16string out(required, u'\0');
    bool insufficient = false;
    int written = platform::MultiByteToWide(bytes.data(), static_cast<int>(bytes.size()), out.data(), required,
                                            &insufficient);
    EXPECT_EQ(written, required);
    EXPECT_FALSE(insufficient);
    return out;
}

}  // namespace

TEST(MultiByteToWide, WellFormedUtf8) {
    EXPECT_EQ(Convert("Tessel"), u"Tessel");
    EXPECT_EQ(Convert("\xC3\xA9\xE2\x82\xAC"), u"\u00E9\u20AC");
    EXPECT_EQ(Convert("\xF0\x9F\x8E\xB5"), std::u16string({0xD83C, 0xDFB5}));
    EXPECT_EQ(Convert(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(MultiByteToWide, InvalidBytesStandAloneAsLatin1) {
    // Lone lead byte, stray continuation, overlong '/', encoded surrogate,
    // beyond U+10FFFF, truncated sequence at the end.
    EXPECT_EQ(Convert("\xE9t\xE9"), u"\u00E9t\u00E9");
    EXPECT_EQ(Convert("\x80"), u"\u0080");
    EXPECT_EQ(Convert("\xC0\xAF"), u"\u00C0\u00AF");
    EXPECT_EQ(Convert("\xED\xA0\x80"), u"\u00ED\u00A0\u0080");
    EXPECT_EQ(Convert("\xF4\x90\x80\x80"), u"\u00F4\u0090\u0080\u0080");
    EXPECT_EQ(Convert("ok\xE2\x82"), u"ok\u00E2\u0082");
    std::string every;
    for (int b = 1; b < 256; ++b) every += static_cast<char>(b);
    EXPECT_GE(Convert(every).size(), 128u);  // every byte yields at least one unit
}

TEST(MultiByteToWide, ReportsATooSmallBuffer) {
    char16_t out[2];
    bool insufficient = false;
    EXPECT_EQ(platform::MultiByteToWide("abc", 3, out, 2, &insufficient), 0);
    EXPECT_TRUE(insufficient);
    EXPECT_EQ(platform::MultiByteToWide(nullptr, 3, out, 2, &insufficient), 0);
    EXPECT_EQ(platform::MultiByteToWide("abc", -1, out, 2, &insufficient), 0);
}

TEST(ToWide, ShortLongAndNullTexts) {
    EXPECT_EQ(ToWide(nullptr).c_str(), nullptr);
    EXPECT_EQ(std::u16string(ToWide("")), u"");
    EXPECT_EQ(std::u16string(ToWide("60")), u"60");
    std::string exactly127(127, 'x');  // 128 units with the NUL: still the fixed buffer
    EXPECT_EQ(std::u16string(ToWide(exactly127.c_str())), std::u16string(127, u'x'));
    std::string longer(5000, 'y');
    EXPECT_EQ(std::u16string(ToWide(longer.c_str())), std::u16string(5000, u'y'));
    EXPECT_EQ(std::u16string(ToWide("caf\xC3\xA9 \xFF")), u"caf\u00E9 \u00FF");
}
