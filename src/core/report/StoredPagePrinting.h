#pragma once
// Printing a chosen range of stored pages, as the preview's print command does it.

namespace quillon {

class TVxReport;

struct PageRange {
    int first = 1;
    int last = 1;
};

// Both ends confined to 1..count.
PageRange confinePageRange(PageRange range, int count);

// Prints stored pages first..last of the report's open page store, each page with its own
// margins and orientation; the report's settings are restored afterwards and a failure is shown
// with the report's error box. Nothing happens when first > last. Returns the run's result.
bool printStoredPages(TVxReport& report, PageRange range);

} // namespace quillon
