#pragma once
// The open page store of a report as a stored document.

#include "StoredDocument.h"
#include "gdi/CodePage.h"

#include <QImage>

#include <cstdint>
#include <vector>

namespace quillon {

class TVxReport;

class PageStoreDocument final : public StoredDocument {
public:
    // report: its page store is open (OpenPageStore) for the document's life. codePage: how the
    // OEM text of the pictures is drawn.
    PageStoreDocument(TVxReport& report, DosCodePage codePage);

    int pageCount() const override;
    StoredPageGeometry pageGeometry(int page) const override;
    bool loadPage(int page, std::string& error) override { return load(page, error); }
    bool drawPage(int page, QPainter& painter, Size windowExt, Size viewportExt,
                  std::string& error) override;
    bool printRange(PageRange range) override;

    // The page on a white sheet at dpi pixels per inch; a null image with the reason when the
    // page cannot be read or the sheet would be absurdly large.
    QImage pageImage(int page, int dpi, std::string& error);
    // How many times a page picture was read from the store.
    int picturesRead() const { return m_reads; }

private:
    bool load(int page, std::string& error);

    TVxReport& m_report;
    DosCodePage m_codePage;
    std::vector<uint8_t> m_picture;
    int m_loaded = 0; // the page whose picture m_picture holds; 0 for none
    int m_reads = 0;
};

} // namespace quillon
