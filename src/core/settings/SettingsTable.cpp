#include "settings/SettingsTable.h"

#include <charconv>

namespace quillon {

int NumberSetting::fromText(const std::string& text) const
{
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    int value = def;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end || begin == end)
        value = def;
    return clamp(value);
}

namespace settings {

namespace {

const StoredValue kFontNameValue{
    kFontName, [] { return std::string(kDefaultFontName); }, [](const TSettings& s) { return s.FontName; },
    [](TSettings& s, const std::string& t) { s.FontName = t; }};
const StoredValue kFontSizeValue{
    kFontSize.name, [] { return std::to_string(kFontSize.def); },
    [](const TSettings& s) { return std::to_string(s.FontSize); },
    [](TSettings& s, const std::string& t) { s.FontSize = kFontSize.fromText(t); }};
const StoredValue kPollingFreqValue{
    kPollingFreq.name, [] { return std::to_string(kPollingFreq.def); },
    [](const TSettings& s) { return std::to_string(s.PollingFreq); },
    [](TSettings& s, const std::string& t) { s.PollingFreq = kPollingFreq.fromText(t); }};
const StoredValue kPeekPathsValue{nullptr, nullptr, nullptr, nullptr};
const StoredValue kPageOrientValue{
    kPageOrient, [] { return std::string(kPortrait); },
    [](const TSettings& s) { return std::string(s.PageOrient == kLandscape ? kLandscape : kPortrait); },
    [](TSettings& s, const std::string& t) {
        // Swapped in: GCC 12 warns of an overlap (-Wrestrict) that a plain assignment cannot have.
        std::string chosen(t == kLandscape ? kLandscape : kPortrait);
        s.PageOrient.swap(chosen);
    }};
const StoredValue kPreviewValue{
    kPreview, [] { return std::string(kDefaultPreview); },
    [](const TSettings& s) { return std::string(s.Preview ? kOn : kOff); },
    [](TSettings& s, const std::string& t) { s.Preview = t == kOn; }};
const StoredValue kEmulationValue{
    kEmulation, [] { return std::string(emulationName(kDefaultEmulation)); },
    [](const TSettings& s) { return std::string(emulationName(s.Emulation)); },
    [](TSettings& s, const std::string& t) { s.Emulation = parseEmulation(t).value_or(kDefaultEmulation); }};

const StoredValue* const kLoadOrder[] = {&kFontNameValue, &kFontSizeValue, &kPollingFreqValue, &kPeekPathsValue,
                                         &kPreviewValue,  &kPageOrientValue, &kEmulationValue};
const StoredValue* const kStoreOrder[] = {&kFontNameValue,   &kFontSizeValue, &kPollingFreqValue, &kPeekPathsValue,
                                          &kPageOrientValue, &kPreviewValue,  &kEmulationValue};
const StoredValue* const kListOrder[] = {&kFontNameValue, &kFontSizeValue,  &kPollingFreqValue, &kPageOrientValue,
                                         &kPreviewValue,  &kEmulationValue, &kPeekPathsValue};

} // namespace

std::span<const StoredValue* const> loadOrder() { return kLoadOrder; }
std::span<const StoredValue* const> storeOrder() { return kStoreOrder; }
std::span<const StoredValue* const> listOrder() { return kListOrder; }

} // namespace settings

} // namespace quillon
