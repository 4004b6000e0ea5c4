#include "SettingsAccess.h"

#include "QSettingsStore.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"

namespace quillon {

namespace {

bool readWrite(const char* mode, TSettings& settings, std::string& error)
{
    QSettingsStore store;
    try {
        ReadWriteSettings(mode, settings, store, defaultFolderPattern());
    } catch (const ESettingsError& e) {
        error = e.message();
        return false;
    }
    return true;
}

} // namespace

bool loadSettings(TSettings& settings, std::string& error)
{
    return readWrite("READ", settings, error);
}

bool storeSettings(const TSettings& settings, std::string& error)
{
    TSettings copy = settings;
    return readWrite("WRITE", copy, error);
}

std::string describeSettings(const TSettings& s)
{
    std::string text;
    for (const settings::StoredValue* value : settings::listOrder()) {
        if (!value->isPatternList()) {
            text += std::string(value->name) + "=" + value->text(s) + "\n";
            continue;
        }
        for (size_t i = 0; i < s.PeekPaths.size(); ++i)
            text += settings::peekPathName(int(i)) + "=" + s.PeekPaths[i] + "\n";
    }
    return text;
}

} // namespace quillon
