#include "report/PageStore.h"

#include "gdi/EmfFormat.h"

#include <algorithm>
#include <cstring>

namespace quillon {

std::vector<uint8_t> pageStoreTrailer(const std::vector<TVxPageRecord>& index)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(index.size() * kPageRecordSize + kPageStoreTrailerSize);
    ByteWriter out(bytes);
    for (const TVxPageRecord& r : index)
        writePageRecord(out, r);
    out.i32(int32_t(index.size()));
    out.bytes(kPageStoreMagic, kPageStoreMagicSize);
    return bytes;
}

bool finishPageStore(OutputFile& file, const std::vector<TVxPageRecord>& index)
{
    std::vector<uint8_t> trailer = pageStoreTrailer(index);
    const size_t beforeMagic = trailer.size() - kPageStoreMagicSize;
    bool ok = file.write(trailer.data(), beforeMagic) && file.flush()
           && file.write(trailer.data() + beforeMagic, kPageStoreMagicSize);
    ok = file.close() && ok;
    return ok;
}

namespace {

bool blank(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](unsigned char c) { return c <= ' '; });
}

StoreOpenResult damaged()
{
    return {StoreStatus::Damaged, kStoreDamagedMessage};
}

} // namespace

StoreOpenResult openPageStore(FileAccess& files, const std::string& reportFile,
                              const std::string& path, std::unique_ptr<InputFile>& file,
                              std::vector<TVxPageRecord>& index)
{
    file.reset();
    index.clear();
    if (blank(reportFile))
        return {StoreStatus::FileNotDefined, "Nie określono pliku raportu."};

    OpenFailure failure = OpenFailure::None;
    std::unique_ptr<InputFile> f = files.openDenyWrite(path, failure);
    if (!f) {
        if (failure == OpenFailure::NotFound)
            return {StoreStatus::NotFound, "Nie znaleziono pliku raportowego " + path};
        return {StoreStatus::CannotRead, "Nie można czytać pliku raportowego."};
    }

    const int64_t size = f->size();
    if (size < int64_t(kPageStoreTrailerSize))
        return damaged();
    uint8_t trailer[kPageStoreTrailerSize];
    if (!f->readAt(size - int64_t(kPageStoreTrailerSize), trailer, sizeof trailer))
        return damaged();
    if (std::memcmp(trailer + 4, kPageStoreMagic, kPageStoreMagicSize) != 0)
        return damaged();
    ByteReader countReader({trailer, 4});
    const int32_t count = countReader.i32();
    if (count < 0)
        return damaged();
    if (count == 0)
        return {StoreStatus::Empty, {}};

    // The pictures lie before the index; the index must fit between them and the trailer.
    const int64_t indexSize = int64_t(count) * int64_t(kPageRecordSize);
    const int64_t picturesEnd = size - int64_t(kPageStoreTrailerSize) - indexSize;
    if (picturesEnd < 0)
        return damaged();
    std::vector<uint8_t> raw(static_cast<size_t>(indexSize));
    if (!f->readAt(picturesEnd, raw.data(), raw.size()))
        return damaged();
    ByteReader in(raw);
    std::vector<TVxPageRecord> records;
    records.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        TVxPageRecord r = readPageRecord(in);
        if (r.PictureOffset < 0 || r.PictureSize < int32_t(emf::kMinHeaderSize)
            || int64_t(r.PictureOffset) + r.PictureSize > picturesEnd)
            return damaged();
        records.push_back(r);
    }
    file = std::move(f);
    index = std::move(records);
    return {};
}

bool readStoredPicture(InputFile& file, const TVxPageRecord& record, std::vector<uint8_t>& picture,
                       std::string& error)
{
    picture.clear();
    if (record.PictureOffset < 0 || record.PictureSize < int32_t(emf::kMinHeaderSize)
        || int64_t(record.PictureOffset) + record.PictureSize > file.size()) {
        error = kStoreDamagedMessage;
        return false;
    }
    picture.resize(size_t(record.PictureSize));
    if (!file.readAt(record.PictureOffset, picture.data(), picture.size())) {
        error = kStoreDamagedMessage;
        picture.clear();
        return false;
    }
    // The picture carries its own length, which must be the one the record states.
    auto header = emf::parseHeader(picture);
    if (!header || header->nBytes != uint32_t(record.PictureSize)) {
        error = kStoreDamagedMessage;
        picture.clear();
        return false;
    }
    return true;
}

} // namespace quillon
