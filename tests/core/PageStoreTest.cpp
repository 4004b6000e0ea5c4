#include "posix/PosixFileAccess.h"
#include "report/PageStore.h"
#include "report/ReportProgress.h"
#include "report/VxCanvas.h"
#include "report/VxReport.h"

#include "FakePrinter.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <random>

using namespace quillon;
using namespace quillon::test;

namespace {

// Builds a store of n pages, each with a line of text, and returns its bytes.
std::vector<uint8_t> buildStore(TempDir& dir, int n)
{
    FakePrinter printer;
    PosixFileAccess files(dir.path());
    SilentProgress progress;
    TVxReport report(printer, files, progress);
    report.ReportFile = "store.vxr";
    report.OnPaintPage = [n](TVxReport& r, TVxCanvas& c, bool& stop) {
        std::string text = "page " + std::to_string(r.PageNo());
        int32_t dx[16];
        std::fill_n(dx, 16, 254);
        c.handle().extTextOutA({0, 423}, 0, nullptr, text, {dx, text.size()});
        r.PaperOrient = r.PageNo() % 2 ? vxLandscape : vxPortrait;
        stop = r.PageNo() == n;
    };
    EXPECT_TRUE(report.Run());
    return readFile(dir.file("store.vxr"));
}

struct Opened {
    StoreOpenResult result;
    std::vector<TVxPageRecord> index;
    std::unique_ptr<InputFile> file;
};

Opened open(TempDir& dir, const std::string& name = "store.vxr")
{
    PosixFileAccess files(dir.path());
    Opened o;
    o.result = openPageStore(files, name, dir.file(name), o.file, o.index);
    return o;
}

// Opens a store and reads every page; whatever the bytes, this must end without a crash.
StoreStatus openAndReadAll(TempDir& dir, const std::vector<uint8_t>& bytes)
{
    writeFile(dir.file("bad.vxr"), bytes);
    Opened o = open(dir, "bad.vxr");
    if (o.result.status != StoreStatus::Ok)
        return o.result.status;
    std::vector<uint8_t> picture;
    std::string error;
    for (const TVxPageRecord& r : o.index)
        readStoredPicture(*o.file, r, picture, error);
    return StoreStatus::Ok;
}

void putI32(std::vector<uint8_t>& b, size_t at, int32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(uint32_t(v) >> (8 * i));
}

} // namespace

TEST(PageStoreReader, OpensAStoreAndReadsEachPage)
{
    TempDir dir;
    buildStore(dir, 3);
    Opened o = open(dir);
    ASSERT_EQ(o.result.status, StoreStatus::Ok);
    ASSERT_EQ(o.index.size(), 3u);
    EXPECT_EQ(o.index[0].Orientation, 'P');
    EXPECT_EQ(o.index[1].Orientation, 'L');
    std::vector<uint8_t> picture;
    std::string error;
    for (const TVxPageRecord& r : o.index) {
        ASSERT_TRUE(readStoredPicture(*o.file, r, picture, error)) << error;
        EXPECT_EQ(int32_t(picture.size()), r.PictureSize);
        EXPECT_EQ(PagePictureSize(picture), r.PictureSize);
    }
}

