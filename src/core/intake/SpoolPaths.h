#pragma once
// Folder patterns: a folder and a file mask, such as "/home/ala/DOSPRN/*.prn".

#include <string>

namespace quillon {

// The folder of a pattern: everything before its last "/" ("/" itself for a pattern in the root
// folder, and also for one without any folder). A leading "~/" stands for home.
std::string patternDirectory(const std::string& pattern, const std::string& home);
// The mask of a pattern: everything after its last "/".
std::string patternMask(const std::string& pattern);
// The folder with a "/" behind it unless it already ends in one.
std::string withTrailingSlash(const std::string& dir);

} // namespace quillon
