#pragma once
// The settings record loaded from and stored in the user's settings file.

#include "settings/Settings.h"

#include <string>

namespace quillon {

// Loads the record; false with the store's message (the fields read before the error keep their
// new values).
bool loadSettings(TSettings& settings, std::string& error);
// Stores the record; false with the store's message.
bool storeSettings(const TSettings& settings, std::string& error);
// The record as the store writes it, one "Name=value" line each.
std::string describeSettings(const TSettings& settings);

} // namespace quillon
