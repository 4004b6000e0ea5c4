// quillon-render as a user runs it: real files in, a page store or PNG pages out.

#include "core/EmfValidation.h"
#include "core/TestFiles.h"
#include "PdfTools.h"
#include "RenderProcess.h"
#include "gdi/ByteIO.h"
#include "report/PageRecord.h"

#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>

using namespace quillon;
using namespace quillon::test;

namespace {

using Result = RenderRun;

Result render(const QStringList& args, const std::string& cwd = {})
{
    return runRender(args, {}, cwd);
}

int32_t i32At(const std::vector<uint8_t>& b, size_t at)
{
    ByteReader in(std::span<const uint8_t>(b).subspan(at, 4));
    return in.i32();
}

// Checks a page store byte for byte against its layout; returns the page count.
int checkStore(const std::vector<uint8_t>& bytes)
{
    EXPECT_GE(bytes.size(), 19u);
    if (bytes.size() < 19)
        return -1;
    EXPECT_EQ(std::string(bytes.end() - 15, bytes.end()), "TVxReport-Ver-1");
    const int count = i32At(bytes, bytes.size() - 19);
    const size_t index = bytes.size() - 19 - size_t(count) * 38;
    size_t offset = 0;
    for (int i = 0; i < count; ++i) {
        size_t r = index + size_t(i) * 38;
        EXPECT_EQ(i32At(bytes, r), i + 1);
        const int32_t size = i32At(bytes, r + 30);
        EXPECT_EQ(size_t(i32At(bytes, r + 34)), offset);
        std::vector<uint8_t> picture(bytes.begin() + long(offset), bytes.begin() + long(offset) + size);
        EmfCheck check = checkEmf(picture);
        EXPECT_TRUE(check.ok) << "page " << i + 1 << ": " << check.error;
        offset += size_t(size);
    }
    EXPECT_EQ(offset, index) << "the pictures are followed directly by the index";
    return count;
}

// A file of real DOS printer output from the shared samples folder. Its absence is a failure,
// never a skip: a test run without the samples would pass while proving nothing.
std::string sample(const char* name)
{
    const std::string path = std::string(QUILLON_SAMPLES) + "/" + name;
    if (!std::filesystem::is_regular_file(path))
        ADD_FAILURE() << "the sample " << name << " is missing: the samples folder " << QUILLON_SAMPLES
                      << " must hold the DOS printer output these tests render";
    return path;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(RenderCli, SamplesBecomeValidPageStores)
{
    TempDir dir;
    const std::pair<const char*, int> samples[] = {
        {"escapy_escp2_1.prn", 1},
        {"dotprint_test3.KEYBCS2.prn", 2}, // ends in FF CR: the CR starts a second, empty page
        {"escapy_test2.KEYBCS2.prn", 0},
        {"escapy_test_Graphics_invoice.CP850.prn", 0},
    };
    for (auto [name, pages] : samples) {
        const std::string input = sample(name);
        if (testing::Test::HasFailure())
            return;
        std::string out = dir.file(std::string(name) + ".vxr");
        Result r = render({QString::fromStdString(input), "-o", QString::fromStdString(out)});
        ASSERT_EQ(r.exitCode, 0) << name << ": " << r.err;
        int count = checkStore(readFile(out));
        EXPECT_GE(count, 1) << name;
        if (pages) {
            EXPECT_EQ(count, pages) << name;
        }
    }
}

TEST(RenderCli, OutputIsTakenRelativeToTheCurrentFolder)
{
    TempDir dir;
    writeFile(dir.file("job.prn"), {'H', 'i', '\r', '\n', 0x0C, 'B', 'y', 'e'});
    Result r = render({"job.prn", "-o", "out.vxr"}, dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(checkStore(readFile(dir.file("out.vxr"))), 2);
}

TEST(RenderCli, RecordingPagesNeedsNoGuiPlatformWhileDrawingThemDoes)
{
    // A store names its fonts; only drawing a page resolves them, and that needs the GUI
    // application with its platform and fonts. A platform that does not exist tells the two apart.
    TempDir dir;
    writeFile(dir.file("job.prn"), {'Z', 'a', '\r', '\n'});
    const std::map<QString, QString> noPlatform{{"QT_QPA_PLATFORM", "no-such-platform"}};
    RenderRun store = runRender({"job.prn", "-o", "out.vxr"}, noPlatform, dir.path());
    ASSERT_EQ(store.exitCode, 0) << store.err;
    EXPECT_EQ(checkStore(readFile(dir.file("out.vxr"))), 1);
    RenderRun pdf = runRender({"job.prn", "-o", "out.pdf"}, noPlatform, dir.path());
    EXPECT_NE(pdf.exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.pdf")));
}

TEST(RenderCli, PngPagesAreNumberedAndSizedAsTheSheet)
{
    TempDir dir;
    // Landscape marker, then two pages.
    std::string stream = "\x1bX0Landscape page\x0cSecond";
    writeFile(dir.file("land.prn"), std::vector<uint8_t>(stream.begin(), stream.end()));
    Result r = render({QString::fromStdString(dir.file("land.prn")), "-o",
                       QString::fromStdString(dir.file("page.png")), "--dpi", "100"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    QImage first(QString::fromStdString(dir.file("page-0001.png")));
    QImage second(QString::fromStdString(dir.file("page-0002.png")));
    ASSERT_FALSE(first.isNull());
    ASSERT_FALSE(second.isNull());
    EXPECT_FALSE(std::filesystem::exists(dir.file("page-0003.png")));
    EXPECT_EQ(first.width(), 1169); // 297 mm at 100 dpi
    EXPECT_EQ(first.height(), 827);
    // Some ink near the top left, where the first line is.
    bool ink = false;
    for (int y = 0; y < 60 && !ink; ++y)
        for (int x = 0; x < 400 && !ink; ++x)
            ink = qGray(first.pixel(x, y)) < 128;
    EXPECT_TRUE(ink);
}

TEST(RenderCli, BadArgumentsAndFailedRuns)
{
    TempDir dir;
    writeFile(dir.file("a.prn"), {'x'});
    const std::string in = dir.file("a.prn");
    for (QStringList args : {QStringList{}, QStringList{QString::fromStdString(in)},
                             QStringList{QString::fromStdString(in), "-o", "x.txt"},
                             QStringList{QString::fromStdString(in), "-o", "x.vxr", "--font-size", "13"},
                             QStringList{QString::fromStdString(in), "-o", "x.vxr", "--orientation", "X"},
                             QStringList{QString::fromStdString(in), "-o", "x.vxr", "--code-page", "1250"},
                             QStringList{QString::fromStdString(in), "-o", "x.vxr", "--bogus"}}) {
        Result r = render(args, dir.path());
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
    Result emulation = render({QString::fromStdString(in), "-o", "x.vxr", "--emulation", "LQ"}, dir.path());
    EXPECT_EQ(emulation.exitCode, 2);
    EXPECT_EQ(emulation.err.rfind("quillon-render: --emulation takes simple, fx or lq\nusage:", 0), 0u) << emulation.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.vxr")));

    Result missing = render({QString::fromStdString(dir.file("none.prn")), "-o", "x.vxr"}, dir.path());
    EXPECT_EQ(missing.exitCode, 1);

    Result noFolder = render({QString::fromStdString(in), "-o", "no/such/folder/x.vxr"}, dir.path());
    EXPECT_EQ(noFolder.exitCode, 1);
    EXPECT_NE(noFolder.err.find("EVxReport_CreateFileFailed: Nie można utworzyć pliku"), std::string::npos)
        << noFolder.err;
}

TEST(RenderCli, TheEmulationOptionChoosesThePrinterTheStreamIsReadFor)
{
    // ESC + n: the simple printer drops only the ESC, a 9-pin one the ESC and its code, a 24-pin
    // one takes n as its line spacing.
    TempDir dir;
    const std::string in = dir.file("probe.prn");
    const std::string probe = "Tryb:\x1b+Dkoniec\r\n";
    writeFile(in, std::vector<uint8_t>(probe.begin(), probe.end()));
    for (auto [option, shown] : {std::pair<const char*, const char*>{nullptr, "Tryb:+Dkoniec"},
                                 {"fx", "Tryb:Dkoniec"}, {"lq", "Tryb:koniec"}}) {
        QStringList args{QString::fromStdString(in), "-o", "out.pdf"};
        if (option)
            args << "--emulation" << option;
        Result r = render(args, dir.path());
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(contains(pdfText(dir.file("out.pdf")), shown)) << (option ? option : "default") << ": "
                                                                   << pdfText(dir.file("out.pdf"));
    }
}

TEST(RenderCli, PreviewNeedsADisplayAndAStoreItCanShow)
{
    TempDir dir;
    // Trailers of stores that cannot be shown: a count the file cannot hold, and no pages at all.
    auto store = [&](const char* name, int32_t count) {
        std::vector<uint8_t> bytes(40, 0);
        ByteWriter out(bytes);
        out.i32(count);
        out.bytes(kPageStoreMagic, kPageStoreMagicSize);
        writeFile(dir.file(name), bytes);
        return QString::fromStdString(dir.file(name));
    };
    const QString damaged = store("damaged.vxr", 1000);
    const QString empty = store("empty.vxr", 0);

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(name);
    p.setProcessEnvironment(env);
    p.start(QString(QUILLON_RENDER), {damaged, "--preview"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_NE(p.readAllStandardError().indexOf("needs a display"), -1);

    const std::map<QString, QString> offscreen{{"QT_QPA_PLATFORM", "offscreen"}};
    RenderRun bad = runRender({damaged, "--preview"}, offscreen);
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("Plik raportowy jest uszkodzony"), std::string::npos) << bad.err;
    RenderRun none = runRender({empty, "--preview"}, offscreen);
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("no pages"), std::string::npos) << none.err;
    RenderRun both = runRender({empty, "--preview", "-o", "x.pdf"}, offscreen);
    EXPECT_EQ(both.exitCode, 2);
    EXPECT_NE(both.err.find("usage:"), std::string::npos);
}

TEST(RenderCli, CzechAndWesternSamplesInTheirCodePages)
{
    // Printed to PDF and read back as text: letters and box drawing must come out as the DOS
    // program meant them, not as CP852 would show the same bytes.
    TempDir dir;
    const std::string balance = sample("escapy_test2.KEYBCS2.prn");
    const std::string table = sample("dotprint_test3.KEYBCS2.prn");
    const std::string invoice = sample("escapy_test_Graphics_invoice.CP850.prn");
    if (HasFailure())
        return;

    Result r = render({qs(balance), "-o", qs(dir.file("balance.pdf")), "--code-page", "kamenicky"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string text = pdfText(dir.file("balance.pdf"));
    for (const char* part : {"Rozvaha", "Hospodářský", "Nerozdělený", "Zřizovací", "Půjčky", "╔═", "║", "╟", "╧"})
        EXPECT_TRUE(contains(text, part)) << part << " is missing from\n" << text.substr(0, 3000);

    r = render({qs(table), "-o", qs(dir.file("table.pdf")), "--code-page", "KEYBCS2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    text = pdfText(dir.file("table.pdf"));
    for (const char* part : {"VYŘIZUJE", "NAŠE", "ZNAČKA", "┌─", "─┐", "│"})
        EXPECT_TRUE(contains(text, part)) << part << " is missing from\n" << text;

    r = render({qs(invoice), "-o", qs(dir.file("invoice.pdf")), "--code-page", "850"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    text = pdfText(dir.file("invoice.pdf"));
    for (const char* part : {"Ausführung", "weiß", "Maß", "Gütezeichen"})
        EXPECT_TRUE(contains(text, part)) << part << " is missing from\n" << text.substr(0, 3000);
}

TEST(RenderCli, ADocumentOfAnotherKindOrAnEmptyFileGivesNoOutput)
{
    TempDir dir;
    const std::string pdf = "%PDF-1.4\n" + std::string(2000, 'x') + "\n%%EOF\n";
    writeFile(dir.file("x.pdf"), std::vector<uint8_t>(pdf.begin(), pdf.end()));
    writeFile(dir.file("empty.prn"), {});
    for (const char* output : {"y.pdf", "y.vxr", "y.png"}) {
        Result r = render({QString::fromStdString(dir.file("x.pdf")), "-o", output}, dir.path());
        EXPECT_EQ(r.exitCode, 1) << output;
        EXPECT_TRUE(contains(r.err, "nie jest wydrukiem DOS (dokument PDF)")) << r.err;
        Result e = render({QString::fromStdString(dir.file("empty.prn")), "-o", output}, dir.path());
        EXPECT_EQ(e.exitCode, 1) << output;
        EXPECT_TRUE(contains(e.err, "jest pusty")) << e.err;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << "no output of any kind";
}
