#pragma once
// A per-user store of named string values organised by key path: what the settings are kept in.

#include <string>

namespace quillon {

class KeyValueStore {
public:
    virtual ~KeyValueStore() = default;

    enum class Read { Found, Missing, WrongType, Unreadable };
    enum class Write { Written, NoKey, Refused };

    // Opens the key, creating it when missing; false when that is impossible.
    virtual bool openKey(const std::string& key) = 0;
    virtual Read readString(const std::string& key, const std::string& name, std::string& value) = 0;
    virtual Write writeString(const std::string& key, const std::string& name, const std::string& value) = 0;
    // Deletes the key with every value and subkey below it; true when the key itself is gone.
    virtual bool deleteKeyTree(const std::string& key) = 0;
};

} // namespace quillon
