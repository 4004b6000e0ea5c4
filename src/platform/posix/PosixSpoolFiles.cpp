#include "posix/PosixSpoolFiles.h"

#include "TextUtil.h"
#include "posix/AtomicFile.h"
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
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

namespace quillon {

namespace {

int64_t mtimeNs(const struct stat& st)
{
    return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

std::string withSlash(const std::string& dir)
{
    return !dir.empty() && dir.back() == '/' ? dir : dir + "/";
}

FileIdentity identityFrom(const std::string& path, const struct stat& st)
{
    return {path, uint64_t(st.st_dev), uint64_t(st.st_ino), int64_t(st.st_size), mtimeNs(st)};
}

constexpr const char* kClaimFolder = ".quillon-claimed";

// Removes an emptied claim folder, and the claim root with it when nothing else is claimed, so that
// no trace is left in the spool folder. Whoever removes the last claim removes the root: each
// program removes its claim before it tries the root.
void removeClaimFolder(const std::string& claim)
{
    ::rmdir(claim.c_str());
    ::rmdir(folderOfPath(claim).c_str());
}

// A file taken for a job. A claimed file lives alone in a folder of its own under the spool
// folder's ".quillon-claimed", whose exclusive lock the job holds: the lock goes with the program,
// so a folder found unlocked belongs to a job that never finished. A file that could not be
// claimed (a read-only spool folder) is read where it stands.
class PosixSpoolFile final : public SpoolFile {
public:
    PosixSpoolFile(int fd, FileIdentity identity, int claimDir, std::string claimPath)
        : m_fd(fd), m_identity(std::move(identity)), m_claimDir(claimDir), m_claimPath(std::move(claimPath))
    {
    }
    ~PosixSpoolFile() override
    {
        ::close(m_fd);
        if (m_claimDir >= 0)
            ::close(m_claimDir); // the lock goes with it
    }

    size_t read(char* buffer, size_t size) override { return readFully(m_fd, buffer, size); }
    size_t readAt(int64_t offset, char* buffer, size_t size) override
    {
        return readFullyAt(m_fd, buffer, size, off_t(offset));
    }
    FileIdentity identity() const override { return m_identity; }

    bool claimed() const { return m_claimDir >= 0; }
    int fd() const { return m_fd; }
    // The claimed file and its folder.
    std::string claimedFile() const { return m_claimPath + "/" + nameOfPath(m_identity.path); }
    const std::string& claimFolder() const { return m_claimPath; }
    // The claim is over: its folder goes (it is empty by now) and its lock with it.
    void dropClaim()
    {
        if (m_claimDir < 0)
            return;
        ::close(m_claimDir);
        m_claimDir = -1;
        removeClaimFolder(m_claimPath);
    }

private:
    int m_fd;
    FileIdentity m_identity;
    int m_claimDir;
    std::string m_claimPath;
};

// Whether another process holds the file open for writing: a read lease is refused then.
// True when it surely does not; nothing when leases cannot tell here.
std::optional<bool> noWriter(int fd)
{
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        return true;
    }
    if (errno == EAGAIN || errno == EBUSY)
        return false;
    return std::nullopt;
}

// The folder or the file may not be changed here: no claim can be made.
bool cannotWrite(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

// The file system is full (or the user's quota is): the claim can be made once space is back.
bool noSpace(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

int openClaimFolder(const std::string& path)
{
    return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
}

// Opens the file in a locked claim folder (claimDir, owned from here on); result Busy when a
// writer still holds it.
std::unique_ptr<PosixSpoolFile> openClaimed(int claimDir, const std::string& claim,
                                            const std::string& spoolDir, TakeResult& result)
{
    // The claim folder holds the one file it was made for.
    std::string name;
    if (DIR* d = ::fdopendir(::dup(claimDir))) {
        while (struct dirent* e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                name = e->d_name;
        ::closedir(d);
    }
    const int fd = name.empty() ? -1 : ::openat(claimDir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        ::close(claimDir);
        result = TakeResult::Unreadable;
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    auto file = std::make_unique<PosixSpoolFile>(fd, identityFrom(withSlash(spoolDir) + name, st), claimDir, claim);
    result = noWriter(fd) == false ? TakeResult::Busy : TakeResult::Taken;
    return file;
}

enum class ClaimFolder { Made, CannotWrite, NoSpace, NotNow };

// Makes a folder of its own under claimRoot, open and locked: its path and descriptor. Or why
// not: a folder that cannot be written (the file is then read where it stands), a full disk, or
// none could be had in a few tries.
ClaimFolder makeClaimFolder(const std::string& claimRoot, std::string& claim, int& claimDir)
{
    for (int tries = 0; tries < 5; ++tries) {
        // Another program may remove the empty claim root between the two calls.
        if (::mkdir(claimRoot.c_str(), 0777) != 0 && errno != EEXIST) {
            if (cannotWrite(errno))
                return ClaimFolder::CannotWrite;
            if (noSpace(errno))
                return ClaimFolder::NoSpace;
        }
        claim = claimRoot + "/XXXXXX";
        if (!::mkdtemp(claim.data())) {
            if (cannotWrite(errno))
                return ClaimFolder::CannotWrite;
            if (noSpace(errno))
                return ClaimFolder::NoSpace;
            continue;
        }
        claimDir = openClaimFolder(claim);
        // Another program looking for unfinished claims may hold the new, empty folder for a
        // moment: take another one. That program finds nothing in this one and leaves it alone.
        if (claimDir >= 0 && ::flock(claimDir, LOCK_EX | LOCK_NB) != 0) {
            ::close(claimDir);
            claimDir = -1;
            removeClaimFolder(claim);
        }
        if (claimDir >= 0)
            return ClaimFolder::Made;
    }
    return ClaimFolder::NotNow;
}

// A file read where it stands, without a claim.
std::unique_ptr<SpoolFile> readInPlace(int fd, const FileIdentity& identity, TakeResult& result)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    result = TakeResult::Taken;
    return std::make_unique<PosixSpoolFile>(fd, identity, -1, std::string());
}

enum class Claim { Claimed, InPlace, Failed };

// Moves the file at path into a locked folder of its own (claim, claimDir); only one taker's
// rename can succeed. InPlace when no claim can be made here (a folder that cannot be written, a
// file that cannot be moved); Failed with the reason in result.
Claim claimFile(const std::string& path, std::string& claim, int& claimDir, TakeResult& result)
{
    switch (makeClaimFolder(folderOfPath(path) + "/" + kClaimFolder, claim, claimDir)) {
    case ClaimFolder::CannotWrite:
        return Claim::InPlace;
    case ClaimFolder::NoSpace:
        result = TakeResult::NoSpace;
        return Claim::Failed;
    case ClaimFolder::NotNow:
        result = TakeResult::Busy;
        return Claim::Failed;
    case ClaimFolder::Made:
        break;
    }
    if (::rename(path.c_str(), (claim + "/" + nameOfPath(path)).c_str()) == 0)
        return Claim::Claimed;
    const int why = errno;
    ::close(claimDir);
    removeClaimFolder(claim);
    if (why == ENOENT) {
        result = TakeResult::Gone; // another program took it first
        return Claim::Failed;
    }
    if (cannotWrite(why) || why == EXDEV || why == EBUSY)
        return Claim::InPlace;
    result = noSpace(why) ? TakeResult::NoSpace : TakeResult::Busy;
    return Claim::Failed;
}

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

// A take opens the file when it is a regular file that no one writes (openUnwritten), claims it
// (claimFile) and opens what was claimed (openClaimed); each step may end it with its result. The
// descriptor of the first open is closed by the step that ends the take, or kept by a file read
// in place.
std::unique_ptr<SpoolFile> PosixSpoolFileSystem::take(const std::string& path, TakeResult& result)
{
    FileIdentity identity;
    const int fd = openUnwritten(path, identity, result);
    if (fd < 0)
        return nullptr;
    m_seen.erase(path);
    std::string claim;
    int claimDir = -1;
    switch (claimFile(path, claim, claimDir, result)) {
    case Claim::InPlace:
        return readInPlace(fd, identity, result);
    case Claim::Failed:
        ::close(fd);
        return nullptr;
    case Claim::Claimed:
        break;
    }
    ::close(fd);
    // What was renamed is what stood under the name at that moment: open that.
    auto file = openClaimed(claimDir, claim, folderOfPath(path), result);
    if (file && result == TakeResult::Busy) {
        // A writer opened it just before the rename: back it goes, for a later pass.
        release(*file);
        return nullptr;
    }
    return file;
}

// The file at path opened, when it is a regular file that no one holds open for writing (or,
// without leases, that has stopped changing); -1 with the reason in result otherwise.
int PosixSpoolFileSystem::openUnwritten(const std::string& path, FileIdentity& identity, TakeResult& result)
{
    // O_NONBLOCK: should the name have become a FIFO since it was listed, opening must not wait.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result = errno == ENOENT ? TakeResult::Gone : TakeResult::Unreadable;
        return -1;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result = TakeResult::NotRegular;
        return -1;
    }
    identity = identityFrom(path, st);
    const std::optional<bool> free = noWriter(fd);
    if (free == false || (!free && !settled(identity))) {
        ::close(fd);
        result = TakeResult::Busy;
        return -1;
    }
    return fd;
}

std::vector<std::unique_ptr<SpoolFile>> PosixSpoolFileSystem::reclaim(const std::string& dir, const std::string& mask)
{
    std::vector<std::unique_ptr<SpoolFile>> files;
    const std::string claimRoot = withSlash(dir) + kClaimFolder;
    DIR* d = ::opendir(claimRoot.c_str());
    if (!d)
        return files;
    std::vector<std::string> claims;
    while (struct dirent* e = ::readdir(d))
        if (e->d_name[0] != '.')
            claims.push_back(claimRoot + "/" + e->d_name);
    ::closedir(d);
    for (const std::string& claim : claims) {
        const int claimDir = openClaimFolder(claim);
        if (claimDir < 0)
            continue;
        if (::flock(claimDir, LOCK_EX | LOCK_NB) != 0) {
            ::close(claimDir); // its job is running
            continue;
        }
        TakeResult result = TakeResult::Taken;
        auto file = openClaimed(claimDir, claim, dir, result);
        if (!file) {
            // Nothing in it: a claim that never got its file. Gone once it is clearly stale.
            struct stat st;
            if (::stat(claim.c_str(), &st) == 0 && ::time(nullptr) - st.st_mtime > 60)
                removeClaimFolder(claim);
            continue;
        }
        if (result == TakeResult::Busy)
            continue; // a writer still has it: the lock goes with the file, for a later pass
        if (::fnmatch(mask.c_str(), nameOfPath(file->identity().path).c_str(), FNM_CASEFOLD | FNM_PERIOD) != 0)
            continue; // another pattern's
        files.push_back(std::move(file));
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        const FileIdentity x = a->identity(), y = b->identity();
        return x.mtimeNs != y.mtimeNs ? x.mtimeNs < y.mtimeNs : x.path < y.path;
    });
    return files;
}

std::optional<FileIdentity> PosixSpoolFileSystem::identityOf(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return std::nullopt;
    return identityFrom(path, st);
}

bool PosixSpoolFileSystem::remove(SpoolFile& spoolFile)
{
    auto& file = static_cast<PosixSpoolFile&>(spoolFile);
    if (file.claimed()) {
        if (::unlink(file.claimedFile().c_str()) != 0 && errno != ENOENT)
            return false;
        file.dropClaim();
        return true;
    }
    // Unclaimed (a folder that cannot be written): only if the name still holds this file.
    const std::string path = file.identity().path;
    struct stat now, mine;
    if (::lstat(path.c_str(), &now) != 0)
        return errno == ENOENT;
    if (::fstat(file.fd(), &mine) != 0 || now.st_dev != mine.st_dev || now.st_ino != mine.st_ino)
        return true;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::optional<std::string> PosixSpoolFileSystem::keepAsFailed(SpoolFile& spoolFile)
{
    auto& file = static_cast<PosixSpoolFile&>(spoolFile);
    const std::string path = file.identity().path;
    const std::string from = file.claimed() ? file.claimedFile() : path;
    for (int n = 1; n < 1000; ++n) {
        std::string target = n == 1 ? path + ".failed" : path + "." + std::to_string(n) + ".failed";
        // A hard link never replaces an existing name; the old name goes once the new one exists.
        if (::link(from.c_str(), target.c_str()) == 0) {
            ::unlink(from.c_str());
            file.dropClaim();
            return target;
        }
        if (errno != EEXIST) {
            // File systems without hard links: a rename that does not replace.
            if (errno == EPERM && ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
                file.dropClaim();
                return target;
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

void PosixSpoolFileSystem::release(SpoolFile& spoolFile)
{
    auto& file = static_cast<PosixSpoolFile&>(spoolFile);
    if (!file.claimed())
        return;
    // Back under its name unless a new file stands there; otherwise it stays claimed, unlocked,
    // and the next pass reclaims it.
    if (::renameat2(AT_FDCWD, file.claimedFile().c_str(), AT_FDCWD, file.identity().path.c_str(),
                    RENAME_NOREPLACE) == 0)
        file.dropClaim();
}

namespace {

// The list's first line. Its paths are written with "%" and the bytes below 0x20 as %XX, so that
// every name comes back as it was, newlines and bytes that are no UTF-8 included. Lists without
// this line hold their paths as they are.
constexpr const char* kSkipListHeader = "# quillon skip list 2";

std::string escapePath(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (c == '%' || c < 0x20 || c == 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

std::optional<std::string> unescapePath(const std::string& text)
{
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int hi = i + 1 < text.size() ? digit(text[i + 1]) : -1;
        const int lo = i + 2 < text.size() ? digit(text[i + 2]) : -1;
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out += char(hi * 16 + lo);
        i += 2;
    }
    return out;
}

} // namespace

FileSkipList::FileSkipList(std::string path) : m_path(std::move(path))
{
    std::ifstream in(m_path, std::ios::binary);
    std::string line;
    bool escaped = false;
    for (bool first = true; std::getline(in, line); first = false) {
        if (first && line == kSkipListHeader) {
            escaped = true;
            continue;
        }
        std::istringstream fields(line);
        FileIdentity id;
        if (fields >> id.device >> id.inode >> id.size >> id.mtimeNs) {
            fields.get();
            std::string rest;
            std::getline(fields, rest);
            std::optional<std::string> name = escaped ? unescapePath(rest) : std::optional<std::string>(rest);
            if (name && !name->empty()) {
                id.path = *name;
                m_entries.push_back(id);
            }
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

bool FileSkipList::save() const
{
    std::string text = std::string(kSkipListHeader) + "\n";
    for (const FileIdentity& e : m_entries)
        text += std::to_string(e.device) + ' ' + std::to_string(e.inode) + ' ' + std::to_string(e.size) + ' '
            + std::to_string(e.mtimeNs) + ' ' + escapePath(e.path) + '\n';
    std::string error;
    // The old list stays whole when the new one cannot be stored.
    return replaceFile(m_path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, error);
}

} // namespace quillon
