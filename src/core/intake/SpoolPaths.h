#pragma once
// Folder patterns: a folder and a file mask, such as "/home/ala/DOSPRN/*.prn".

#include <string>

namespace quillon {

// The folder of a pattern: everything before its last "/" ("/" itself for a pattern in the root
// folder, and also for one without any folder). A leading "~/" stands for home.
std::string patternDirectory(const std::string& pattern, const std::string& home);
// True for a pattern that names its folder in full: from the root ("/"), or from the home folder
// ("~/"). Only such patterns are polled; any other would depend on the folder the program was
// started from, or ("*") mean the root folder.
bool isAbsolutePattern(const std::string& pattern);
// The message that a pattern is passed over because it is not absolute.
std::string relativePatternMessage(const std::string& pattern);
// The mask of a pattern: everything after its last "/".
std::string patternMask(const std::string& pattern);
// The folder with a "/" behind it unless it already ends in one.
std::string withTrailingSlash(const std::string& dir);

} // namespace quillon
