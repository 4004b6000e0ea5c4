#pragma once
// The settings record: one per process, read by the intake and the print-stream emulation; and
// the one table of the stored values' names, defaults and limits.

#include "escp/Emulation.h"

#include <iterator>
#include <string>
#include <vector>

namespace quillon {

// A whole-number setting: stored under name, confined to low..high, def when missing or unreadable.
struct NumberSetting {
    const char* name;
    int low;
    int high;
    int def;

    // The one rule for a value out of range: the nearer limit.
    constexpr int clamp(int value) const { return value > high ? high : value < low ? low : value; }
    // A stored text: its whole number in decimal (an optional sign, nothing else) brought within
    // the limits, or def when it is no such number.
    int fromText(const std::string& text) const;
};

namespace settings {

constexpr const char* kFontName = "FontName";
constexpr const char* kDefaultFontName = "Courier New";
constexpr NumberSetting kFontSize{"FontSize", 6, 12, 12};       // points
constexpr NumberSetting kPollingFreq{"PollingFreq", 2, 10, 4};  // seconds
// The folder patterns: PeekPath0, PeekPath1, ... up to kMaxPeekPaths of them.
constexpr const char* kPeekPath = "PeekPath";
constexpr int kMaxPeekPaths = 100;
constexpr const char* kPreview = "Preview";
constexpr const char* kOn = "ON";
constexpr const char* kOff = "OFF";
constexpr const char* kDefaultPreview = kOff; // as stored; a fresh record previews until loaded
constexpr const char* kPageOrient = "PageOrient";
constexpr const char* kPortrait = "P";
constexpr const char* kLandscape = "L";
constexpr const char* kEmulation = "Emulation"; // stored as emulationName(): "simple", "fx" or "lq"
constexpr PrinterEmulation kDefaultEmulation = PrinterEmulation::Simple; // also for any other text
// Every emulation, in the order they are offered to the user.
constexpr PrinterEmulation kEmulations[] = {PrinterEmulation::Simple, PrinterEmulation::Fx, PrinterEmulation::Lq};

inline std::string peekPathName(int i) { return kPeekPath + std::to_string(i); }

// "simple, fx or lq": the emulations' names for a message.
inline std::string emulationNames()
{
    std::string text;
    for (size_t i = 0; i < std::size(kEmulations); ++i)
        text += (i == 0 ? "" : i + 1 == std::size(kEmulations) ? " or " : ", ")
            + std::string(emulationName(kEmulations[i]));
    return text;
}

} // namespace settings

struct TSettings {
    std::string FontName = settings::kDefaultFontName;
    int FontSize = settings::kFontSize.def;
    int PollingFreq = settings::kPollingFreq.def;
    std::string PageOrient = settings::kPortrait;
    bool Preview = true;
    std::vector<std::string> PeekPaths;
    PrinterEmulation Emulation = settings::kDefaultEmulation;
};

} // namespace quillon
