#pragma once
// The pages of a page store as the windows and exports see them: how many there are, the shape of
// each, a page drawn at any scale, and a range printed again.

#include "gdi/DrawingContext.h"
#include "report/StoredPagePrinting.h"

#include <string>

class QPainter;

namespace quillon {

struct StoredPageGeometry {
    Size paper;     // the sheet as shown, 0.01 mm: turned for a landscape page
    Point origin;   // where the picture's origin lies on the sheet (the page's left and top margins)
    bool landscape = false;
};

class StoredDocument {
public:
    virtual ~StoredDocument() = default;

    virtual int pageCount() const = 0;
    // page: 1 .. pageCount().
    virtual StoredPageGeometry pageGeometry(int page) const = 0;
    // Reads the page's picture now unless it is the one read last (one picture is held at a time).
    // False, with the reason, when it cannot be read.
    virtual bool loadPage(int page, std::string& error) = 0;
    // Draws the page onto painter with the sheet's top-left corner at the painter's origin;
    // viewportExt / windowExt device units per 0.01 mm (for example 96 / 2540 for 100 % on a
    // 96 dpi screen). The page's picture is read from the store only when it is not the page drawn
    // last. False, with the reason, when the page cannot be read; nothing is drawn then.
    virtual bool drawPage(int page, QPainter& painter, Size windowExt, Size viewportExt,
                          std::string& error) = 0;
    // Prints stored pages range.first .. range.last again; a failure is shown through the
    // report's error box. The run's result.
    virtual bool printRange(PageRange range) = 0;
};

} // namespace quillon
