#include "CupsUploadJournal.h"

#include "posix/DescriptorIo.h"

#include <cups/cups.h>

#include <cerrno>
#include <ctime>
#include <optional>
#include <sstream>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

namespace {

// A note still being written starts with a dot; one left so by a crash goes after a minute.
constexpr const char* kNewPrefix = ".new-";
constexpr time_t kStaleNewNoteSeconds = 60;

struct Note {
    std::string server;
    int port = 0;
    std::string user;
    std::string queue;
    int job = 0;
};

std::optional<Note> readNote(int fd)
{
    std::string text(4096, '\0');
    text.resize(readFullyAt(fd, text.data(), text.size(), 0));
    std::istringstream in(text);
    Note note;
    std::string port, job, end;
    if (!std::getline(in, note.server) || !std::getline(in, port) || !std::getline(in, note.user)
        || !std::getline(in, note.queue) || !std::getline(in, job) || !std::getline(in, end) || end != "end")
        return std::nullopt;
    try {
        note.port = std::stoi(port);
        note.job = std::stoi(job);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return note;
}

// Whether CUPS still holds the job without any document: the upload never ended.
bool emptyAndWaiting(http_t* http, const Note& note)
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const std::string uri = "ipp://localhost/jobs/" + std::to_string(note.job);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    const char* wanted[] = {"job-state", "number-of-documents"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr, wanted);
    ipp_t* response = cupsDoRequest(http, request, "/");
    bool waiting = false;
    if (response && ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE) {
        ipp_attribute_t* state = ippFindAttribute(response, "job-state", IPP_TAG_ENUM);
        ipp_attribute_t* documents = ippFindAttribute(response, "number-of-documents", IPP_TAG_INTEGER);
        waiting = state && ippGetInteger(state, 0) < IPP_JSTATE_CANCELED
            && (!documents || ippGetInteger(documents, 0) == 0);
    }
    ippDelete(response);
    return waiting;
}

// Whether the job was cancelled; nothing when the scheduler cannot be asked now.
std::optional<bool> cancelCutOff(const Note& note)
{
    http_t* http = httpConnect2(note.server.c_str(), note.port, nullptr, AF_UNSPEC, cupsEncryption(), 1, 5000, nullptr);
    if (!http)
        return std::nullopt;
    const std::string ownUser = cupsUser();
    cupsSetUser(note.user.c_str());
    const bool cancel = emptyAndWaiting(http, note);
    const bool cancelled = cancel && cupsCancelJob2(http, note.queue.c_str(), note.job, 0) == IPP_STATUS_OK;
    cupsSetUser(ownUser.c_str());
    httpClose(http);
    return cancelled;
}

} // namespace

CupsUploadNote::CupsUploadNote(const std::string& folder, const std::string& queue, int job)
{
    ::mkdir(folder.c_str(), 0700);
    std::string path = folder + "/" + kNewPrefix + "XXXXXX";
    m_fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (m_fd < 0)
        return;
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    const std::string text = std::string(cupsServer()) + "\n" + std::to_string(ippPort()) + "\n" + cupsUser()
        + "\n" + queue + "\n" + std::to_string(job) + "\nend\n";
    // Only a whole note gets its name: a reader never sees half of one.
    m_path = folder + "/upload-" + path.substr(path.size() - 6);
    if (!writeFully(m_fd, text.data(), text.size()) || ::rename(path.c_str(), m_path.c_str()) != 0) {
        ::unlink(path.c_str());
        m_path.clear();
    }
}

CupsUploadNote::~CupsUploadNote()
{
    if (!m_path.empty())
        ::unlink(m_path.c_str());
    if (m_fd >= 0)
        ::close(m_fd);
}

int cancelCutOffUploads(const std::string& folder)
{
    DIR* d = ::opendir(folder.c_str());
    if (!d)
        return 0;
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            names.push_back(e->d_name);
    ::closedir(d);
    int cancelled = 0;
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        Descriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (fd.get() < 0 || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue; // its program is still uploading
        struct stat st {};
        if (name.rfind(kNewPrefix, 0) == 0) {
            if (::fstat(fd.get(), &st) == 0 && st.st_mtime + kStaleNewNoteSeconds < ::time(nullptr))
                ::unlink(path.c_str());
            continue;
        }
        const std::optional<Note> note = readNote(fd.get());
        const std::optional<bool> done = note ? cancelCutOff(*note) : false;
        if (!done)
            continue; // the scheduler is away: the next start asks again
        cancelled += *done ? 1 : 0;
        ::unlink(path.c_str());
    }
    return cancelled;
}

} // namespace quillon
