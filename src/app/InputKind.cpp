#include "InputKind.h"

#include <unistd.h>

namespace quillon {

DocumentKind documentKindOf(int fd)
{
    const off_t size = ::lseek(fd, 0, SEEK_END);
    return documentKindOf(int64_t(size), [fd](int64_t offset, char* buffer, size_t size) {
        const ssize_t got = ::pread(fd, buffer, size, off_t(offset));
        return got > 0 ? size_t(got) : size_t(0);
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
