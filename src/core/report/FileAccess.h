#pragma once
// The files the report engine writes and reads: the page store and the single page pictures.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace quillon {

class OutputFile {
public:
    virtual ~OutputFile() = default;
    virtual bool write(const void* data, size_t size) = 0;
    virtual int64_t position() const = 0;
    // Hands everything written so far to the file; false when that fails.
    virtual bool flush() = 0;
    // Flushes and closes; false when anything written could not be stored.
    virtual bool close() = 0;
};

class InputFile {
public:
    virtual ~InputFile() = default;
    virtual int64_t size() const = 0;
    // Reads exactly size bytes at offset; false when they are not all there.
    virtual bool readAt(int64_t offset, void* data, size_t size) = 0;
};

enum class OpenFailure { None, NotFound, CannotRead };

class FileAccess {
public:
    virtual ~FileAccess() = default;
    // Creates or truncates the file with exclusive access: fails while anyone else has it open
    // through this interface. error gets the reason.
    virtual std::unique_ptr<OutputFile> createExclusive(const std::string& path,
                                                        std::string& error) = 0;
    // Opens the file read-only; others may read but not write it while it is open.
    virtual std::unique_ptr<InputFile> openDenyWrite(const std::string& path,
                                                     OpenFailure& failure) = 0;
    // Writes a whole small file, replacing an existing one.
    virtual bool writeWholeFile(const std::string& path, std::span<const uint8_t> bytes) = 0;
    // The program's own folder for the files it writes, without a trailing separator.
    virtual std::string programDir() const = 0;
};

} // namespace quillon
