#include "InputKind.h"

#include "posix/InputDescriptor.h"

namespace quillon {

DocumentKind documentKindOf(int fd)
{
    return documentKindOf(seekToEnd(fd), [fd](int64_t offset, char* buffer, size_t size) {
        return readFullyAt(fd, buffer, size, off_t(offset));
    });
}

bool isPageStore(int fd)
{
    return documentKindOf(fd) == DocumentKind::PageStore;
}

std::string foreignDocumentKind(int fd)
{
    const DocumentKind kind = documentKindOf(fd);
    return isForeignDocument(kind) ? documentKindEnglish(kind) : std::string();
}

} // namespace quillon
