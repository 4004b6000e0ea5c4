#pragma once
// CUPS queues asked with libcups alone: which queue a name (or the default) means, and the sheet
// it prints on. The answers are the ones Qt's print support gives, without loading it (and with it
// Qt Widgets) into a program that draws no window.

#include <QPageLayout>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

// What a print run needs of a queue, asked once:
// - its name as CUPS knows it ("name" or "name/instance");
// - the sheet it prints the pages on, in portrait: A4, bordered by the imageable area of its PPD's
//   A4 size but never by less than 10 points, the border of a queue without a PPD (a raw queue);
// - the queue's own options, for its jobs.
struct CupsQueue {
    std::string name;
    QPageLayout sheet;
    std::vector<std::pair<std::string, std::string>> options;
};
// Empty requested means the default destination (LPDEST, PRINTER, lpoptions, then the scheduler's
// default). Nothing when there is no such queue (empty requested: no default) or no scheduler to ask.
std::optional<CupsQueue> openCupsQueue(const std::string& requested);

// The bits of a queue's "printer-type" option (CUPS_PRINTER_CLASS, CUPS_PRINTER_REMOTE, ...);
// nothing when the option is missing or not a number.
std::optional<unsigned long> printerTypeBits(const char* option);

} // namespace quillon
