#pragma once
// The emulated dot-matrix printer: its state and the execution of one command.

#include "escp/EscCommand.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

class ReportPrinter;
struct TSettings;

// The stream bytes read from the spool file but not consumed yet. Consuming from the front only
// moves an offset, so splitting a 4000-byte chunk into many small tokens copies nothing.
class CarryOverBuffer {
public:
    std::string_view view() const { return std::string_view(m_bytes).substr(m_start); }
    size_t size() const { return m_bytes.size() - m_start; }
    bool empty() const { return size() == 0; }
    void clear()
    {
        m_bytes.clear();
        m_start = 0;
    }
    // Keeps only rest, which must be a view into this buffer (the rest of a split).
    void keepRest(std::string_view rest)
    {
        m_start = rest.empty() ? m_bytes.size() : size_t(rest.data() - m_bytes.data());
    }
    void append(const char* bytes, size_t n)
    {
        if (m_start > 0) {
            m_bytes.erase(0, m_start);
            m_start = 0;
        }
        m_bytes.append(bytes, n);
    }

private:
    std::string m_bytes;
    size_t m_start = 0;
};

struct TPrinterState {
    int32_t pageWidth = 21000;  // printable width, normalised to portrait (the shorter side)
    int32_t pageHeight = 29700; // printable height, normalised to portrait
    int32_t pitch = 10;         // characters per inch: 10, 12, 17 or 20
    bool bold = false;
    int32_t script = 0; // 0 normal, 1 superscript, -1 subscript
    bool doubleWidth = false;
    int32_t lineSpacing = 6; // lines per inch: 6, 8 or 12
    int32_t leftMargin = 0;  // distance of column 0 from the canvas's left edge
    int32_t x = 0;           // from the left margin
    int32_t y = 0;           // top of the current line, from the canvas's top
    CarryOverBuffer buffer;
    double scale = 1.0; // job font size / 12

    // Character width without the double-width factor, and the line advance.
    int32_t charWidth() const;
    int32_t lineAdvance() const;
};

// Power-on state for a job; measures the default printer's printable area. Without a default
// printer, or one that cannot report its page, the page size is left as it was.
void ResetPrinterState(TPrinterState& state, const TSettings& settings, ReportPrinter& printer);

// Applies one command code of the tokenizer. Codes outside 1..30 do nothing.
void ExecuteCommand(TPrinterState& state, const TEscCommand& command);

} // namespace quillon
