#pragma once
// A stream that can be read only once (a pipe, standard input) copied into a file that can be read
// again and again. The file has no name from the start, so nothing is ever left behind.

#include <atomic>
#include <string>

namespace quillon {

// Copies in to its end into a new nameless file in folder; the file's descriptor, positioned at
// its end, or -1 with the reason. A set cancelled stops the copy.
int copyToPrivateFile(int in, const std::string& folder, std::string& error,
                      const std::atomic<bool>* cancelled = nullptr);

} // namespace quillon
