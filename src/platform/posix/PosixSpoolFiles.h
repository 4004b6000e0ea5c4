#pragma once
// Spool folders on a POSIX system. A file is claimed for its job by moving it into a locked folder
// of its own under the spool folder's ".quillon-claimed", so two programs on the same folders never
// take the same file, and a file found there unlocked (its program ended mid-job) is taken again. A file still held open for writing by another process is
// recognised with a read lease, which the kernel refuses while any writer has the file open;
// where leases are not available (network file systems, files of other users) a file is taken
// once its size and time stamp have stayed the same over two polls, on our own clock.

#include "intake/SpoolFiles.h"

#include <chrono>
#include <map>

namespace quillon {

class PosixSpoolFileSystem final : public SpoolFileSystem {
public:
    PosixSpoolFileSystem();

    std::vector<SpoolEntry> listMatching(const std::string& dir, const std::string& mask) override;
    std::unique_ptr<SpoolFile> take(const std::string& path, TakeResult& result) override;
    std::vector<std::unique_ptr<SpoolFile>> reclaim(const std::string& dir, const std::string& mask) override;
    std::optional<FileIdentity> identityOf(const std::string& path) override;
    bool remove(SpoolFile& file) override;
    std::optional<std::string> keepAsFailed(SpoolFile& file) override;
    void release(SpoolFile& file) override;

    // How long a file without a lease must stay unchanged before it is taken.
    void setSettleTime(std::chrono::milliseconds t) { m_settle = t; }

private:
    bool settled(const FileIdentity& id);
    int openUnwritten(const std::string& path, FileIdentity& identity, TakeResult& result);

    struct Seen {
        FileIdentity identity;
        std::chrono::steady_clock::time_point since;
    };
    std::map<std::string, Seen> m_seen;
    std::chrono::milliseconds m_settle{1000};
};

// The remembered files, one line each in a text file of the data folder.
class FileSkipList final : public SkipList {
public:
    explicit FileSkipList(std::string path);

    bool contains(const FileIdentity& file) const override;
    void add(const FileIdentity& file) override;
    void prune(const std::function<bool(const FileIdentity&)>& keep) override;
    size_t size() const { return m_entries.size(); }

private:
    bool save() const;

    std::string m_path;
    std::vector<FileIdentity> m_entries;
};

} // namespace quillon
