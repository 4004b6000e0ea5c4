#pragma once
// An in-memory file access whose n-th file operation (write, flush, close or read) fails. An
// output file keeps what was written in a buffer until a flush or the close hands it to the
// file; a failed flush or close loses the buffer, as a full disk does.

#include "report/FileAccess.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillon::test {

class FailingFiles : public FileAccess {
public:
    int failAt = 0; // the operation that fails, counted from 1 over all files; 0: none
    int operations = 0;
    std::vector<std::string> failed; // "write", "flush", "close" or "read" of the failed call
    std::map<std::string, std::vector<uint8_t>> contents;

    // Counts one operation; false when it is the one that fails.
    bool step(const char* what)
    {
        if (++operations != failAt)
            return true;
        failed.push_back(what);
        return false;
    }

    std::unique_ptr<OutputFile> createExclusive(const std::string& path, std::string&) override
    {
        contents[path].clear();
        return std::make_unique<Output>(*this, path);
    }
    std::unique_ptr<InputFile> openDenyWrite(const std::string& path, OpenFailure& failure) override
    {
        auto it = contents.find(path);
        if (it == contents.end()) {
            failure = OpenFailure::NotFound;
            return nullptr;
        }
        failure = OpenFailure::None;
        return std::make_unique<Input>(*this, it->second);
    }
    bool writeWholeFile(const std::string& path, std::span<const uint8_t> bytes) override
    {
        contents[path].assign(bytes.begin(), bytes.end());
        return true;
    }
    std::string programDir() const override { return "/mem"; }

private:
    class Output : public OutputFile {
    public:
        Output(FailingFiles& files, std::string path) : m_files(files), m_path(std::move(path)) {}
        bool write(const void* data, size_t size) override
        {
            if (!m_files.step("write"))
                return false;
            auto p = static_cast<const uint8_t*>(data);
            m_pending.insert(m_pending.end(), p, p + size);
            m_position += int64_t(size);
            return true;
        }
        int64_t position() const override { return m_position; }
        bool flush() override { return hand("flush"); }
        bool close() override { return hand("close"); }

    private:
        bool hand(const char* what)
        {
            const bool ok = m_files.step(what);
            if (ok) {
                auto& file = m_files.contents[m_path];
                file.insert(file.end(), m_pending.begin(), m_pending.end());
            }
            m_pending.clear();
            return ok;
        }

        FailingFiles& m_files;
        std::string m_path;
        std::vector<uint8_t> m_pending;
        int64_t m_position = 0;
    };

    class Input : public InputFile {
    public:
        Input(FailingFiles& files, const std::vector<uint8_t>& bytes) : m_files(files), m_bytes(bytes) {}
        int64_t size() const override { return int64_t(m_bytes.size()); }
        bool readAt(int64_t offset, void* data, size_t size) override
        {
            if (!m_files.step("read"))
                return false;
            if (offset < 0 || uint64_t(offset) + size > m_bytes.size())
                return false;
            std::memcpy(data, m_bytes.data() + offset, size);
            return true;
        }

    private:
        FailingFiles& m_files;
        std::vector<uint8_t> m_bytes; // a copy: the store as it was when opened
    };
};

} // namespace quillon::test
