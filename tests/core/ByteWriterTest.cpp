#include "gdi/ByteIO.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace quillon;

// The writer keeps the vector's storage at hand: every growth must hand it the new storage, or
// the values after a growth land in freed memory and the vector holds zeros.
TEST(ByteWriter, ValuesWrittenAcrossManyGrowthsAllLandInTheVector)
{
    std::vector<uint8_t> bytes;
    ByteWriter w(bytes);
    for (uint32_t i = 0; i < 5000; ++i) {
        w.u32(i);
        w.u8(uint8_t(i));
        w.zeros(i % 3);
    }
    ByteReader in(bytes);
    for (uint32_t i = 0; i < 5000; ++i) {
        ASSERT_EQ(in.u32(), i);
        ASSERT_EQ(in.u8(), uint8_t(i));
        in.skip(i % 3);
    }
    EXPECT_TRUE(in.ok());
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(ByteWriter, WritingOverTheMiddleGoesOnPastTheEnd)
{
    std::vector<uint8_t> bytes(6, 0xEE);
    bytes.shrink_to_fit();
    ByteWriter w(bytes, 4);
    const int32_t values[3] = {-1, 2, 3};
    w.i32s(values);
    w.u16(0xABCD);
    ASSERT_EQ(bytes.size(), 18u);
    EXPECT_EQ(bytes[3], 0xEE);
    ByteReader in(bytes);
    in.seek(4);
    EXPECT_EQ(in.i32(), -1);
    EXPECT_EQ(in.i32(), 2);
    EXPECT_EQ(in.i32(), 3);
    EXPECT_EQ(in.u16(), 0xABCD);
    EXPECT_TRUE(in.ok());
}