TEST(PageStoreReader, ReaderRulesAndMessages)
{
    TempDir dir;
    PosixFileAccess files(dir.path());
    std::unique_ptr<InputFile> file;
    std::vector<TVxPageRecord> index;

    EXPECT_EQ(openPageStore(files, " ", dir.file(" "), file, index).message,
              "Nie określono pliku raportu.");
    StoreOpenResult missing = openPageStore(files, "x.vxr", dir.file("x.vxr"), file, index);
    EXPECT_EQ(missing.status, StoreStatus::NotFound);
    EXPECT_EQ(missing.message, "Nie znaleziono pliku raportowego " + dir.file("x.vxr"));

    writeFile(dir.file("ten.vxr"), std::vector<uint8_t>(10, 'x'));
    StoreOpenResult tiny = openPageStore(files, "ten.vxr", dir.file("ten.vxr"), file, index);
    EXPECT_EQ(tiny.status, StoreStatus::Damaged);
    EXPECT_EQ(tiny.message, "Plik raportowy jest uszkodzony");

    std::vector<uint8_t> good = buildStore(dir, 2);
    std::vector<uint8_t> oneOff = good;
    oneOff.back() = '2';
    EXPECT_EQ(openAndReadAll(dir, oneOff), StoreStatus::Damaged);

    // An empty store: nothing to show and nothing to say.
    std::vector<uint8_t> empty(4 + kPageStoreMagicSize, 0);
    std::copy_n(kPageStoreMagic, kPageStoreMagicSize, empty.begin() + 4);
    EXPECT_EQ(openAndReadAll(dir, empty), StoreStatus::Empty);

    // A folder with the store's name cannot be read.
    std::filesystem::create_directory(dir.file("dir.vxr"));
    EXPECT_EQ(openPageStore(files, "dir.vxr", dir.file("dir.vxr"), file, index).status,
              StoreStatus::CannotRead);
}

TEST(PageStoreReader, StoresThatDoNotFitTheFileAreDamaged)
{
    TempDir dir;
    std::vector<uint8_t> good = buildStore(dir, 3);
    const size_t countAt = good.size() - 19;
    const size_t index = countAt - 3 * 38;

    for (int32_t count : {-1, 4, 1000000, INT32_MAX, INT32_MIN}) {
        auto b = good;
        putI32(b, countAt, count);
        EXPECT_EQ(openAndReadAll(dir, b), StoreStatus::Damaged) << count;
    }
    struct Field {
        size_t offset;
        int32_t value;
    };
    for (Field f : {Field{34, -5}, Field{34, int32_t(good.size())}, Field{34, INT32_MAX},
                    Field{30, 0}, Field{30, -1}, Field{30, INT32_MAX}, Field{30, int32_t(good.size())}}) {
        auto b = good;
        putI32(b, index + 38 + f.offset, f.value);
        EXPECT_EQ(openAndReadAll(dir, b), StoreStatus::Damaged) << f.offset << "=" << f.value;
    }

    // A record pointing into another picture opens, but that page reads as damaged.
    auto shifted = good;
    putI32(shifted, index + 38 + 34, 8);
    writeFile(dir.file("shifted.vxr"), shifted);
    Opened o = open(dir, "shifted.vxr");
    ASSERT_EQ(o.result.status, StoreStatus::Ok);
    std::vector<uint8_t> picture;
    std::string error;
    EXPECT_FALSE(readStoredPicture(*o.file, o.index[1], picture, error));
    EXPECT_EQ(error, "Plik raportowy jest uszkodzony");
    EXPECT_TRUE(readStoredPicture(*o.file, o.index[2], picture, error));
}

TEST(PageStoreReader, CutAndFlippedStoresNeverCrash)
{
    TempDir dir;
    std::vector<uint8_t> good = buildStore(dir, 3);
    for (size_t len = 0; len < good.size(); len += (len < 64 || good.size() - len < 200) ? 1 : 37) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + long(len));
        openAndReadAll(dir, cut);
    }
    // Every byte of the index and trailer, and a sample of the pictures, flipped.
    for (size_t at = 0; at < good.size(); at += at + 200 < good.size() - 133 ? 13 : 1) {
        auto b = good;
        b[at] ^= 0xFF;
        openAndReadAll(dir, b);
    }
    std::mt19937 rng(42);
    for (int round = 0; round < 300; ++round) {
        auto b = good;
        for (int k = 0; k < 4; ++k)
            b[rng() % b.size()] = uint8_t(rng());
        openAndReadAll(dir, b);
        // Bytes cut out of the middle.
        auto c = good;
        size_t from = rng() % c.size();
        size_t n = std::min<size_t>(rng() % 64, c.size() - from);
        c.erase(c.begin() + long(from), c.begin() + long(from + n));
        openAndReadAll(dir, c);
    }
}
