// Printing through the PDF path: spool files and stored pages as documents.

#include "core/TestFiles.h"
#include "CourierFont.h"
#include "PdfTools.h"
#include "RenderProcess.h"
#include "PdfPrinter.h"
#include "posix/PosixFileAccess.h"
#include "report/ReportPrinter.h"
#include "report/ReportProgress.h"
#include "report/VxCanvas.h"
#include "report/VxReport.h"


#include <gtest/gtest.h>

#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

using namespace quillon;
using namespace quillon::test;

namespace {

int render(const QStringList& args, std::string* err = nullptr)
{
    RenderRun r = runRender(args);
    if (err)
        *err = r.err;
    return r.exitCode;
}

QString q(const std::string& s)
{
    return qs(s);
}

// Six stored pages "p1".."p6"; page 3 is landscape, the others portrait; page n has the left
// margin n × 1000.
void buildMixedStore(const std::string& path)
{
    SheetOnlyPrinter printer(21000, 29700);
    PosixFileAccess files(std::filesystem::path(path).parent_path().string());
    SilentProgress progress;
    TVxReport report(printer, files, progress);
    report.ReportFile = path;
    report.MargLeft = 1000;
    report.OnPaintPage = [](TVxReport& r, TVxCanvas& c, bool& stop) {
        DrawingContext& dc = c.handle();
        GdiObject font = dc.createFont(courierNew());
        GdiObject old = dc.selectObject(font);
        dc.setTextAlign(24);
        std::string text = "p" + std::to_string(r.PageNo());
        int32_t dx[4] = {254, 254, 254, 254};
        dc.extTextOutA({0, 423}, 0, nullptr, text, {dx, text.size()});
        dc.selectObject(old);
        dc.deleteObject(font);
        r.PaperOrient = r.PageNo() == 2 ? vxLandscape : vxPortrait; // takes effect on the next page
        r.MargLeft = (r.PageNo() + 1) * 1000;
        stop = r.PageNo() == 6;
    };
    ASSERT_TRUE(report.Run()) << report.ErrorMessage();
}

} // namespace

TEST(PrintToPdf, PolishTextAndBoxDrawingComeOutAsUnicode)
{
    TempDir dir;
    std::string out = dir.file("showcase.pdf");
    std::string err;
    ASSERT_EQ(render({QUILLON_TEST_DATA "/showcase.prn", "-o", q(out)}, &err), 0) << err;
    auto pages = pdfPages(out);
    ASSERT_EQ(pages.size(), 2u);
    for (const PdfPage& p : pages) {
        EXPECT_NEAR(p.width, 595, 1); // A4 portrait
        EXPECT_NEAR(p.height, 842, 1);
    }
    std::string text = pdfText(out, 1);
    EXPECT_NE(text.find("Zażółć gęślą jaźń - ZAŻÓŁĆ GĘŚLĄ JAŹŃ"), std::string::npos) << text;
    EXPECT_NE(text.find("10 cpi: Pchnąć w tę łódź jeża lub ośm skrzyń fig."), std::string::npos);
    EXPECT_NE(text.find("┌──────────┬───────────┐"), std::string::npos) << text;
    EXPECT_NE(text.find("│ Jabłka   │  12,50 zł │"), std::string::npos) << text;
    EXPECT_NE(pdfText(out, 2).find("Strona druga."), std::string::npos);
    // The document is titled with the first 31 characters of the spool file's path.
    EXPECT_EQ(pdfTitle(out), std::string(QUILLON_TEST_DATA "/showcase.prn").substr(0, 31));
}

TEST(PrintToPdf, LandscapeJobGivesLandscapePages)
{
    TempDir dir;
    std::string stream = "\x1bX0" + std::string(120, 'L') + "\r\nend";
    writeFile(dir.file("land.prn"), std::vector<uint8_t>(stream.begin(), stream.end()));
    std::string out = dir.file("land.pdf");
    ASSERT_EQ(render({q(dir.file("land.prn")), "-o", q(out)}), 0);
    auto pages = pdfPages(out);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].landscape());
    // 297 mm less the 3 mm margin holds 115 columns at 10 cpi.
    std::string text = pdfText(out);
    EXPECT_NE(text.find(std::string(115, 'L')), std::string::npos);
    EXPECT_EQ(text.find(std::string(116, 'L')), std::string::npos);
}

