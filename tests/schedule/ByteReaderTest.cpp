#include "ByteReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ByteReader, ReadsLittleEndianAndFailsWithoutConsuming) {
    const BYTE data[] = {0x01, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0x02};
    CByteReader r(data, sizeof data);
    BYTE b;
    WORD w;
    std::int32_t i;
    bool flag;
    ASSERT_TRUE(r.ReadU8(b));
    EXPECT_EQ(b, 1);
    ASSERT_TRUE(r.ReadU16(w));
    EXPECT_EQ(w, 0x1234);
    ASSERT_TRUE(r.ReadI32(i));
    EXPECT_EQ(i, -2);
    EXPECT_EQ(r.Consumed(), 7u);

    DWORD d = 7;
    EXPECT_FALSE(r.ReadU32(d)); // one byte left
    EXPECT_EQ(d, 7u);
    EXPECT_EQ(r.Remaining(), 1u);
    ASSERT_TRUE(r.ReadBool(flag));
    EXPECT_TRUE(flag); // any byte but 0
    EXPECT_FALSE(r.ReadU8(b));
    EXPECT_FALSE(r.Skip(1));
    EXPECT_TRUE(r.Skip(0));

    CByteReader none(nullptr, 100); // no bytes means none remain, whatever the count
    EXPECT_EQ(none.Remaining(), 0u);
    EXPECT_FALSE(none.ReadU8(b));
}

TEST(ByteReader, TextForms) {
    std::vector<BYTE> buf(64);
    BYTE* p = buf.data();
    PutText(p, "abc");
    EXPECT_EQ(p - buf.data(), static_cast<long>(TextStoreSize("abc")));
    const std::vector<BYTE> want = {4, 0, 0, 0, 'a', 'b', 'c', 0};
    EXPECT_EQ(std::vector<BYTE>(buf.data(), p), want);

    std::string text;
    CByteReader r(buf.data(), 8);
    ASSERT_TRUE(r.ReadText(text));
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(r.Remaining(), 0u);

    // Without a zero the text is all N bytes; with an early zero it stops there.
    const BYTE noZero[] = {3, 0, 0, 0, 'x', 'y', 'z'};
    CByteReader r2(noZero, sizeof noZero);
    ASSERT_TRUE(r2.ReadText(text));
    EXPECT_EQ(text, "xyz");
    const BYTE early[] = {4, 0, 0, 0, 'x', 0, 'z', 0, 9};
    CByteReader r3(early, sizeof early);
    ASSERT_TRUE(r3.ReadText(text));
    EXPECT_EQ(text, "x");
    EXPECT_EQ(r3.Consumed(), 8u);
    const BYTE empty[] = {0, 0, 0, 0};
    CByteReader r4(empty, sizeof empty);
    ASSERT_TRUE(r4.ReadText(text));
    EXPECT_EQ(text, "");
}

TEST(ByteReader, TextLongerThanTheDataIsRefused) {
    const BYTE huge[] = {0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b'};
    CByteReader r(huge, sizeof huge);
    std::string text = "kept";
    EXPECT_FALSE(r.ReadText(text));
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(r.Consumed(), 0u);
    const BYTE oneShort[] = {3, 0, 0, 0, 'a', 'b'};
    CByteReader r2(oneShort, sizeof oneShort);
    EXPECT_FALSE(r2.ReadText(text));
    CByteReader r3(oneShort, 3); // not even the length
    EXPECT_FALSE(r3.ReadText(text));
}

TEST(ByteReader, SystemTimeRoundTrip) {
    const SYSTEMTIME st{1999, 3, 3, 2, 14, 0, 0, 0};
    BYTE buf[16];
    BYTE* p = buf;
    PutSystemTime(p, st);
    EXPECT_EQ(buf[0], 0xCF); // 1999 = 0x07CF
    EXPECT_EQ(buf[1], 0x07);
    EXPECT_EQ(buf[6], 2); // wDay after wDayOfWeek
    SYSTEMTIME back{};
    CByteReader r(buf, sizeof buf);
    ASSERT_TRUE(r.ReadSystemTime(back));
    EXPECT_EQ(back.wYear, 1999);
    EXPECT_EQ(back.wDayOfWeek, 3);
    EXPECT_EQ(back.wDay, 2);
    CByteReader shortR(buf, 15);
    EXPECT_FALSE(shortR.ReadSystemTime(back));
    EXPECT_EQ(shortR.Consumed(), 0u);
}
