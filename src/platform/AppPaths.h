#pragma once
// Where the program keeps its files on this desktop.

#include <string>

namespace quillon {

// Organisation and application names: the settings file and the data folder follow them.
constexpr const char* kOrganisationName = "Terlo";
constexpr const char* kApplicationName = "QuillonPrint";

// Sets the organisation and application names of the running Qt application.
void setApplicationNames();

// The per-user data folder (~/.local/share/Terlo/QuillonPrint): the page store and the single
// page pictures go there. Created when missing.
std::string appDataDir();

} // namespace quillon
