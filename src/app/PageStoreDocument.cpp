#include "PageStoreDocument.h"

#include "PageImage.h"
#include "report/VxReport.h"

#include <QPainter>

namespace quillon {

PageStoreDocument::PageStoreDocument(TVxReport& report, DosCodePage codePage)
    : m_report(report), m_codePage(codePage)
{
}

int PageStoreDocument::pageCount() const
{
    return int(m_report.PageIndex.size());
}

StoredPageGeometry PageStoreDocument::pageGeometry(int page) const
{
    StoredPageGeometry g;
    if (page < 1 || page > pageCount())
        return g;
    const TVxPageRecord& r = m_report.PageIndex[size_t(page - 1)];
    g.landscape = r.Orientation == 'L';
    g.paper = g.landscape ? Size{r.PaperLength, r.PaperWidth} : Size{r.PaperWidth, r.PaperLength};
    g.origin = {r.MargLeft, r.MargTop};
    return g;
}

bool PageStoreDocument::load(int page, std::string& error)
{
    if (page == m_loaded)
        return true;
    m_loaded = 0;
    ++m_reads;
    if (!m_report.readStoredPage(page, m_picture, error))
        return false;
    m_loaded = page;
    return true;
}

bool PageStoreDocument::drawPage(int page, QPainter& painter, Size windowExt, Size viewportExt,
                                 std::string& error)
{
    if (!load(page, error))
        return false;
    drawPagePicture(painter, m_picture, pageGeometry(page).origin, windowExt, viewportExt, m_codePage);
    return true;
}

QImage PageStoreDocument::pageImage(int page, int dpi, std::string& error)
{
    if (!load(page, error))
        return {};
    const StoredPageGeometry g = pageGeometry(page);
    QImage image = renderPageImage(m_picture, g.paper, g.origin, dpi, m_codePage);
    if (image.isNull())
        error = "the page cannot be drawn at " + std::to_string(dpi) + " dpi";
    return image;
}

bool PageStoreDocument::printRange(PageRange range)
{
    return printStoredPages(m_report, range);
}

} // namespace quillon
