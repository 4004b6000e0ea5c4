#include "CupsQueue.h"

#include <QPageSize>

#include <cups/cups.h>
#include <cups/ppd.h>

#include <algorithm>
#include <cstdlib>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace quillon {

namespace {

// The PPD interface is the one that knows a queue's imageable area as the driver declares it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

struct DestDeleter {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
using Dest = std::unique_ptr<cups_dest_t, DestDeleter>;

Dest namedDest(const std::string& queue)
{
    const size_t slash = queue.find('/');
    const std::string name = queue.substr(0, slash);
    const std::string instance = slash == std::string::npos ? std::string() : queue.substr(slash + 1);
    return Dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.empty() ? nullptr : name.c_str(),
                                 instance.empty() ? nullptr : instance.c_str()));
}

// The border of a sheet whose printer declares none, in points.
constexpr qreal kBorder = 10;

QPageLayout a4(const QMarginsF& points)
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, points, QPageLayout::Point);
}

// A printer of this scheduler's own, neither a class nor one it only passes jobs on to: its PPD
// is the scheduler's to give, from the connection already open.
bool isLocalPrinter(const cups_dest_t& dest)
{
    const std::optional<unsigned long> bits = printerTypeBits(cupsGetOption("printer-type", dest.num_options, dest.options));
    return bits && (*bits & (CUPS_PRINTER_CLASS | CUPS_PRINTER_REMOTE)) == 0;
}

// The queue's PPD, opened; null when it has none. A local printer's comes in one request on the
// open connection; for the others libcups finds the printer that has it (a class's member, the
// remote queue).
ppd_file_t* openPpd(const cups_dest_t& dest)
{
    if (isLocalPrinter(dest)) {
        const int fd = ::memfd_create("quillon-ppd", MFD_CLOEXEC);
        if (fd >= 0) {
            const std::string resource = std::string("/printers/") + dest.name + ".ppd";
            ppd_file_t* ppd = nullptr;
            // ppdOpenFd closes the descriptor it reads: it gets one of its own.
            if (cupsGetFd(CUPS_HTTP_DEFAULT, resource.c_str(), fd) == HTTP_STATUS_OK && ::lseek(fd, 0, SEEK_SET) == 0)
                ppd = ppdOpenFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
            ::close(fd);
            return ppd;
        }
    }
    const char* file = cupsGetPPD2(CUPS_HTTP_DEFAULT, dest.name);
    if (!file)
        return nullptr;
    ppd_file_t* ppd = ppdOpenFile(file);
    ::unlink(file);
    return ppd;
}

std::optional<QPageLayout> ppdSheet(const cups_dest_t& dest)
{
    ppd_file_t* ppd = openPpd(dest);
    if (!ppd)
        return std::nullopt;
    // The pages are laid out for A4: the printer's A4 sheet, bordered by its imageable area, never
    // less than the usual border.
    std::optional<QPageLayout> sheet;
    if (const ppd_size_t* size = ppdPageSize(ppd, "A4")) {
        const QMarginsF margins(std::max(kBorder, qreal(size->left)), std::max(kBorder, qreal(size->length - size->top)),
                                std::max(kBorder, qreal(size->width - size->right)), std::max(kBorder, qreal(size->bottom)));
        sheet = a4(margins);
    }
    ppdClose(ppd);
    return sheet;
}

#pragma GCC diagnostic pop

std::string fullName(const cups_dest_t& dest)
{
    std::string name = dest.name;
    if (dest.instance)
        name += std::string("/") + dest.instance;
    return name;
}

QPageLayout sheetOf(const cups_dest_t& dest)
{
    std::optional<QPageLayout> sheet = ppdSheet(dest);
    if (!sheet || !sheet->isValid())
        sheet = a4(QMarginsF(kBorder, kBorder, kBorder, kBorder));
    return *sheet;
}

} // namespace

std::optional<CupsQueue> openCupsQueue(const std::string& requested)
{
    const Dest dest = namedDest(requested);
    if (!dest)
        return std::nullopt;
    CupsQueue queue{fullName(*dest), sheetOf(*dest), {}};
    for (int i = 0; i < dest->num_options; ++i)
        queue.options.emplace_back(dest->options[i].name, dest->options[i].value);
    return queue;
}

std::optional<unsigned long> printerTypeBits(const char* option)
{
    if (!option || !*option)
        return std::nullopt;
    char* end = nullptr;
    const unsigned long bits = std::strtoul(option, &end, 10);
    if (*end != '\0')
        return std::nullopt;
    return bits;
}

} // namespace quillon
