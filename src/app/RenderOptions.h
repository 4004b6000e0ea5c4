#pragma once
// The command line of quillon-render.

#include "gdi/CodePage.h"
#include "settings/Settings.h"

#include <optional>
#include <string>
#include <vector>

namespace quillon {

struct RenderOptions {
    std::string input;
    std::string output;      // .vxr, .png or .pdf; empty when printing
    bool print = false;      // -p: print on a CUPS printer
    bool preview = false;    // --preview: show the pages in the preview window
    std::string printerName; // empty: the default printer
    bool hasPages = false;   // --pages A-B, for a page store as input
    int firstPage = 1;
    int lastPage = 1;
    int fontSize = settings::kFontSize.def;
    std::string orientation = settings::kPortrait;
    std::string fontName = settings::kDefaultFontName;
    PrinterEmulation emulation = settings::kDefaultEmulation;
    DosCodePage codePage = DosCodePage::Cp852;
    int dpi = 150;
};

// Parses the arguments (without the program name). On a bad argument returns nothing and sets
// error to what is wrong.
std::optional<RenderOptions> parseRenderOptions(const std::vector<std::string>& args,
                                                std::string& error);

// The whole command line of quillon-render: a render with its options, or one of the commands
// that stand alone.
struct CommandLine {
    enum Command { Render, Settings, Watch, WatchOnce, Version } command = Render;
    RenderOptions render; // for Render
};

// On a bad command line returns nothing and sets error to what is wrong (to be followed by the
// usage, exit code 2).
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, std::string& error);

extern const char* const kRenderUsage;

} // namespace quillon
