#include "escp/epson/EpsonCommand.h"

namespace quillon::epson {

namespace {

constexpr uint8_t ESC = 0x1B;
constexpr uint64_t kMarkerBytes = 16; // the job markers live in the stream's first bytes

uint8_t at(std::string_view d, size_t i) { return uint8_t(d[i]); }
size_t word(std::string_view d, size_t i) { return size_t(at(d, i)) + 256 * size_t(at(d, i + 1)); }

bool isMarkerLetter(uint8_t c) { return c == '0' || c == '1' || (c >= 'A' && c <= 'G'); }

// Bytes of a run of ESC/P2 run-length data that decodes to produced bytes, from start; 0 when
// data ends before it does.
size_t runLengthExtent(std::string_view d, size_t start, size_t produced)
{
    size_t pos = start, made = 0;
    while (made < produced) {
        if (pos >= d.size())
            return 0;
        const uint8_t counter = at(d, pos);
        if (counter < 128) {
            made += size_t(counter) + 1;
            pos += 1 + size_t(counter) + 1;
        } else {
            made += 257 - size_t(counter);
            pos += 2;
        }
    }
    return pos <= d.size() ? pos : 0;
}

// The length of the list of a tab command whose values start at start: values up to and with
// their NUL, at most max of them; 0 when data ends first.
size_t listExtent(std::string_view d, size_t start, size_t max)
{
    for (size_t i = start; i < d.size(); ++i) {
        if (at(d, i) == 0)
            return i + 1;
        if (i - start + 1 == max)
            return i + 1;
    }
    return 0;
}

// ESC & NUL n m and the data of characters n to m.
size_t userCharsExtent(std::string_view d, const EpsonModel& model)
{
    if (d.size() < 5)
        return 0;
    const int first = at(d, 3), last = at(d, 4);
    size_t pos = 5;
    for (int c = first; c <= last; ++c) {
        if (model.userCharBytesPerCol == 0) {
            pos += 12; // attribute byte and 11 columns
        } else {
            if (pos + 3 > d.size())
                return 0;
            pos += 3 + size_t(at(d, pos + 1)) * size_t(model.userCharBytesPerCol);
        }
        if (pos > d.size())
            return 0;
    }
    return pos;
}

// ESC K/L/Y/Z nL nH, ESC * m nL nH and ESC ^ m nL nH: the columns of the mode's bytes.
size_t bitImageExtent(std::string_view d, const CommandShape& shape, const EpsonModel& model,
                      ReaderMode mode, Token& t)
{
    const size_t head = shape.shape == Shape::BitImage ? 4 : 5;
    if (d.size() < head)
        return head;
    int bytesPerColumn = 2; // ESC ^: nine pins
    if (shape.shape == Shape::BitImage) {
        const int which = t.code == 'K' ? 0 : t.code == 'L' ? 1 : t.code == 'Y' ? 2 : 3;
        bytesPerColumn = bitImageBytesPerColumn(model, mode.bitImageModes[size_t(which)]);
    } else if (shape.shape == Shape::BitImageM) {
        bytesPerColumn = bitImageBytesPerColumn(model, at(d, 2));
    }
    const size_t total = head + word(d, head - 2) * size_t(bytesPerColumn);
    t.params = d.substr(2, head - 2);
    t.data = d.substr(head, total - head);
    return total;
}

// ESC . c v h m nL nH: m rows of n dots, as they are or run-length coded.
size_t rasterExtent(std::string_view d, Token& t)
{
    if (d.size() < 8)
        return 8;
    const uint8_t compression = at(d, 2);
    const size_t rows = at(d, 5), width = word(d, 6);
    const size_t bytes = rows * ((width + 7) / 8);
    t.params = d.substr(2, 6);
    size_t total = 8;
    if (compression == 0)
        total = 8 + bytes;
    else if (compression == 1)
        total = runLengthExtent(d, 8, bytes);
    if (total == 0)
        return d.size() + 1;
    t.data = d.substr(8, total - 8);
    return total;
}

// How many bytes the command at the front of d takes by its shape (more than d holds, or 0,
// when d ends first); its parameters and data go into t.
size_t commandExtent(std::string_view d, const CommandShape& shape, const EpsonModel& model,
                     ReaderMode mode, Token& t)
{
    switch (shape.shape) {
    case Shape::Unknown:
        return 2;
    case Shape::Fixed:
        t.params = d.substr(2, shape.params);
        return 2 + shape.params;
    case Shape::FormLength:
        if (d.size() < 3)
            return 3;
        t.params = d.substr(2, at(d, 2) == 0 ? 2 : 1);
        return at(d, 2) == 0 ? 4 : 3;
    case Shape::BitImage:
    case Shape::BitImageM:
    case Shape::NinePin:
        return bitImageExtent(d, shape, model, mode, t);
    case Shape::TabList:
    case Shape::ChannelTabs: {
        const size_t start = shape.shape == Shape::TabList ? 2 : 3; // ESC b has its channel first
        if (d.size() < start)
            return start;
        const size_t end = listExtent(d, start, shape.maxList);
        t.params = d.substr(2, start - 2);
        if (end)
            t.data = d.substr(start, end - start);
        return end;
    }
    case Shape::UserChars: {
        const size_t end = userCharsExtent(d, model);
        if (end)
            t.data = d.substr(2, end - 2);
        return end ? end : (d.size() < 5 ? 5 : d.size() + 1);
    }
    case Shape::Extended: {
        if (d.size() < 5)
            return 5;
        const size_t total = 5 + word(d, 3);
        t.params = d.substr(2, 1);
        t.data = d.substr(5, total - 5);
        return total;
    }
    case Shape::Raster:
        return rasterExtent(d, t);
    case Shape::PitchPoint:
        t.params = d.substr(2, 3);
        return 5;
    }
    return 2;
}

} // namespace

bool isControl(uint8_t byte, ReaderMode mode)
{
    return byte < 0x20 || byte == 0x7F || (mode.upperControls && byte >= 0x80 && byte < 0xA0);
}

int bitImageBytesPerColumn(const EpsonModel& model, int m)
{
    const BitImageMode mode = model.bitImageMode(m);
    if (mode.valid())
        return mode.bytesPerColumn();
    return m < 32 ? 1 : m < 64 ? 3 : 6;
}

Token readToken(std::string_view d, bool atEnd, const EpsonModel& model, ReaderMode mode,
                uint64_t offset)
{
    Token t;
    if (d.empty())
        return t;
    const uint8_t first = at(d, 0);
    if (!isControl(first, mode)) {
        size_t n = 1;
        while (n < d.size() && !isControl(at(d, n), mode))
            ++n;
        t.kind = TokenKind::Text;
        t.length = n;
        return t;
    }
    const uint8_t control = first >= 0x80 ? uint8_t(first & 0x7F) : first;
    if (control != ESC) {
        t.kind = TokenKind::Control;
        t.code = control;
        t.length = 1;
        return t;
    }

    // The length the command needs, then what is taken of it.
    auto need = [&](size_t bytes) {
        if (bytes == 0 || bytes > d.size()) {
            t.kind = atEnd ? TokenKind::Cut : TokenKind::NeedMore;
            t.length = atEnd ? d.size() : 0;
            return t;
        }
        t.length = bytes;
        return t;
    };
    if (d.size() < 2)
        return need(2);
    t.code = at(d, 1);
    t.kind = TokenKind::Command;
    const CommandShape& shape = model.command(t.code);

    if (t.code == 'X' && (offset < kMarkerBytes || shape.shape != Shape::PitchPoint)) {
        if (d.size() < 3)
            return need(3);
        if (isMarkerLetter(at(d, 2))) {
            t.kind = TokenKind::Marker;
            return need(3);
        }
    }

    if (shape.shape == Shape::Unknown)
        t.kind = TokenKind::Unknown;
    return need(commandExtent(d, shape, model, mode, t));
}

} // namespace quillon::epson
