#pragma once
// The stored values of the settings record, each described once: its name, its default as
// stored, its text as stored and listed, and how a stored text is taken into the record. Loading,
// storing and listing the settings go through this table, each in its own order.

#include "settings/Settings.h"

#include <span>
#include <string>

namespace quillon::settings {

struct StoredValue {
    const char* name; // nullptr for the folder patterns, stored one a value: PeekPath0, PeekPath1, ...
    std::string (*defaultText)();
    std::string (*text)(const TSettings&);
    void (*take)(TSettings&, const std::string& text);

    bool isPatternList() const { return name == nullptr; }
};

// Loading: the fonts, the interval, the patterns, then Preview before PageOrient.
std::span<const StoredValue* const> loadOrder();
// Storing: the patterns after the interval, then PageOrient before Preview.
std::span<const StoredValue* const> storeOrder();
// Listing (quillon-render --settings): as stored, the patterns last.
std::span<const StoredValue* const> listOrder();

} // namespace quillon::settings
