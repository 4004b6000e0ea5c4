#include "escp/epson/EpsonModel.h"

namespace quillon::epson {

namespace {

constexpr CommandShape fixed(uint8_t n) { return {Shape::Fixed, n, 0}; }

// The commands both families know.
constexpr std::array<CommandShape, 128> commonCommands()
{
    std::array<CommandShape, 128> t{};
    for (char c : {'\x0e', '\x0f', '#', '0', '2', '4', '5', '6', '7', '8', '9', '<', '=', '>', '@',
                   'E', 'F', 'G', 'H', 'M', 'O', 'P', 'T', 'g'})
        t[uint8_t(c)] = fixed(0);
    for (char c : {'\x19', ' ', '!', '%', '-', '/', '3', 'A', 'J', 'N', 'Q', 'R', 'S', 'U', 'W',
                   'a', 'i', 'j', 'k', 'l', 'p', 'q', 'r', 's', 't', 'w', 'x'})
        t[uint8_t(c)] = fixed(1);
    for (char c : {'$', '\\', '?'})
        t[uint8_t(c)] = fixed(2);
    t[':'] = fixed(3);
    t['C'] = {Shape::FormLength, 0, 0};
    for (char c : {'K', 'L', 'Y', 'Z'})
        t[uint8_t(c)] = {Shape::BitImage, 0, 0};
    t['*'] = {Shape::BitImageM, 0, 0};
    t['D'] = {Shape::TabList, 0, 32};
    t['B'] = {Shape::TabList, 0, 16};
    t['&'] = {Shape::UserChars, 0, 0};
    return t;
}

constexpr std::array<CommandShape, 128> fxCommands()
{
    auto t = commonCommands();
    t['1'] = fixed(0); // 7/72 inch spacing
    for (char c : {'I', 'm'})
        t[uint8_t(c)] = fixed(1);
    for (char c : {'e', 'f'})
        t[uint8_t(c)] = fixed(2);
    t['^'] = {Shape::NinePin, 0, 0};
    t['b'] = {Shape::ChannelTabs, 0, 16};
    return t;
}

constexpr std::array<CommandShape, 128> lqCommands()
{
    auto t = commonCommands();
    for (char c : {'+', 'h'})
        t[uint8_t(c)] = fixed(1);
    t['c'] = fixed(2); // horizontal motion index
    t['('] = {Shape::Extended, 0, 0};
    t['.'] = {Shape::Raster, 0, 0};
    t['X'] = {Shape::PitchPoint, 0, 0};
    return t;
}

constexpr EpsonModel kFx{
    PrinterEmulation::Fx, 9,
    perInch(216), perInch(72), perInch(120), perInch(120), 0,
    fxCommands(),
};

constexpr EpsonModel kLq{
    PrinterEmulation::Lq, 24,
    perInch(180), perInch(60), perInch(180), perInch(180), 3,
    lqCommands(),
};

// 8-dot modes 0 to 7: the same densities across on both families; down, the 9-pin printer's dot
// pitch is 1/72 inch and the 24-pin printer uses every third pin, 1/60 inch.
constexpr int16_t kEightDotDensity[8] = {60, 120, 120, 240, 80, 72, 90, 144};

} // namespace

BitImageMode EpsonModel::bitImageMode(int m) const
{
    if (m >= 0 && m < 8) {
        if (pins == 24 && m == 7)
            return {};
        return {kEightDotDensity[m], int16_t(pins == 9 ? 72 : 60), 8};
    }
    if (pins != 24)
        return {};
    switch (m) {
    case 32:
        return {60, 180, 24};
    case 33:
        return {120, 180, 24};
    case 38:
        return {90, 180, 24};
    case 39:
        return {180, 180, 24};
    case 40:
        return {360, 180, 24};
    case 71:
        return {180, 360, 48};
    case 72:
    case 73:
        return {360, 360, 48};
    default:
        return {};
    }
}

const EpsonModel& epsonModel(PrinterEmulation emulation)
{
    return emulation == PrinterEmulation::Fx ? kFx : kLq;
}

} // namespace quillon::epson
