// libFuzzer target: any bytes as a spool file, through the page renderer of one of the three
// emulations (by the input's size) into page pictures, which are then played back.

#include "escp/ByteSource.h"
#include "escp/PageRenderer.h"
#include "escp/PrinterState.h"
#include "escp/epson/EpsonRenderer.h"
#include "gdi/EmfPlayer.h"
#include "gdi/EmfRecorder.h"
#include "report/FileAccess.h"
#include "report/ReportPrinter.h"
#include "report/ReportProgress.h"
#include "report/VxCanvas.h"
#include "report/VxReport.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

class MemorySource : public quillon::ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    size_t read(char* buffer, size_t size) override
    {
        size_t n = std::min(size, m_size - m_pos);
        std::memcpy(buffer, m_data + m_pos, n);
        m_pos += n;
        return n;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

class NoFiles : public quillon::FileAccess {
public:
    std::unique_ptr<quillon::OutputFile> createExclusive(const std::string&, std::string&) override { return nullptr; }
    std::unique_ptr<quillon::InputFile> openDenyWrite(const std::string&, quillon::OpenFailure&) override { return nullptr; }
    bool writeWholeFile(const std::string&, std::span<const uint8_t>) override { return false; }
    std::string programDir() const override { return "/nonexistent"; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace quillon;
    TSettings settings;
    TPrinterState state;
    SheetOnlyPrinter printer(21000, 29700);
    NoFiles files;
    SilentProgress progress;
    TVxReport report(printer, files, progress);
    report.MargLeft = 300;
    PageRenderer renderer(state, settings);
    epson::EpsonRenderer epsonRenderer(state, settings);
    MemorySource source(data, size);
    renderer.JobFile = &source;
    renderer.JobFontSize = 6 + int(size % 7);
    state.scale = renderer.JobFontSize / 12.0;
    const PrinterEmulation emulation = PrinterEmulation(size % 3);
    epsonRenderer.JobFile = &source;
    epsonRenderer.JobFontSize = renderer.JobFontSize;
    if (emulation != PrinterEmulation::Simple)
        epsonRenderer.startJob(emulation);

    EmfRecorder page(Size{21000, 29700});
    EmfRecorder replay(Size{21000, 29700});
    bool stop = false;
    for (int pages = 0; !stop && pages < 1000; ++pages) {
        page.restart(Size{21000, 29700});
        {
            TVxCanvas canvas(page);
            if (emulation == PrinterEmulation::Simple)
                renderer.RAPPaintPage(report, canvas, stop);
            else
                epsonRenderer.RAPPaintPage(report, canvas, stop);
        }
        replay.restart(Size{21000, 29700});
        playEmf(page.finish(), replay, {300, 0});
    }
    return 0;
}
