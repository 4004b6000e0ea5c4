#include "posix/PosixSpoolFiles.h"

#include "posix/DescriptorIo.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

namespace {

int64_t mtimeNs(const struct stat& st)
{
    return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

FileIdentity identityFrom(const std::string& path, const struct stat& st)
{
    return {path, uint64_t(st.st_dev), uint64_t(st.st_ino), int64_t(st.st_size), mtimeNs(st)};
}

class PosixSpoolFile final : public SpoolFile {
public:
    PosixSpoolFile(int fd, FileIdentity identity) : m_fd(fd), m_identity(std::move(identity)) {}
    ~PosixSpoolFile() override { ::close(m_fd); }

    size_t read(char* buffer, size_t size) override { return readFully(m_fd, buffer, size); }
    size_t readAt(int64_t offset, char* buffer, size_t size) override
    {
        return readFullyAt(m_fd, buffer, size, off_t(offset));
    }
    FileIdentity identity() const override { return m_identity; }

private:
    int m_fd;
    FileIdentity m_identity;
};

} // namespace

PosixSpoolFileSystem::PosixSpoolFileSystem()
{
    // A broken lease would be signalled with SIGIO, whose default action ends the program.
    // Leases are only taken and dropped at once here, but a writer may open the file between.
    std::signal(SIGIO, SIG_IGN);
}

std::vector<SpoolEntry> PosixSpoolFileSystem::listMatching(const std::string& dir, const std::string& mask)
{
    std::vector<SpoolEntry> entries;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return entries;
    const int dfd = ::dirfd(d);
    while (struct dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        if (::fnmatch(mask.c_str(), e->d_name, FNM_CASEFOLD | FNM_PERIOD) != 0)
            continue;
        struct stat st;
        if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        entries.push_back({e->d_name, mtimeNs(st), uint64_t(st.st_dev), uint64_t(st.st_ino),
                           int64_t(st.st_size)});
    }
    ::closedir(d);
    return entries;
}

bool PosixSpoolFileSystem::settled(const FileIdentity& id)
{
    const auto now = std::chrono::steady_clock::now();
    auto it = m_seen.find(id.path);
    if (it == m_seen.end() || !(it->second.identity == id)) {
        m_seen[id.path] = {id, now};
        return false;
    }
    return now - it->second.since >= m_settle;
}

std::unique_ptr<SpoolFile> PosixSpoolFileSystem::take(const std::string& path, TakeResult& result)
{
    // O_NONBLOCK: should the name have become a FIFO since it was listed, opening must not wait.
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result = errno == ENOENT ? TakeResult::Gone : TakeResult::Unreadable;
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result = TakeResult::NotRegular;
        return nullptr;
    }
    const FileIdentity id = identityFrom(path, st);
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        m_seen.erase(path);
    } else if (errno == EAGAIN || errno == EBUSY) {
        ::close(fd);
        result = TakeResult::Busy;
        return nullptr;
    } else if (!settled(id)) {
        // No lease here: wait until the file has stopped changing.
        ::close(fd);
        result = TakeResult::Busy;
        return nullptr;
    } else {
        m_seen.erase(path);
    }
    // Back to blocking reads for the job.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    result = TakeResult::Taken;
    return std::make_unique<PosixSpoolFile>(fd, id);
}

std::optional<FileIdentity> PosixSpoolFileSystem::identityOf(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return std::nullopt;
    return identityFrom(path, st);
}

bool PosixSpoolFileSystem::remove(const std::string& path)
{
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::optional<std::string> PosixSpoolFileSystem::keepAsFailed(const std::string& path)
{
    for (int n = 1; n < 1000; ++n) {
        std::string target = n == 1 ? path + ".failed" : path + "." + std::to_string(n) + ".failed";
        // A hard link never replaces an existing name; the old name goes once the new one exists.
        if (::link(path.c_str(), target.c_str()) == 0) {
            ::unlink(path.c_str());
            return target;
        }
        if (errno != EEXIST) {
            // File systems without hard links: rename, after checking the name is free.
            struct stat st;
            if (errno == EPERM && ::lstat(target.c_str(), &st) != 0 && ::rename(path.c_str(), target.c_str()) == 0)
                return target;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

FileSkipList::FileSkipList(std::string path) : m_path(std::move(path))
{
    std::ifstream in(m_path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        FileIdentity id;
        if (fields >> id.device >> id.inode >> id.size >> id.mtimeNs) {
            fields.get();
            std::getline(fields, id.path);
            if (!id.path.empty())
                m_entries.push_back(id);
        }
    }
}

bool FileSkipList::contains(const FileIdentity& file) const
{
    for (const FileIdentity& e : m_entries)
        if (e == file)
            return true;
    return false;
}

void FileSkipList::add(const FileIdentity& file)
{
    if (contains(file))
        return;
    m_entries.push_back(file);
    save();
}

void FileSkipList::prune(const std::function<bool(const FileIdentity&)>& keep)
{
    const size_t before = m_entries.size();
    std::erase_if(m_entries, [&](const FileIdentity& e) { return !keep(e); });
    if (m_entries.size() != before)
        save();
}

void FileSkipList::save() const
{
    const std::string temp = m_path + ".new";
    {
        std::ofstream out(temp, std::ios::trunc);
        for (const FileIdentity& e : m_entries)
            out << e.device << ' ' << e.inode << ' ' << e.size << ' ' << e.mtimeNs << ' ' << e.path << '\n';
        if (!out)
            return;
    }
    std::rename(temp.c_str(), m_path.c_str());
}

} // namespace quillon
