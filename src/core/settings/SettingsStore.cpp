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

int limitedNumber(const std::string& text, int fallback, int low, int high)
{
    int v;
    if (!wholeNumber(text, v))
        v = fallback;
    if (v > high)
        v = high;
    if (v < low)
        v = low;
    return v;
}

void load(TSettings& s, KeyValueStore& store, const std::string& defaultPattern)
{
    s.FontName = RegReadString(store, SettingsKey, "FontName", "Courier New");
    s.FontSize = limitedNumber(RegReadString(store, SettingsKey, "FontSize", "12"), 12, 6, 12);
    s.PollingFreq = limitedNumber(RegReadString(store, SettingsKey, "PollingFreq", "4"), 4, 2, 10);
    s.PeekPaths.clear();
    for (int i = 0; i < kMaxPeekPaths; ++i) {
        std::string pattern = RegReadString(store, SettingsKey, "PeekPath" + std::to_string(i),
                                            i == 0 ? defaultPattern : std::string());
        if (pattern.empty())
            break;
        s.PeekPaths.push_back(pattern);
    }
    s.Preview = RegReadString(store, SettingsKey, "Preview", "OFF") == "ON";
    s.PageOrient = RegReadString(store, SettingsKey, "PageOrient", "P") == "L" ? "L" : "P";
}

void save(const TSettings& s, KeyValueStore& store)
{
    if (!RegDeleteKeyTree(store, SettingsKey))
        return;
    RegWriteString(store, SettingsKey, "FontName", s.FontName);
    RegWriteString(store, SettingsKey, "FontSize", std::to_string(s.FontSize));
    RegWriteString(store, SettingsKey, "PollingFreq", std::to_string(s.PollingFreq));
    for (size_t i = 0; i < s.PeekPaths.size(); ++i)
        RegWriteString(store, SettingsKey, "PeekPath" + std::to_string(i), s.PeekPaths[i]);
    // An empty list is stored as an empty first pattern: without it the next start would find no
    // pattern at all and poll the default folder again.
    if (s.PeekPaths.empty())
        RegWriteString(store, SettingsKey, "PeekPath0", "");
    RegWriteString(store, SettingsKey, "PageOrient", s.PageOrient == "L" ? "L" : "P");
    RegWriteString(store, SettingsKey, "Preview", s.Preview ? "ON" : "OFF");
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
