#pragma once
// Whole files that are either complete or not there: written beside their final name, flushed to
// the disk and renamed over it only when every byte is stored. A file that was good before is never
// replaced by a worse one, and nothing is left behind when writing fails.

#include <cstdint>
#include <span>
#include <string>

namespace quillon {

// path is taken byte for byte. False with the reason when the file could not be stored; the old
// file under path, if any, is then untouched.
bool replaceFile(const std::string& path, std::span<const uint8_t> bytes, std::string& error);

} // namespace quillon
