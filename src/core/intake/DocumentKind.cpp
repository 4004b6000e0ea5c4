#include "intake/DocumentKind.h"

#include "report/PageRecord.h"

#include <cstring>
#include <string_view>

namespace quillon {

namespace {

uint16_t le16(std::string_view b, size_t at)
{
    return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}

uint32_t le32(std::string_view b, size_t at)
{
    return uint32_t(le16(b, at)) | uint32_t(le16(b, at + 2)) << 16;
}

// "BM" is also how a line of text may begin: the header's reserved zeros and its own size say
// picture.
bool isBitmap(std::string_view head, int64_t size)
{
    if (head.size() < 18 || !head.starts_with("BM") || le32(head, 6) != 0)
        return false;
    const uint32_t infoSize = le32(head, 14);
    const bool knownInfo = infoSize == 12 || infoSize == 40 || infoSize == 52 || infoSize == 56
        || infoSize == 64 || infoSize == 108 || infoSize == 124;
    return knownInfo && le32(head, 10) <= uint64_t(size);
}

// "MZ" likewise: in a program's header the bytes of the last 512-byte page are fewer than 512,
// which no two characters of text give.
bool isDosProgram(std::string_view head, int64_t size)
{
    if (head.size() < 28 || !head.starts_with("MZ"))
        return false;
    const uint16_t lastPageBytes = le16(head, 2);
    const uint16_t pages = le16(head, 4);
    const uint16_t headerParagraphs = le16(head, 8);
    return lastPageBytes < 512 && pages >= 1 && headerParagraphs >= 2
        && int64_t(headerParagraphs) * 16 <= size;
}

struct Signature {
    std::string_view start;
    DocumentKind kind;
};

constexpr Signature kSignatures[] = {
    {"%PDF-", DocumentKind::Pdf},
    {"%!", DocumentKind::PostScript},
    {"\x04%!", DocumentKind::PostScript}, // after the ^D that some drivers send first
    {"\x1b%-12345X", DocumentKind::Pjl},
    {"@PJL", DocumentKind::Pjl},
    {"\x89PNG\r\n\x1a\n", DocumentKind::Png},
    {"\xff\xd8\xff", DocumentKind::Jpeg},
    {"GIF87a", DocumentKind::Gif},
    {"GIF89a", DocumentKind::Gif},
    {{"II*\0", 4}, DocumentKind::Tiff},
    {{"MM\0*", 4}, DocumentKind::Tiff},
    {"PK\x03\x04", DocumentKind::Zip},
    {"PK\x05\x06", DocumentKind::Zip},
    {"\x1f\x8b\x08", DocumentKind::Gzip},
    {{"\xfd" "7zXZ\0", 6}, DocumentKind::Xz},
    {"7z\xbc\xaf\x27\x1c", DocumentKind::SevenZip},
    {"Rar!\x1a\x07", DocumentKind::Rar},
    {"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1", DocumentKind::OfficeCompound},
    {"{\\rtf", DocumentKind::Rtf},
    {"\x7f" "ELF", DocumentKind::Elf},
};

} // namespace

DocumentKind documentKindOf(int64_t size, const ReadBytesAt& read)
{
    if (size <= 0)
        return DocumentKind::Empty;
    if (size >= int64_t(kPageStoreTrailerSize)) {
        char magic[kPageStoreMagicSize];
        if (read(size - int64_t(sizeof magic), magic, sizeof magic) == sizeof magic
            && std::memcmp(magic, kPageStoreMagic, sizeof magic) == 0)
            return DocumentKind::PageStore;
    }
    char buffer[64] = {};
    const std::string_view head(buffer, read(0, buffer, sizeof buffer));
    for (const Signature& s : kSignatures)
        if (head.starts_with(s.start))
            return s.kind;
    // bzip2: "BZh", the block size, then the magic of the first block or of the end.
    if (head.size() >= 10 && head.starts_with("BZh") && head[3] >= '1' && head[3] <= '9'
        && (head.substr(4, 6) == "1AY&SY" || head.substr(4, 6) == "\x17\x72\x45\x38\x50\x90"))
        return DocumentKind::Bzip2;
    if (isBitmap(head, size))
        return DocumentKind::Bmp;
    if (isDosProgram(head, size))
        return DocumentKind::DosProgram;
    // An EMF picture: record type 1 first, its signature at byte 40.
    if (head.size() >= 44 && head.starts_with(std::string_view("\x01\0\0\0", 4)) && head.substr(40, 4) == " EMF")
        return DocumentKind::Emf;
    return DocumentKind::PrinterStream;
}

const char* documentKindPolish(DocumentKind kind)
{
    switch (kind) {
    case DocumentKind::Empty: return "pusty plik";
    case DocumentKind::PrinterStream: return "wydruk DOS";
    case DocumentKind::Pdf: return "dokument PDF";
    case DocumentKind::PostScript: return "dokument PostScript";
    case DocumentKind::Pjl: return "zadanie drukarki w języku PJL";
    case DocumentKind::Png: return "obraz PNG";
    case DocumentKind::Jpeg: return "obraz JPEG";
    case DocumentKind::Gif: return "obraz GIF";
    case DocumentKind::Bmp: return "obraz BMP";
    case DocumentKind::Tiff: return "obraz TIFF";
    case DocumentKind::Emf: return "obraz EMF";
    case DocumentKind::Zip: return "archiwum ZIP lub dokument biurowy";
    case DocumentKind::Gzip: return "archiwum gzip";
    case DocumentKind::Bzip2: return "archiwum bzip2";
    case DocumentKind::Xz: return "archiwum xz";
    case DocumentKind::SevenZip: return "archiwum 7z";
    case DocumentKind::Rar: return "archiwum RAR";
    case DocumentKind::OfficeCompound: return "dokument biurowy (OLE2)";
    case DocumentKind::Rtf: return "dokument RTF";
    case DocumentKind::Elf: return "program (ELF)";
    case DocumentKind::DosProgram: return "program DOS lub Windows";
    case DocumentKind::PageStore: return "plik stron Quillon Print";
    }
    return "nieznany plik";
}

const char* documentKindEnglish(DocumentKind kind)
{
    switch (kind) {
    case DocumentKind::Empty: return "an empty file";
    case DocumentKind::PrinterStream: return "a DOS printer stream";
    case DocumentKind::Pdf: return "a PDF document";
    case DocumentKind::PostScript: return "a PostScript document";
    case DocumentKind::Pjl: return "a job in a printer's job language (PJL)";
    case DocumentKind::Png: return "a PNG picture";
    case DocumentKind::Jpeg: return "a JPEG picture";
    case DocumentKind::Gif: return "a GIF picture";
    case DocumentKind::Bmp: return "a BMP picture";
    case DocumentKind::Tiff: return "a TIFF picture";
    case DocumentKind::Emf: return "an EMF picture";
    case DocumentKind::Zip: return "a ZIP archive or office document";
    case DocumentKind::Gzip: return "a gzip archive";
    case DocumentKind::Bzip2: return "a bzip2 archive";
    case DocumentKind::Xz: return "an xz archive";
    case DocumentKind::SevenZip: return "a 7z archive";
    case DocumentKind::Rar: return "a RAR archive";
    case DocumentKind::OfficeCompound: return "an office document (OLE2)";
    case DocumentKind::Rtf: return "an RTF document";
    case DocumentKind::Elf: return "a program (ELF)";
    case DocumentKind::DosProgram: return "a DOS or Windows program";
    case DocumentKind::PageStore: return "a Quillon Print page store";
    }
    return "an unknown file";
}

std::string notPrintableText(const std::string& path, DocumentKind kind)
{
    if (kind == DocumentKind::Empty)
        return "Plik " + path + " jest pusty";
    return "Plik " + path + " nie jest wydrukiem DOS (" + documentKindPolish(kind) + ")";
}

} // namespace quillon
