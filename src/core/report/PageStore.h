#pragma once
// The page store on disk: page pictures, one 38-byte record per page, the page count and the
// magic. Writing is done by the report as it builds; this holds the trailer and the reader.

#include "report/FileAccess.h"
#include "report/PageRecord.h"

#include <memory>
#include <string>
#include <vector>

namespace quillon {

// Records, count and magic: what follows the pictures.
std::vector<uint8_t> pageStoreTrailer(const std::vector<TVxPageRecord>& index);

// Writes the trailer behind the pictures and closes the file. The magic is written only once
// everything before it is flushed, so a store whose writing failed never ends in a valid magic.
// False when any step failed.
bool finishPageStore(OutputFile& file, const std::vector<TVxPageRecord>& index);

enum class StoreStatus { Ok, FileNotDefined, NotFound, CannotRead, Damaged, Empty };

struct StoreOpenResult {
    StoreStatus status = StoreStatus::Ok;
    std::string message; // what the user is told; empty for Ok and Empty
};

// Opens a store read-only (deny-write) and loads its index. Besides the magic, the count, every
// record and every picture's place are checked against the file, so that nothing is ever read
// outside it: a store that does not fit is reported as damaged. On Ok, file and index are filled;
// otherwise file is left empty.
StoreOpenResult openPageStore(FileAccess& files, const std::string& reportFile,
                              const std::string& path, std::unique_ptr<InputFile>& file,
                              std::vector<TVxPageRecord>& index);

// Reads one page picture; false with a reason when its bytes are not a picture of the stated size.
bool readStoredPicture(InputFile& file, const TVxPageRecord& record, std::vector<uint8_t>& picture,
                       std::string& error);

constexpr const char* kStoreDamagedMessage = "Plik raportowy jest uszkodzony";

} // namespace quillon
