#include "intake/DocumentKind.h"
#include "report/PageRecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace quillon;

namespace {

DocumentKind kindOf(const std::string& bytes)
{
    return documentKindOf(int64_t(bytes.size()), [&bytes](int64_t offset, char* buffer, size_t size) {
        if (offset >= int64_t(bytes.size()))
            return size_t(0);
        const size_t n = std::min(size, bytes.size() - size_t(offset));
        std::memcpy(buffer, bytes.data() + offset, n);
        return n;
    });
}

std::string withZeros(std::string head, size_t size)
{
    head.resize(size, '\0');
    return head;
}

} // namespace

TEST(DocumentKind, OtherFormatsAreKnownByTheirMagicNumbers)
{
    const std::pair<std::string, DocumentKind> cases[] = {
        {"%PDF-1.4\n", DocumentKind::Pdf},
        {"%!PS-Adobe-3.0\n", DocumentKind::PostScript},
        {"\x1b%-12345X@PJL JOB\r\n", DocumentKind::Pjl},
        {"@PJL ENTER LANGUAGE=PCL\r\n", DocumentKind::Pjl},
        {withZeros("\x89PNG\r\n\x1a\n", 40), DocumentKind::Png},
        {withZeros("\xff\xd8\xff\xe0", 40), DocumentKind::Jpeg},
        {"GIF89a\x01\x00", DocumentKind::Gif},
        {withZeros(std::string("BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0", 18), 70), DocumentKind::Bmp},
        {withZeros(std::string("II*\0", 4), 16), DocumentKind::Tiff},
        {withZeros("PK\x03\x04", 30), DocumentKind::Zip},
        {withZeros("\x1f\x8b\x08", 20), DocumentKind::Gzip},
        {"BZh91AY&SY\x01", DocumentKind::Bzip2},
        {withZeros(std::string("\xfd" "7zXZ\0", 6), 32), DocumentKind::Xz},
        {withZeros("7z\xbc\xaf\x27\x1c", 32), DocumentKind::SevenZip},
        {withZeros("Rar!\x1a\x07", 20), DocumentKind::Rar},
        {withZeros("\x7f" "ELF\x02\x01\x01", 64), DocumentKind::Elf},
        {withZeros(std::string("MZ\x90\0\x03\0\0\0\x04\0", 10), 128), DocumentKind::DosProgram},
        {std::string(), DocumentKind::Empty},
    };
    for (const auto& [bytes, kind] : cases)
        EXPECT_EQ(kindOf(bytes), kind) << documentKindEnglish(kind);
    std::string store = "pages" + std::string(4, '\0') + std::string(kPageStoreMagic, kPageStoreMagicSize);
    EXPECT_EQ(kindOf(store), DocumentKind::PageStore);
}

TEST(DocumentKind, PrinterStreamsThatBeginAlikeStayPrinterStreams)
{
    // Text, ESC sequences and control bytes from the first byte on: what DOS programs write.
    for (const std::string bytes :
         {"MZK Sp. z o.o. - faktura\r\n", "BMW 320i, przegl\xa5" "d\r\n", "PK 12/2024\r\n", "%d pozycji\r\n",
          "GIF-y i obrazki\r\n", "7z zapas\r\n", "Rar\r\n", "BZh, co to\r\n", "@PJ\r\n", "\x1b@\x1bX1Raport\r\n",
          "\x0c", "\x1b%\x01\x00tekst", "II rok studi\xa2w\r\n", "{rtf}\r\n"})
        EXPECT_EQ(kindOf(bytes), DocumentKind::PrinterStream) << bytes;
}
