#pragma once
// Loading and storing the settings record.

#include "report/ReportErrors.h"
#include "settings/Settings.h"

#include <string>

namespace quillon {

class KeyValueStore;

constexpr const char* SettingsKey = "Software\\Terlo\\QuillonPrint";

// An error of the settings store; its message is the one the user sees.
class ESettingsError : public Exception {
public:
    using Exception::Exception;
    const char* className() const override { return "ERegistryException"; }
};

// The stored value, or def when the key or the value is missing. Throws ESettingsError for a
// value of the wrong type or one whose data cannot be had.
std::string RegReadString(KeyValueStore& store, const std::string& key, const std::string& name,
                          const std::string& def);
// Writes the value; a key that cannot be opened skips it silently, a refused write throws.
void RegWriteString(KeyValueStore& store, const std::string& key, const std::string& name,
                    const std::string& value);
bool RegDeleteKeyTree(KeyValueStore& store, const std::string& key);

// "READ" loads the record from the store, "WRITE" stores it; any other word does nothing.
// defaultPattern: the first folder pattern when none is stored.
void ReadWriteSettings(const std::string& mode, TSettings& settings, KeyValueStore& store,
                       const std::string& defaultPattern);

} // namespace quillon
