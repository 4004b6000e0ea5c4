// A file written through PosixFileAccess holds every byte in the order written, whatever the sizes
// of the writes: small ones gathered in a buffer, page pictures sent past it up to a block's end.

#include "posix/PosixFileAccess.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

using namespace quillon;
using namespace quillon::test;

TEST(PosixOutputFile, WritesOfEverySizeLandInOrderAndAFlushHandsOverAllOfThem)
{
    TempDir dir;
    PosixFileAccess files(dir.path());
    std::string error;
    const std::string path = dir.file("out.bin");
    std::unique_ptr<OutputFile> out = files.createExclusive(path, error);
    ASSERT_TRUE(out) << error;

    std::mt19937 random(18);
    std::vector<uint8_t> expected;
    // Header-sized writes, pictures that end inside a block, one that ends on a block's end, and
    // one larger than the buffer.
    const size_t sizes[] = {12, 76001, 3, 16384, 18192 /* ends at 27 blocks */, 9, 300007, 20000, 1, 65536, 7};
    for (size_t size : sizes) {
        std::vector<uint8_t> bytes(size);
        for (uint8_t& b : bytes)
            b = uint8_t(random());
        ASSERT_TRUE(out->write(bytes.data(), bytes.size()));
        expected.insert(expected.end(), bytes.begin(), bytes.end());
        ASSERT_EQ(out->position(), int64_t(expected.size()));
        if (size == 20000) {
            ASSERT_TRUE(out->flush());
            EXPECT_EQ(readFile(path), expected) << "flushed after " << expected.size() << " bytes";
        }
    }
    ASSERT_TRUE(out->close());
    EXPECT_EQ(readFile(path), expected);
}
