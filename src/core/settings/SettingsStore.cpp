#include "settings/SettingsStore.h"

#include "settings/KeyValueStore.h"
#include "settings/SettingsTable.h"

namespace quillon {

namespace {

void loadPatterns(TSettings& s, KeyValueStore& store, const std::string& defaultPattern)
{
    using namespace settings;
    s.PeekPaths.clear();
    for (int i = 0; i < kMaxPeekPaths; ++i) {
        std::string pattern = RegReadString(store, SettingsKey, peekPathName(i),
                                            i == 0 ? defaultPattern : std::string());
        if (pattern.empty())
            break;
        s.PeekPaths.push_back(pattern);
    }
}

void storePatterns(const TSettings& s, KeyValueStore& store)
{
    using namespace settings;
    // No more than a load brings back: a longer list would lose its tail at the next start.
    for (size_t i = 0; i < s.PeekPaths.size() && i < size_t(kMaxPeekPaths); ++i)
        RegWriteString(store, SettingsKey, peekPathName(int(i)), s.PeekPaths[i]);
    // An empty list is stored as an empty first pattern: without it the next start would find no
    // pattern at all and poll the default folder again.
    if (s.PeekPaths.empty())
        RegWriteString(store, SettingsKey, peekPathName(0), "");
}

void load(TSettings& s, KeyValueStore& store, const std::string& defaultPattern)
{
    for (const settings::StoredValue* value : settings::loadOrder()) {
        if (value->isPatternList())
            loadPatterns(s, store, defaultPattern);
        else
            value->take(s, RegReadString(store, SettingsKey, value->name, value->defaultText()));
    }
}

void save(const TSettings& s, KeyValueStore& store)
{
    if (!RegDeleteKeyTree(store, SettingsKey))
        return;
    for (const settings::StoredValue* value : settings::storeOrder()) {
        if (value->isPatternList())
            storePatterns(s, store);
        else
            RegWriteString(store, SettingsKey, value->name, value->text(s));
    }
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
