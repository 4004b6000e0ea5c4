#pragma once
// The settings key as a QSettings file in the native format: on Linux
// ~/.config/Terlo/QuillonPrint.conf, whose top level is the key "Software\Terlo\QuillonPrint".

#include "settings/KeyValueStore.h"

#include <QString>

namespace quillon {

class QSettingsStore final : public KeyValueStore {
public:
    QSettingsStore();

    bool openKey(const std::string& key) override;
    Read readString(const std::string& key, const std::string& name, std::string& value) override;
    Write writeString(const std::string& key, const std::string& name, const std::string& value) override;
    bool deleteKeyTree(const std::string& key) override;

    // The file behind the store.
    QString fileName() const;

private:
    // The group inside the file for a key path, or nothing when the key lies outside ours.
    bool groupOf(const std::string& key, QString& group) const;
};

// The first folder pattern when none is stored: ~/DOSPRN/*.prn as an absolute path.
std::string defaultFolderPattern();

} // namespace quillon
