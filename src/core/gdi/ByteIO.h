#pragma once
// Little-endian byte writer and bounds-checked byte reader. Every binary layout of the program
// (EMF records, page-store records) is written and read through these two.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

namespace quillon {

// The writer keeps the vector's storage at hand, so a value costs a bounds check and a copy. While
// a writer is in use, nothing else may resize its vector.
class ByteWriter {
public:
    // Appends to out.
    explicit ByteWriter(std::vector<uint8_t>& out) : ByteWriter(out, out.size()) {}
    // Writes over out from position at on; out grows when a write goes past its end.
    ByteWriter(std::vector<uint8_t>& out, size_t at)
        : m_out(out), m_data(out.data()), m_end(out.size()), m_pos(at)
    {
    }

    size_t size() const { return m_out.size(); }
    size_t position() const { return m_pos; }
    void u8(uint8_t v) { put(&v, 1); }
    void u16(uint16_t v)
    {
        uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
        put(b, 2);
    }
    void u32(uint32_t v)
    {
        uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        put(b, 4);
    }
    void i32(int32_t v) { u32(uint32_t(v)); }
    void f32(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        u32(bits);
    }
    void bytes(const void* p, size_t n) { put(static_cast<const uint8_t*>(p), n); }
    // Arrays of values, each as u16() or i32() writes it: on a little-endian machine in one copy.
    void u16s(std::span<const char16_t> v)
    {
        if constexpr (std::endian::native == std::endian::little) {
            put(reinterpret_cast<const uint8_t*>(v.data()), v.size() * 2);
        } else {
            for (char16_t c : v)
                u16(uint16_t(c));
        }
    }
    void i32s(std::span<const int32_t> v)
    {
        if constexpr (std::endian::native == std::endian::little) {
            put(reinterpret_cast<const uint8_t*>(v.data()), v.size() * 4);
        } else {
            for (int32_t x : v)
                i32(x);
        }
    }
    void zeros(size_t n)
    {
        if (n == 0)
            return;
        makeRoom(n);
        std::memset(m_data + m_pos, 0, n);
        m_pos += n;
    }
    // Overwrites a 32-bit value written earlier at absolute position pos.
    void patchU32(size_t pos, uint32_t v)
    {
        m_out[pos] = uint8_t(v);
        m_out[pos + 1] = uint8_t(v >> 8);
        m_out[pos + 2] = uint8_t(v >> 16);
        m_out[pos + 3] = uint8_t(v >> 24);
    }

private:
    void makeRoom(size_t n)
    {
        if (m_pos + n > m_end) {
            m_out.resize(m_pos + n);
            m_data = m_out.data();
            m_end = m_out.size();
        }
    }
    void put(const uint8_t* b, size_t n)
    {
        if (n == 0)
            return;
        makeRoom(n);
        std::memcpy(m_data + m_pos, b, n);
        m_pos += n;
    }

    std::vector<uint8_t>& m_out;
    uint8_t* m_data; // m_out's storage and size, as of the last growth
    size_t m_end;
    size_t m_pos;
};

// Reads from a fixed span; any read past the end sets the failed flag and yields zeros, so a
// parser can read a whole record and check ok() once.
class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const uint8_t> data) : m_data(data) {}

    size_t size() const { return m_data.size(); }
    size_t position() const { return m_pos; }
    size_t remaining() const { return m_pos <= m_data.size() ? m_data.size() - m_pos : 0; }
    bool ok() const { return !m_failed; }

    bool seek(size_t pos)
    {
        if (pos > m_data.size()) {
            m_failed = true;
            return false;
        }
        m_pos = pos;
        return true;
    }
    bool skip(size_t n) { return n <= remaining() ? seek(m_pos + n) : (m_failed = true, false); }

    uint8_t u8() { return have(1) ? m_data[m_pos++] : 0; }
    uint16_t u16()
    {
        if (!have(2))
            return 0;
        uint16_t v = uint16_t(m_data[m_pos] | (m_data[m_pos + 1] << 8));
        m_pos += 2;
        return v;
    }
    uint32_t u32()
    {
        if (!have(4))
            return 0;
        uint32_t v = uint32_t(m_data[m_pos]) | uint32_t(m_data[m_pos + 1]) << 8
                   | uint32_t(m_data[m_pos + 2]) << 16 | uint32_t(m_data[m_pos + 3]) << 24;
        m_pos += 4;
        return v;
    }
    int32_t i32() { return int32_t(u32()); }
    int16_t i16() { return int16_t(u16()); }
    float f32()
    {
        uint32_t bits = u32();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    // A view of the next n bytes, or an empty span (and failure) when fewer remain.
    std::span<const uint8_t> bytes(size_t n)
    {
        if (!have(n))
            return {};
        auto s = m_data.subspan(m_pos, n);
        m_pos += n;
        return s;
    }

private:
    bool have(size_t n)
    {
        if (m_failed || n > remaining()) {
            m_failed = true;
            return false;
        }
        return true;
    }

    std::span<const uint8_t> m_data;
    size_t m_pos = 0;
    bool m_failed = false;
};

} // namespace quillon
