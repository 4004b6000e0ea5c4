#pragma once
// The folder a benchmark works in.

#include <string>

namespace quillon::bench {

// The folder of a run: the one given (created if need be), or a new one under /tmp that goes away
// with the run. path() is empty when neither could be had.
class WorkFolder {
public:
    explicit WorkFolder(const std::string& out);
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const char* name) const { return m_path + "/" + name; }
    void remove(const char* name) const;
    // Writes back whatever is still dirty on the folder's file system, so that a timed phase
    // does not share the disk with the write-back of the one before it.
    void settle() const;

private:
    std::string m_path;
    bool m_owned = false;
};

} // namespace quillon::bench
