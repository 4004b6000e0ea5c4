#pragma once
// Checks a picture the way another EMF reader would: walks its records within their bounds and
// runs libuemf's bounds-checked validation over each one.

#include "gdi/EmfFormat.h"

#include <uemf.h>
#include <uemf_safe.h>

#include <cstring>
#include <string>
#include <vector>

namespace quillon::test {

struct EmfCheck {
    bool ok = true;
    std::string error;
    uint32_t records = 0;
    std::vector<uint32_t> types;
};

inline EmfCheck checkEmf(const std::vector<uint8_t>& bytes)
{
    EmfCheck c;
    auto header = emf::parseHeader(bytes, &c.error);
    if (!header) {
        c.ok = false;
        return c;
    }
    if (header->nBytes != bytes.size()) {
        c.ok = false;
        c.error = "nBytes " + std::to_string(header->nBytes) + " != " + std::to_string(bytes.size());
        return c;
    }
    // libuemf reads a record in place and wants it aligned.
    std::vector<uint32_t> aligned((bytes.size() + 3) / 4);
    std::memcpy(aligned.data(), bytes.data(), bytes.size());
    const char* base = reinterpret_cast<const char*>(aligned.data());
    size_t at = 0;
    while (at < bytes.size()) {
        ByteReader in(std::span<const uint8_t>(bytes).subspan(at));
        uint32_t type = in.u32();
        uint32_t size = in.u32();
        if (!in.ok() || size < 8 || size % 4 || size > bytes.size() - at) {
            c.ok = false;
            c.error = "record at " + std::to_string(at) + " has a bad size";
            return c;
        }
        if (!U_emf_record_safe(base + at)) {
            c.ok = false;
            c.error = "libuemf rejects record type " + std::to_string(type) + " at " + std::to_string(at);
            return c;
        }
        c.types.push_back(type);
        ++c.records;
        at += size;
    }
    if (c.records != header->nRecords) {
        c.ok = false;
        c.error = "nRecords " + std::to_string(header->nRecords) + " != " + std::to_string(c.records);
    } else if (c.types.empty() || c.types.back() != emf::EMR_EOF) {
        c.ok = false;
        c.error = "the last record is not EMR_EOF";
    }
    return c;
}

} // namespace quillon::test
