#pragma once
// The spool folders as the intake sees them.

#include "escp/ByteSource.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

struct SpoolEntry {
    std::string name;    // without the folder
    int64_t mtimeNs = 0; // last write, full resolution
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
};

// What makes a file this file: a new file under an old name is another file.
struct FileIdentity {
    std::string path;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t mtimeNs = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

class SpoolFile : public ByteSource {
public:
    // Reads up to size bytes at offset without moving the read position.
    virtual size_t readAt(int64_t offset, char* buffer, size_t size) = 0;
    virtual FileIdentity identity() const = 0;
};

enum class TakeResult {
    Taken,
    Busy,       // another process still has it open for writing
    Gone,       // it vanished before it could be opened
    Unreadable, // it cannot be opened for reading
    NotRegular, // it turned out not to be a regular file
};

class SpoolFileSystem {
public:
    virtual ~SpoolFileSystem() = default;
    // The regular files in dir whose names match mask (wildcards, letter case ignored). Links,
    // FIFOs, devices and folders are left out without being opened.
    virtual std::vector<SpoolEntry> listMatching(const std::string& dir, const std::string& mask) = 0;
    // Opens a file for a job unless a writer still holds it.
    virtual std::unique_ptr<SpoolFile> take(const std::string& path, TakeResult& result) = 0;
    virtual std::optional<FileIdentity> identityOf(const std::string& path) = 0;
    virtual bool remove(const std::string& path) = 0;
    // Renames the file beside itself with the suffix ".failed", never over an existing file;
    // the new path, or nothing when it cannot be renamed.
    virtual std::optional<std::string> keepAsFailed(const std::string& path) = 0;
};

// Files that must not be taken again: those that could not be removed after their job, or
// could not be opened at all. Kept across runs of the program.
class SkipList {
public:
    virtual ~SkipList() = default;
    virtual bool contains(const FileIdentity& file) const = 0;
    virtual void add(const FileIdentity& file) = 0;
    // Forgets the entries for which keep returns false.
    virtual void prune(const std::function<bool(const FileIdentity&)>& keep) = 0;
};

} // namespace quillon
