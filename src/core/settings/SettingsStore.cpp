#include "settings/SettingsStore.h"

#include "settings/KeyValueStore.h"

#include <charconv>

namespace quillon {

namespace {

// A whole number in decimal with an optional sign, and nothing else.
bool wholeNumber(const std::string& text, int& value)
{
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end && begin != end;
}

int readNumber(KeyValueStore& store, const NumberSetting& setting)
{
    int v;
    if (!wholeNumber(RegReadString(store, SettingsKey, setting.name, std::to_string(setting.def)), v))
        v = setting.def;
    if (v > setting.high)
        v = setting.high;
    if (v < setting.low)
        v = setting.low;
    return v;
}

void load(TSettings& s, KeyValueStore& store, const std::string& defaultPattern)
{
    using namespace settings;
    s.FontName = RegReadString(store, SettingsKey, kFontName, kDefaultFontName);
    s.FontSize = readNumber(store, kFontSize);
    s.PollingFreq = readNumber(store, kPollingFreq);
    s.PeekPaths.clear();
    for (int i = 0; i < kMaxPeekPaths; ++i) {
        std::string pattern = RegReadString(store, SettingsKey, peekPathName(i),
                                            i == 0 ? defaultPattern : std::string());
        if (pattern.empty())
            break;
        s.PeekPaths.push_back(pattern);
    }
    s.Preview = RegReadString(store, SettingsKey, kPreview, kDefaultPreview) == kOn;
    s.PageOrient = RegReadString(store, SettingsKey, kPageOrient, kPortrait) == kLandscape ? kLandscape : kPortrait;
    const std::string emulation = RegReadString(store, SettingsKey, kEmulation, std::string(emulationName(kDefaultEmulation)));
    s.Emulation = parseEmulation(emulation).value_or(kDefaultEmulation);
}

void save(const TSettings& s, KeyValueStore& store)
{
    if (!RegDeleteKeyTree(store, SettingsKey))
        return;
    using namespace settings;
    RegWriteString(store, SettingsKey, kFontName, s.FontName);
    RegWriteString(store, SettingsKey, kFontSize.name, std::to_string(s.FontSize));
    RegWriteString(store, SettingsKey, kPollingFreq.name, std::to_string(s.PollingFreq));
    // No more than a load brings back: a longer list would lose its tail at the next start.
    for (size_t i = 0; i < s.PeekPaths.size() && i < size_t(kMaxPeekPaths); ++i)
        RegWriteString(store, SettingsKey, peekPathName(int(i)), s.PeekPaths[i]);
    // An empty list is stored as an empty first pattern: without it the next start would find no
    // pattern at all and poll the default folder again.
    if (s.PeekPaths.empty())
        RegWriteString(store, SettingsKey, peekPathName(0), "");
    RegWriteString(store, SettingsKey, kPageOrient, s.PageOrient == kLandscape ? kLandscape : kPortrait);
    RegWriteString(store, SettingsKey, kPreview, s.Preview ? kOn : kOff);
    RegWriteString(store, SettingsKey, kEmulation, std::string(emulationName(s.Emulation)));
}

} // namespace

std::string RegReadString(KeyValueStore& store, const std::string& key, const std::string& name,
                          const std::string& def)
{
    if (!store.openKey(key))
        return def;
    std::string value;
    switch (store.readString(key, name, value)) {
    case KeyValueStore::Read::Found:
        return value;
    case KeyValueStore::Read::Missing:
        return def;
    case KeyValueStore::Read::WrongType:
        throw ESettingsError("Niepoprawny typ danych dla \"" + name + "\"");
    case KeyValueStore::Read::Unreadable:
        break;
    }
    throw ESettingsError("Nie można pobrać danych z \"" + name + "\"");
}

void RegWriteString(KeyValueStore& store, const std::string& key, const std::string& name,
                    const std::string& value)
{
    if (!store.openKey(key))
        return;
    if (store.writeString(key, name, value) == KeyValueStore::Write::Refused)
        throw ESettingsError("Nie można wpisać danych do \"" + name + "\"");
}

bool RegDeleteKeyTree(KeyValueStore& store, const std::string& key)
{
    return store.deleteKeyTree(key);
}

void ReadWriteSettings(const std::string& mode, TSettings& settings, KeyValueStore& store,
                       const std::string& defaultPattern)
{
    if (mode == "READ")
        load(settings, store, defaultPattern);
    else if (mode == "WRITE")
        save(settings, store);
}

} // namespace quillon