TEST(PrintToPdf, StoredPagesKeepTheirOwnOrientationAndMargins)
{
    TempDir dir;
    std::string store = dir.file("mixed.vxr");
    buildMixedStore(store);
    std::string out = dir.file("pages.pdf");
    std::string err;
    ASSERT_EQ(render({q(store), "--pages", "3-5", "-o", q(out)}, &err), 0) << err;
    auto pages = pdfPages(out);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_TRUE(pages[0].landscape());
    EXPECT_FALSE(pages[1].landscape());
    EXPECT_FALSE(pages[2].landscape());
    for (int i = 0; i < 3; ++i) {
        std::string text = pdfText(out, i + 1);
        std::string label = "p" + std::to_string(i + 3);
        size_t at = text.find(label);
        ASSERT_NE(at, std::string::npos) << text;
        // Page n sits n × 10 mm from the edge: at 7.2 pt a column, 10 mm is about 3.9 columns.
        size_t column = at - (text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1);
        EXPECT_NEAR(double(column), (i + 3) * 10 / 2.54, 1.0) << label;
    }

    // All pages, and PNG pages of a range.
    ASSERT_EQ(render({q(store), "-o", q(dir.file("all.pdf"))}), 0);
    EXPECT_EQ(pdfPages(dir.file("all.pdf")).size(), 6u);
    ASSERT_EQ(render({q(store), "--pages", "2-3", "-o", q(dir.file("range.png")), "--dpi", "50"}), 0);
    EXPECT_TRUE(std::filesystem::exists(dir.file("range-0002.png")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("range-0003.png")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("range-0001.png")));
}

TEST(PrintToPdf, BadStoresAndRangesAreRefused)
{
    TempDir dir;
    std::string store = dir.file("mixed.vxr");
    buildMixedStore(store);
    std::string err;
    EXPECT_EQ(render({q(store), "--pages", "7-9", "-o", q(dir.file("x.pdf"))}, &err), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.pdf")));
    EXPECT_EQ(render({q(store), "--pages", "5-3", "-o", q(dir.file("x.pdf"))}), 2);
    EXPECT_EQ(render({q(store), "-o", q(dir.file("x.vxr"))}), 2);

    auto bytes = readFile(store);
    bytes[bytes.size() - 19] = 0x7F; // a page count far past the file
    writeFile(dir.file("bad.vxr"), bytes);
    EXPECT_EQ(render({q(dir.file("bad.vxr")), "-o", q(dir.file("bad.pdf"))}, &err), 1);
    EXPECT_NE(err.find("Plik raportowy jest uszkodzony"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad.pdf")));
}

namespace {

// A PDF printer whose documents go to /dev/full: every write of the PDF fails with ENOSPC, as on
// a full disk, without a file system of its own (which would need root).
class FullDevicePrinter final : public PdfPrinter {
public:
    explicit FullDevicePrinter(const std::string& folder) : PdfPrinter(DosCodePage::Cp852, 600)
    {
        setBaseLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(),
                                  QPageLayout::Millimeter));
        m_docFolder = folder;
    }
    ~FullDevicePrinter() override
    {
        closeWriter();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool selectDefaultPrinter() override { return true; }
    int delivered = 0;

protected:
    int documentFile() override
    {
        if (m_fd < 0)
            m_fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        return m_fd;
    }
    bool deliver(int, int64_t) override
    {
        ++delivered;
        return true;
    }

private:
    int m_fd = -1;
};

} // namespace

TEST(PrintToPdf, AFailedWriteOfThePrintDocumentFailsTheDocumentAndSaysWhy)
{
    for (const std::string folder : {"", "/var/tmp"}) {
        FullDevicePrinter printer(folder);
        ASSERT_TRUE(printer.beginDoc()) << printer.lastError();
        const std::string text(2000, 'x'); // more than Qt's writer keeps in memory
        std::vector<int32_t> dx(text.size(), 254);
        printer.pageSurface()->extTextOutA({0, 423}, 0, nullptr, text, {dx.data(), dx.size()});
        EXPECT_FALSE(printer.endDoc()) << "a document that was not written whole is no document";
        EXPECT_EQ(printer.delivered, 0) << "nothing cut off is handed on";
        EXPECT_EQ(printer.lastError(), "cannot write the print document: No space left on device");
        // Where the documents' folder is known, a full disk there is a pause, not a failure.
        EXPECT_EQ(printer.lastErrorTransient(), !folder.empty());
        EXPECT_EQ(printer.lastErrorFullFolder(), folder);
    }
}
