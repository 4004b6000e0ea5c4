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

// A spool file taken for a job. Taking it claims it: while the job runs nobody else can take it
// (another pass, another program on the same folders), and a new file written under its name is a
// new job. Closing it without removing it or keeping it as failed leaves it claimed, so that this
// program or the next one to start takes it again (a job is never lost).
class SpoolFile : public ByteSource {
public:
    // Reads up to size bytes at offset without moving the read position.
    virtual size_t readAt(int64_t offset, char* buffer, size_t size) = 0;
    // The file as it was taken; its path is the name it was found under.
    virtual FileIdentity identity() const = 0;
};

enum class TakeResult {
    Taken,
    Busy,       // another process still has it open for writing
    Gone,       // it vanished before it could be opened
    Unreadable, // it cannot be opened for reading
    NotRegular, // it turned out not to be a regular file
    NoSpace,    // its folder's file system is full: it cannot be claimed now, and waits
};

class SpoolFileSystem {
public:
    virtual ~SpoolFileSystem() = default;
    // The regular files in dir whose names match mask (wildcards, letter case ignored). Links,
    // FIFOs, devices and folders are left out without being opened.
    virtual std::vector<SpoolEntry> listMatching(const std::string& dir, const std::string& mask) = 0;
    // Claims and opens a file for a job unless a writer still holds it.
    virtual std::unique_ptr<SpoolFile> take(const std::string& path, TakeResult& result) = 0;
    // Files of dir matching mask that were claimed earlier and left unfinished (by a program that
    // ended, or given back by this one), claimed again for the caller; oldest first.
    virtual std::vector<std::unique_ptr<SpoolFile>> reclaim(const std::string& dir, const std::string& mask) = 0;
    virtual std::optional<FileIdentity> identityOf(const std::string& path) = 0;
    // Removes exactly the file that was taken, whatever now stands under its old name.
    virtual bool remove(SpoolFile& file) = 0;
    // Puts the file back beside its old name with the suffix ".failed", never over an existing
    // file; the new path, or nothing when that cannot be done.
    virtual std::optional<std::string> keepAsFailed(SpoolFile& file) = 0;
    // The job could not run for now: the file goes back under its old name when that is free, or
    // stays claimed for a later reclaim.
    virtual void release(SpoolFile& file) = 0;
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
