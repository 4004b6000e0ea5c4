#pragma once
// Files of the report engine on a POSIX system. "Exclusive" and "deny-write" are advisory
// flock() locks: the writer holds an exclusive lock, readers hold shared ones, so a store that is
// being shown cannot be overwritten by the next run and a store being written cannot be read.

#include "report/FileAccess.h"

#include <string>

namespace quillon {

class PosixFileAccess final : public FileAccess {
public:
    // programDir: the folder for the files the program writes (created when missing).
    explicit PosixFileAccess(std::string programDir);

    std::unique_ptr<OutputFile> createExclusive(const std::string& path, std::string& error) override;
    std::unique_ptr<InputFile> openDenyWrite(const std::string& path, OpenFailure& failure) override;
    bool writeWholeFile(const std::string& path, std::span<const uint8_t> bytes) override;
    std::string programDir() const override;

private:
    std::string m_programDir;
};

} // namespace quillon
