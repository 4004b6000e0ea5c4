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

// A file that the program only reads (the help page Pomoc.html, data): beside the program first,
// then in the installed data folder (share/quillon-print beside the program's bin folder), then
// in quillon-print under the system's data folders. Empty when it is nowhere.
std::string dataFilePath(const std::string& name);
// The same, for a program living in programDir.
std::string dataFilePath(const std::string& name, const std::string& programDir);

} // namespace quillon
