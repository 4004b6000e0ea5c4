#include "InputKind.h"

#include "report/PageRecord.h"

#include <cstring>
#include <string_view>

#include <unistd.h>

namespace quillon {

bool isPageStore(int fd)
{
    const off_t size = ::lseek(fd, 0, SEEK_END);
    char magic[kPageStoreMagicSize];
    return size >= off_t(kPageStoreTrailerSize)
        && ::pread(fd, magic, sizeof magic, size - off_t(sizeof magic)) == ssize_t(sizeof magic)
        && std::memcmp(magic, kPageStoreMagic, sizeof magic) == 0;
}

std::string foreignDocumentKind(int fd)
{
    if (isPageStore(fd))
        return "a Quillon Print page store";
    char head[16] = {};
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    const std::string_view bytes(head, got > 0 ? size_t(got) : 0);
    struct Signature {
        std::string_view start;
        const char* kind;
    };
    static const Signature signatures[] = {
        {"%PDF-", "a PDF document"},
        {"%!PS", "a PostScript document"},
        {"\x1b%-12345X", "a job in a printer's job language (PJL)"},
        {"\x89PNG\r\n\x1a\n", "a PNG picture"},
        {"\xff\xd8\xff", "a JPEG picture"},
        {"GIF87a", "a GIF picture"},
        {"GIF89a", "a GIF picture"},
        {"PK\x03\x04", "a ZIP archive or office document"},
        {"\x7f" "ELF", "a program"},
    };
    for (const Signature& s : signatures) {
        if (bytes.substr(0, s.start.size()) == s.start)
            return s.kind;
    }
    // An EMF picture: record type 1 first, its signature at byte 40.
    char emf[4] = {};
    if (bytes.substr(0, 4) == std::string_view("\x01\x00\x00\x00", 4)
        && ::pread(fd, emf, sizeof emf, 40) == ssize_t(sizeof emf) && std::memcmp(emf, " EMF", 4) == 0)
        return "an EMF picture";
    return {};
}

} // namespace quillon
