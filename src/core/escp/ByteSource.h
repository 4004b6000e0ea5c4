#pragma once
// The open spool file of the running job, as the page renderer reads it.

#include <cstddef>

namespace quillon {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to size bytes at the current position; fewer only at the end of the data.
    // A failed read returns 0.
    virtual size_t read(char* buffer, size_t size) = 0;
};

} // namespace quillon
