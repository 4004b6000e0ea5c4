// How fast pages full of dot pictures (printer graphics) print into a PDF, and how large they are.
//
// Each page of an A4 sheet is covered by dots at the densities of an Epson stream's bands: 120 x
// 72 dpi (9 pins, ESC L), 180 x 180 dpi (24 pins, ESC * 39) and 360 x 180 dpi (ESC * 40). Two
// contents: line art (frames, rules and blocks, as forms and logos) and a 25 % dither (as a
// photo), which compresses worst. The pages are recorded as page pictures (EmfRecorder), the dots
// as one picture a page as the printer emulation gathers a sheet's bands, and, for comparison, as
// one picture a band; then played onto PdfFilePrinter's page surface, as printing from the
// preview or printer mode draws them. The PDF's size is set against a 1-bit Flate image of the
// whole page.
//
// quillon-bench-dotpdf [PAGES]   (default 200); it measures and reports, never judges.

#include "BenchOptions.h"
#include "BenchReport.h"
#include "Measure.h"
#include "PdfPrinter.h"
#include "WorkFolder.h"
#include "gdi/EmfPlayer.h"
#include "gdi/EmfRecorder.h"

#include <QByteArray>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

using namespace quillon;
using namespace quillon::bench;

namespace {

struct Density {
    const char* name;
    int dpiX;
    int dpiY;
    int pins;
};

constexpr Density kDensities[] = {{"9-pin 120x72", 120, 72, 8},
                                  {"24-pin 180x180", 180, 180, 24},
                                  {"24-pin 360x180", 360, 180, 24}};

// The dots of a whole A4 page at the density, top row first.
struct PageDots {
    int width;
    int height;
    std::vector<uint8_t> rows;
    int perRow() const { return (width + 7) / 8; }
    void set(int x, int y) { rows[size_t(y) * size_t(perRow()) + size_t(x / 8)] |= uint8_t(0x80 >> (x % 8)); }
};

PageDots makePage(const Density& d, bool dither, unsigned seed)
{
    PageDots p{21000 * d.dpiX / 2540, 29700 * d.dpiY / 2540, {}};
    p.rows.assign(size_t(p.perRow()) * size_t(p.height), 0);
    std::mt19937 gen(seed);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const bool on = dither ? gen() % 4 == 0
                                   : (x % (d.dpiX / 2) < 2 || y % (d.dpiY / 3) < 2
                                      || ((x / 40 + y / 40 + int(seed)) % 7 == 0 && (x + y) % 3 == 0));
            if (on)
                p.set(x, y);
        }
    }
    return p;
}

// The page recorded as one picture, or band by band, each band's place on the report's grid of
// 0.01 mm.
std::vector<uint8_t> recordPage(const Density& d, const PageDots& dots, bool perBand)
{
    EmfRecorder rec(Size{21000, 29700});
    const int bandRows = perBand ? d.pins : dots.height;
    for (int top = 0; top < dots.height; top += bandRows) {
        const int rows = std::min(bandRows, dots.height - top);
        const MonoBitmap band{dots.width, rows,
                              std::span(dots.rows).subspan(size_t(top) * size_t(dots.perRow()), size_t(rows) * size_t(dots.perRow()))};
        const Rect dest{0, top * 2540 / d.dpiY, dots.width * 2540 / d.dpiX, (top + rows) * 2540 / d.dpiY};
        rec.drawMonoBitmap(dest, band);
    }
    return rec.finish();
}

// A handful of different pages of one density and content recorded as page pictures, and what
// recording them and a 1-bit Flate of their dots took and gave, a page on average.
struct Pictures {
    std::vector<std::vector<uint8_t>> pages;
    double flateBytes = 0;
    double rawBytes = 0;
    double recordSeconds = 0;
    double flateSeconds = 0;
};

Pictures recordPictures(const Density& d, bool dither, bool perBand)
{
    constexpr unsigned kPages = 4;
    Pictures p;
    for (unsigned k = 0; k < kPages; ++k) {
        const PageDots dots = makePage(d, dither, k);
        const double recordStart = cpuSeconds();
        p.pages.push_back(recordPage(d, dots, perBand));
        const double flateStart = cpuSeconds();
        p.flateBytes += double(qCompress(dots.rows.data(), qsizetype(dots.rows.size())).size()) / kPages;
        p.flateSeconds += (cpuSeconds() - flateStart) / kPages;
        p.recordSeconds += (flateStart - recordStart) / kPages;
        p.rawBytes += double(dots.rows.size()) / kPages;
    }
    return p;
}

// The pictures played in turn onto pageCount pages of a PDF at path, as printing from the
// preview draws them; the wall and CPU time it took. False, with error, when the PDF cannot be
// written.
bool printPictures(const Pictures& p, int pageCount, const std::string& path, double& seconds, double& cpu,
                   std::string& error)
{
    const auto start = Clock::now();
    const double cpuStart = cpuSeconds();
    {
        PdfFilePrinter printer(path, DosCodePage::Cp852); // its end is timed too
        printer.selectDefaultPrinter();
        printer.beginDoc();
        for (int i = 0; i < pageCount; ++i) {
            if (i > 0)
                printer.newPage();
            playEmf(p.pages[size_t(i) % p.pages.size()], *printer.pageSurface(), {});
        }
        printer.endDoc();
        if (!printer.finish()) {
            error = "cannot write " + path + ": " + printer.lastError();
            return false;
        }
    }
    seconds = secondsSince(start);
    cpu = cpuSeconds() - cpuStart;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int pages = 200;
    parseBenchOptions("quillon-bench-dotpdf", argc, argv,
                      {{"PAGES", "N", &pages, 1, 1000000, "A4 pages of each density and content"}});
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    WorkFolder folder("");
    if (folder.path().empty())
        return fail("cannot create a folder under /tmp");
    const std::string path = folder.file("dots.pdf");

    std::printf("Dot pictures into a PDF: %d A4 pages full of dots, recorded, then played onto PdfFilePrinter\n", pages);
    for (const Density& d : kDensities) {
        for (int kind = 0; kind < 3; ++kind) {
            const bool dither = kind == 2, perBand = kind == 1;
            const Pictures p = recordPictures(d, dither, perBand);
            double seconds = 0, cpu = 0;
            std::string error;
            if (!printPictures(p, pages, path, seconds, cpu, error))
                return fail(error);
            const double pdfBytes = double(std::filesystem::file_size(path));
            std::printf("  %-15s %-26s %5.0f pages/s (%5.0f by CPU time, %5.2f ms a page; Flate of the page alone %5.2f ms)"
                        "  %6.1f KB a page (1-bit Flate of the page %6.1f KB, raw %6.1f KB)  page picture %6.1f KB,"
                        " recorded in %.2f ms\n",
                        d.name, dither ? "dither" : perBand ? "line art, a picture a band" : "line art", pages / seconds,
                        pages / cpu, cpu / pages * 1e3, p.flateSeconds * 1e3, pdfBytes / pages / 1e3,
                        p.flateBytes / 1e3, p.rawBytes / 1e3, double(p.pages[0].size()) / 1e3, p.recordSeconds * 1e3);
            std::fflush(stdout);
        }
    }
    return 0;
}
