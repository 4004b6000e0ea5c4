#pragma once
// What a file handed in as a DOS printer stream really holds. DOS programs write text, ESC
// sequences and a few control bytes from the first byte on, so only the plain magic numbers of
// other formats at the very start (and the page store's magic at the very end) count.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quillon {

enum class DocumentKind {
    Empty,
    PrinterStream, // anything that may be a DOS printer stream
    Pdf,
    PostScript,
    Pjl,
    Png,
    Jpeg,
    Gif,
    Bmp,
    Tiff,
    Emf,
    Zip,
    Gzip,
    Bzip2,
    Xz,
    SevenZip,
    Rar,
    OfficeCompound,
    Rtf,
    Elf,
    DosProgram,
    PageStore,
};

// Reads up to size bytes at offset into buffer; the number read.
using ReadBytesAt = std::function<size_t(int64_t offset, char* buffer, size_t size)>;

// The kind of a file of size bytes.
DocumentKind documentKindOf(int64_t size, const ReadBytesAt& read);

// Neither empty nor a possible printer stream.
inline bool isForeignDocument(DocumentKind kind)
{
    return kind != DocumentKind::Empty && kind != DocumentKind::PrinterStream;
}

// What it is, in a few words: for the user ("dokument PDF") and for a server's log
// ("a PDF document").
const char* documentKindPolish(DocumentKind kind);
const char* documentKindEnglish(DocumentKind kind);

// The user's words for a file that is not printed: "Plik PATH jest pusty" or "Plik PATH nie jest
// wydrukiem DOS (dokument PDF)"; the caller says what became of it.
std::string notPrintableText(const std::string& path, DocumentKind kind);

} // namespace quillon
