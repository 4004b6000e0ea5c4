#pragma once
// The benchmarks' spool stream: a realistic stream generated in memory (N pages of 66 lines of 80
// columns, mixed pitches and attributes, CP852 text and box drawing) with what each page must
// show, and a byte source that reads it from memory.

#include "escp/ByteSource.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::bench {

constexpr int kLinesPerPage = 66;
constexpr int kColumns = 80;

// What one page must show once rendered: its printable bytes in drawing order.
struct PageExpectation {
    uint32_t chars = 0;
    uint64_t hash = 14695981039346656037ull; // FNV-1a 64 of the printable bytes
};

inline void hashByte(PageExpectation& page, uint8_t b)
{
    page.hash = (page.hash ^ b) * 1099511628211ull;
    ++page.chars;
}

struct SpoolStream {
    std::string bytes;
    std::vector<PageExpectation> pages;
};

// Generates the stream: a printer reset, 8 lines per inch, then pages of kLinesPerPage lines of
// exactly kColumns columns, each page ended by a form feed. The same page count always gives the
// same bytes.
class SpoolGenerator {
public:
    SpoolStream generate(int pageCount);

private:
    void control(std::string_view bytes) { m_out->append(bytes); }
    void box(uint8_t b, int count);
    void text(int count);
    void writeLine(long line);

    std::string* m_out = nullptr;
    PageExpectation* m_page = nullptr;
    size_t m_textPos = 0;
};

// The spool stream of a job, read from memory.
class MemoryByteSource final : public ByteSource {
public:
    explicit MemoryByteSource(std::string_view data) : m_data(data) {}
    size_t read(char* buffer, size_t size) override;

private:
    std::string_view m_data;
    size_t m_pos = 0;
};

} // namespace quillon::bench
