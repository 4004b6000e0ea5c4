// What the Epson printer does with its control codes and commands.

#include "escp/epson/EpsonRenderer.h"

#include "escp/epson/InternationalSets.h"

#include <algorithm>
#include <optional>

namespace quillon::epson {

namespace {

uint8_t byteAt(std::string_view d, size_t i) { return i < d.size() ? uint8_t(d[i]) : 0; }
int64_t word(std::string_view d, size_t i) { return int64_t(byteAt(d, i)) + 256 * int64_t(byteAt(d, i + 1)); }
int64_t signedWord(std::string_view d, size_t i)
{
    const int64_t w = word(d, i);
    return w >= 0x8000 ? w - 0x10000 : w;
}
bool on(uint8_t n) { return (n & 1) != 0; } // 0/1 and "0"/"1" alike

constexpr int kMaxTabs = 32;

// Stops at ascending multiples of step: a value not above the one before ends the list.
std::vector<int64_t> stops(std::string_view values, int64_t step)
{
    std::vector<int64_t> out;
    int last = 0;
    for (char c : values) {
        const int v = uint8_t(c);
        if (v == 0 || v <= last)
            break;
        out.push_back(v * step);
        last = v;
    }
    return out;
}

std::vector<int64_t> every(int64_t step, int count)
{
    std::vector<int64_t> out;
    for (int i = 1; i <= count && step > 0; ++i)
        out.push_back(i * step);
    return out;
}

} // namespace

void EpsonRenderer::resetPrinter()
{
    const int64_t sheetY = m_p.sheetY;
    m_p = EpsonState{};
    m_p.sheetY = sheetY; // the paper does not move; this line becomes the top of the form
    m_p.tabs = every(8 * m_p.columnWidth(), kMaxTabs);
    m_upperPrintable = false;
    setTable(CharTable::Graphics);
}

void EpsonRenderer::setTable(CharTable table)
{
    m_p.table = table;
    m_p.reader.upperControls = table == CharTable::Italic && !m_upperPrintable;
}

void EpsonRenderer::lineEnd() { m_p.lineDoubleWidth = false; }

EpsonRenderer::Flow EpsonRenderer::feed(int64_t distance)
{
    m_p.formY += distance;
    m_p.sheetY += distance;
    const int64_t length = m_p.formLength > 0 ? m_p.formLength : m_sheet.height;
    const int64_t limit = m_p.pageBottom > 0 ? std::min(m_p.pageBottom, length)
                                             : length - m_p.bottomMargin;
    if (m_p.formY >= limit && distance > 0)
        return formFeed();
    return Flow::Go;
}

void EpsonRenderer::reverseFeed(int64_t distance)
{
    m_p.formY = std::max<int64_t>(0, m_p.formY - distance);
    m_p.sheetY = std::max<int64_t>(0, m_p.sheetY - distance);
}

EpsonRenderer::Flow EpsonRenderer::formFeed()
{
    m_p.x = m_p.leftMargin;
    m_p.formY = m_p.topMargin;
    m_p.sheetY = m_p.topMargin;
    lineEnd();
    // A second form feed with nothing printed in between ejects a blank sheet.
    if (m_sheetEnded)
        return Flow::EndPage;
    m_sheetEnded = true;
    return Flow::Go;
}

EpsonRenderer::Step EpsonRenderer::control(uint8_t code)
{
    switch (code) {
    case 0x08: // BS
        m_p.x = std::max(m_p.leftMargin, m_p.x - m_p.charAdvance());
        break;
    case 0x09: { // HT: the next stop after the print position
        for (int64_t t : m_p.tabs) {
            if (m_p.leftMargin + t > m_p.x) {
                if (m_p.leftMargin + t <= rightEdge())
                    m_p.x = m_p.leftMargin + t;
                break;
            }
        }
        break;
    }
    case 0x0A: // LF
        m_p.x = m_p.leftMargin;
        lineEnd();
        return {1, feed(m_p.lineSpacing)};
    case 0x0B: { // VT
        m_p.x = m_p.leftMargin;
        lineEnd();
        if (m_p.verticalTabs.empty())
            return {1, feed(m_p.lineSpacing)};
        for (int64_t t : m_p.verticalTabs)
            if (t > m_p.formY)
                return {1, feed(t - m_p.formY)};
        return {1, formFeed()};
    }
    case 0x0C: // FF
        return {1, formFeed()};
    case 0x0D: // CR
        m_p.x = m_p.leftMargin;
        break;
    case 0x0E: // SO
        m_p.lineDoubleWidth = true;
        m_p.motionIndex = 0;
        break;
    case 0x0F: // SI
        m_p.condensed = true;
        m_p.motionIndex = 0;
        break;
    case 0x12: // DC2
        m_p.condensed = false;
        break;
    case 0x14: // DC4
        m_p.lineDoubleWidth = false;
        break;
    default: // NUL, BEL, DC1, DC3, CAN, DEL and the codes with no meaning: nothing to print
        break;
    }
    return {1, Flow::Go};
}

EpsonRenderer::Step EpsonRenderer::escape(const Token& t)
{
    for (auto group : {&EpsonRenderer::spacingCommand, &EpsonRenderer::positionCommand,
                       &EpsonRenderer::pitchCommand, &EpsonRenderer::styleCommand,
                       &EpsonRenderer::pageCommand, &EpsonRenderer::graphicsCommand})
        if (const std::optional<Step> step = (this->*group)(t))
            return *step;
    // Settings that change nothing on paper: ESC 8/9, U, x, k, s, q, r, a, i, %, :, &, EM.
    return {t.length, Flow::Go};
}

// Line spacing and feeds.
std::optional<EpsonRenderer::Step> EpsonRenderer::spacingCommand(const Token& t)
{
    const size_t length = t.length;
    const uint8_t n = byteAt(t.params, 0);
    const Step go{length, Flow::Go};
    switch (t.code) {
    case '0':
        m_p.lineSpacing = perInch(8);
        return go;

    case '1':
        m_p.lineSpacing = perInch(72) * 7;
        return go;

    case '2':
        m_p.lineSpacing = perInch(6);
        return go;

    case '3':
        m_p.lineSpacing = n * m_model->fineFeed;
        return go;

    case 'A':
        m_p.lineSpacing = n * m_model->lineFeedA;
        return go;

    case '+':
        m_p.lineSpacing = n * perInch(360);
        return go;

    case 'J':
        return Step{length, feed(n * m_model->fineFeed)};

    case 'j':
        reverseFeed(n * m_model->fineFeed);
        return go;
    default:
        return std::nullopt;
    }
}

// Tabs and horizontal moves.
std::optional<EpsonRenderer::Step> EpsonRenderer::positionCommand(const Token& t)
{
    const size_t length = t.length;
    const uint8_t n = byteAt(t.params, 0);
    const Step go{length, Flow::Go};
    switch (t.code) {
    case '$': {
        const int64_t to = m_p.leftMargin + word(t.params, 0) * (m_p.unit ? m_p.unit : perInch(60));
        if (to <= rightEdge())
            m_p.x = to;
        return go;
    }

    case '\\': {
        const int64_t to = m_p.x + signedWord(t.params, 0) * (m_p.unit ? m_p.unit : m_model->relativeMove);
        if (to >= m_p.leftMargin && to <= rightEdge())
            m_p.x = to;
        return go;
    }

    case 'D':
        m_p.tabs = stops(t.data, m_p.columnWidth() + m_p.extraSpace);
        return go;

    case 'B':
        m_p.verticalTabs = stops(t.data, m_p.lineSpacing);
        return go;

    case 'b':
        if (n == 0)
            m_p.verticalTabs = stops(t.data, m_p.lineSpacing);
        return go;

    case 'e':
        if (n == 0)
            m_p.tabs = every(byteAt(t.params, 1) * m_p.columnWidth(), kMaxTabs);
        else if (n == 1)
            m_p.verticalTabs = every(byteAt(t.params, 1) * m_p.lineSpacing, 16);
        return go;

    case 'f':
        if (n == 0) {
            m_p.x = std::min(rightEdge(), m_p.x + byteAt(t.params, 1) * m_p.charAdvance());
            return go;
        }
        m_p.x = m_p.leftMargin;
        return Step{length, feed(byteAt(t.params, 1) * m_p.lineSpacing)};

    case 'c':
        m_p.motionIndex = word(t.params, 0) * perInch(360);
        return go;

    case 'X': { // pitch 360/m characters per inch (m = 1: proportional), and a point size in halves
        if (n == 1)
            m_p.proportional = true;
        else if (n >= 5)
            m_p.motionIndex = n * perInch(360);
        const int64_t halfPoints = word(t.params, 1);
        if (halfPoints > 0)
            m_p.pointSize = halfPoints;
        return go;
    }
    default:
        return std::nullopt;
    }
}

// Pitch and the width and height of characters.
std::optional<EpsonRenderer::Step> EpsonRenderer::pitchCommand(const Token& t)
{
    const size_t length = t.length;
    const uint8_t n = byteAt(t.params, 0);
    const Step go{length, Flow::Go};
    switch (t.code) {
    case 0x0E:
    case 0x0F:
        control(t.code); // ESC SO, ESC SI: as SO and SI
        return go;

    case 'M':
    case 'P':
    case 'g':
        m_p.pitch = t.code == 'M' ? Pitch::Elite : t.code == 'P' ? Pitch::Pica : Pitch::Fifteen;
        m_p.motionIndex = 0;
        m_p.pointSize = 0;
        return go;

    case 'W':
        m_p.doubleWidth = on(n);
        m_p.motionIndex = 0;
        return go;

    case 'w':
        m_p.doubleHeight = on(n);
        return go;

    case 'p':
        m_p.proportional = on(n);
        m_p.motionIndex = 0;
        return go;

    case ' ':
        m_p.extraSpace = n * m_model->extraSpace;
        return go;

    case '!':
        m_p.pitch = (n & 0x01) ? Pitch::Elite : Pitch::Pica;
        m_p.proportional = n & 0x02;
        m_p.condensed = n & 0x04;
        m_p.emphasized = n & 0x08;
        m_p.doubleStrike = n & 0x10;
        m_p.doubleWidth = n & 0x20;
        m_p.italic = n & 0x40;
        m_p.underline = n & 0x80;
        m_p.motionIndex = 0;
        m_p.pointSize = 0;
        return go;
    default:
        return std::nullopt;
    }
}

// Attributes and character tables.
std::optional<EpsonRenderer::Step> EpsonRenderer::styleCommand(const Token& t)
{
    const size_t length = t.length;
    const uint8_t n = byteAt(t.params, 0);
    const Step go{length, Flow::Go};
    switch (t.code) {
    case '#':
        m_p.msb = -1;
        return go;

    case '=':
        m_p.msb = 0;
        return go;

    case '>':
        m_p.msb = 1;
        return go;

    case '4':
    case '5':
        m_p.italic = t.code == '4';
        return go;

    case '6':
    case '7':
        m_upperPrintable = t.code == '6';
        setTable(m_p.table);
        return go;

    case 'E':
    case 'F':
        m_p.emphasized = t.code == 'E';
        return go;

    case 'G':
    case 'H':
        m_p.doubleStrike = t.code == 'G';
        return go;

    case 'S':
        m_p.script = on(n) ? -1 : 1;
        return go;

    case 'T':
        m_p.script = 0;
        return go;

    case '-':
        m_p.underline = on(n);
        return go;

    case 'R':
        if (isInternationalSet(n))
            m_p.international = n;
        return go;

    case 't':
        setTable(n == 0 ? CharTable::Italic : CharTable::Graphics);
        return go;
    default:
        return std::nullopt;
    }
}

// The printer reset, margins and the form.
std::optional<EpsonRenderer::Step> EpsonRenderer::pageCommand(const Token& t)
{
    const size_t length = t.length;
    const uint8_t n = byteAt(t.params, 0);
    const Step go{length, Flow::Go};
    switch (t.code) {
    case '@':
        resetPrinter();
        return go;

    case 'N':
        if (n > 0)
            m_p.bottomMargin = n * m_p.lineSpacing;
        return go;

    case 'O':
        m_p.bottomMargin = 0;
        return go;

    case 'l':
        m_p.leftMargin = std::min<int64_t>(n * m_p.columnWidth(), m_sheet.width);
        m_p.x = std::max(m_p.x, m_p.leftMargin);
        return go;

    case 'Q':
        if (n > 0)
            m_p.rightMargin = n * m_p.columnWidth();
        return go;

    case 'C':
        m_p.formLength = n == 0 ? byteAt(t.params, 1) * perInch(1) : n * m_p.lineSpacing;
        m_p.formY = 0;
        m_p.bottomMargin = 0;
        m_p.pageBottom = 0;
        return go;
    default:
        return std::nullopt;
    }
}

// Bit-image and raster graphics, and the ESC ( commands.
std::optional<EpsonRenderer::Step> EpsonRenderer::graphicsCommand(const Token& t)
{
    const size_t length = t.length;
    const uint8_t n = byteAt(t.params, 0);
    const Step go{length, Flow::Go};
    switch (t.code) {
    case '?': {
        const char which[] = "KLYZ";
        for (size_t i = 0; i < 4; ++i)
            if (n == uint8_t(which[i]))
                m_p.reader.bitImageModes[i] = byteAt(t.params, 1);
        return go;
    }

    case 'K':
    case 'L':
    case 'Y':
    case 'Z': {
        const size_t which = t.code == 'K' ? 0 : t.code == 'L' ? 1 : t.code == 'Y' ? 2 : 3;
        const BitImageMode mode = m_model->bitImageMode(m_p.reader.bitImageModes[which]);
        const Step s = bitImage(mode, int32_t(word(t.params, 0)), t.data);
        return Step{s.consumed ? length : 0, s.flow};
    }

    case '*': {
        const Step s = bitImage(m_model->bitImageMode(n), int32_t(word(t.params, 1)), t.data);
        return Step{s.consumed ? length : 0, s.flow};
    }

    case '^': {
        const BitImageMode mode{int16_t(n == 0 ? 60 : 120), 72, 9};
        const Step s = bitImage(mode, int32_t(word(t.params, 1)), t.data);
        return Step{s.consumed ? length : 0, s.flow};
    }

    case '.': {
        const Step s = raster(t.params, t.data);
        return Step{s.consumed ? length : 0, s.flow};
    }

    case '(': {
        const Step s = extended(n, t.data);
        return Step{s.consumed ? length : 0, s.flow};
    }
    default:
        return std::nullopt;
    }
}

// ESC ( x nL nH data.
EpsonRenderer::Step EpsonRenderer::extended(uint8_t code, std::string_view d)
{
    const Step go{1, Flow::Go};
    switch (code) {
    case 'C':
        if (d.size() >= 2)
            m_p.formLength = (d.size() >= 4 ? word(d, 0) + 65536 * word(d, 2) : word(d, 0)) * pageUnit();
        return go;
    case 'c':
        if (d.size() >= 4) {
            m_p.topMargin = word(d, 0) * pageUnit();
            m_p.pageBottom = word(d, 2) * pageUnit();
        }
        return go;
    case 'U':
        if (d.size() == 1 && d[0] != 0)
            m_p.unit = byteAt(d, 0) * (kGrid / 3600);
        else if (d.size() >= 5 && word(d, 3) > 0)
            m_p.unit = std::max<int64_t>(1, kGrid * byteAt(d, 1) / word(d, 3));
        return go;
    case 'V':
    case 'v': {
        if (d.size() < 2)
            return go;
        const int64_t to = code == 'V' ? m_p.topMargin + word(d, 0) * pageUnit()
                                       : m_p.formY + signedWord(d, 0) * pageUnit();
        if (to >= m_p.formY)
            return {1, feed(to - m_p.formY)};
        reverseFeed(m_p.formY - to);
        return go;
    }
    case '-':
        if (d.size() >= 3) {
            if (byteAt(d, 1) == 1)
                m_p.underline = byteAt(d, 2) != 0;
            else if (byteAt(d, 1) == 2)
                m_p.strikeThrough = byteAt(d, 2) != 0;
        }
        return go;
    case '^': {
        const Step s = text(d, true);
        return {size_t(s.flow == Flow::BreakBefore && s.consumed == 0 ? 0 : 1), s.flow};
    }
    default: // graphics mode, character tables, microweave, bar codes: nothing to draw
        return go;
    }
}

} // namespace quillon::epson
