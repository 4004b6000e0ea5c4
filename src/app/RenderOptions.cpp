#include "RenderOptions.h"

#include "TextUtil.h"

#include <charconv>
#include <cstdint>

namespace quillon {

const char* const kRenderUsage =
    "usage: quillon-render [options] INPUT [-o OUTPUT | -p [NAME] | --preview]\n"
    "  INPUT                    a spool file (- for standard input), or a page store (.vxr) to\n"
    "                           output again\n"
    "  -o, --output FILE        .vxr: the page store; .png: one PNG per page (FILE-0001.png, ...);\n"
    "                           .pdf: a PDF through the printing path (the whole A4 sheet is printable)\n"
    "  -p, --printer [NAME]     print on a CUPS printer (the default printer when NAME is left out)\n"
    "      --preview            show the pages in the preview window (needs a display); its print\n"
    "                           command prints on the default printer, or on NAME with -p NAME\n"
    "      --pages A-B          with a page store as INPUT: the stored pages to output\n"
    "      --font-size N        default font size, 6 to 12 (default 12)\n"
    "      --orientation P|L    default orientation (default P)\n"
    "      --font NAME          font face (default \"Courier New\")\n"
    "      --emulation E        the printer the stream is read for: simple (default), fx (Epson\n"
    "                           9-pin) or lq (Epson 24-pin)\n"
    "      --code-page CP       the DOS code page of the input's text: 852 (default), 437, 850,\n"
    "                           mazovia or kamenicky\n"
    "      --dpi N              resolution of PNG pages (default 150)\n"
    "   or: quillon-render --settings        print the stored settings\n"
    "   or: quillon-render --watch [--once]  print the files dropped into the folder patterns\n"
    "   or: quillon-render --version         print the program's version\n";

namespace {

bool parseRange(const std::string& text, int& first, int& last)
{
    size_t dash = text.find('-');
    if (dash == std::string::npos) {
        if (!parseWholeNumber(text, 1, 1000000000, first))
            return false;
        last = first;
        return true;
    }
    return parseWholeNumber(text.substr(0, dash), 1, 1000000000, first)
        && parseWholeNumber(text.substr(dash + 1), 1, 1000000000, last) && first <= last;
}

// An option that takes a value: its names, and what the value does to the options. set returns
// the reason when the value is refused, or nothing.
struct ValueOption {
    const char* name;
    const char* alias;
    std::string (*set)(RenderOptions& o, const std::string& value);
};

const ValueOption kValueOptions[] = {
    {"-o", "--output", [](RenderOptions& o, const std::string& v) -> std::string {
         o.output = v;
         return {};
     }},
    {"--pages", nullptr, [](RenderOptions& o, const std::string& v) -> std::string {
         if (!parseRange(v, o.firstPage, o.lastPage))
             return "--pages takes A-B, two page numbers with A <= B";
         o.hasPages = true;
         return {};
     }},
    {"--font-size", nullptr, [](RenderOptions& o, const std::string& v) -> std::string {
         return parseWholeNumber(v, settings::kFontSize.low, settings::kFontSize.high, o.fontSize)
             ? std::string() : "--font-size takes a whole number from 6 to 12";
     }},
    {"--orientation", nullptr, [](RenderOptions& o, const std::string& v) -> std::string {
         if (v != settings::kPortrait && v != settings::kLandscape)
             return "--orientation takes P or L";
         o.orientation = v;
         return {};
     }},
    {"--font", nullptr, [](RenderOptions& o, const std::string& v) -> std::string {
         o.fontName = v;
         return {};
     }},
    {"--emulation", nullptr, [](RenderOptions& o, const std::string& v) -> std::string {
         const auto emulation = parseEmulation(v);
         if (!emulation)
             return "--emulation takes " + settings::emulationNames();
         o.emulation = *emulation;
         return {};
     }},
    {"--code-page", nullptr, [](RenderOptions& o, const std::string& v) -> std::string {
         const auto cp = codePageFromName(v);
         if (!cp)
             return "--code-page takes 852, 437, 850, mazovia or kamenicky";
         o.codePage = *cp;
         return {};
     }},
    {"--dpi", nullptr, [](RenderOptions& o, const std::string& v) -> std::string {
         return parseWholeNumber(v, 10, 1200, o.dpi) ? std::string() : "--dpi takes a whole number from 10 to 1200";
     }},
};

const ValueOption* valueOption(const std::string& arg)
{
    for (const ValueOption& option : kValueOptions)
        if (arg == option.name || (option.alias && arg == option.alias))
            return &option;
    return nullptr;
}

// The words of the command line sorted out: the options set, the other words kept in order.
struct Words {
    std::vector<std::string> positional;
    size_t printerCandidate = SIZE_MAX; // the word after -p, which may be NAME or INPUT
};

bool readWords(const std::vector<std::string>& args, RenderOptions& o, Words& words, std::string& error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (const ValueOption* option = valueOption(a)) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            error = option->set(o, args[++i]);
            if (!error.empty())
                return false;
        } else if (a == "-p" || a == "--printer") {
            o.print = true;
            if (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-') {
                words.printerCandidate = words.positional.size();
                words.positional.push_back(args[++i]);
            }
        } else if (a.rfind("--printer=", 0) == 0) {
            o.print = true;
            o.printerName = a.substr(10);
        } else if (a == "--preview") {
            o.preview = true;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else {
            words.positional.push_back(a);
        }
    }
    return true;
}

// The one input, and the printer named after -p; the reason when the words do not make one.
const char* takeInput(Words& words, RenderOptions& o)
{
    // -p NAME INPUT, or -p INPUT: the word after -p names a printer only when another one follows.
    if (words.printerCandidate != SIZE_MAX && words.positional.size() >= 2) {
        o.printerName = words.positional[words.printerCandidate];
        words.positional.erase(words.positional.begin() + long(words.printerCandidate));
    }
    if (words.positional.empty())
        return "no input given";
    if (words.positional.size() > 1)
        return "only one input can be rendered at a time";
    o.input = words.positional[0];
    return nullptr;
}

// The reason when the destinations asked for do not go together, or nullptr.
const char* checkDestination(const RenderOptions& o)
{
    if (o.preview) {
        if (!o.output.empty())
            return "--preview and -o cannot be used together";
        if (o.hasPages)
            return "--preview shows every page; --pages does not go with it";
        return nullptr;
    }
    if (o.print == !o.output.empty())
        return o.print ? "-o and -p cannot be used together" : "no output given (-o FILE or -p)";
    if (!o.print && !endsWithNoCase(o.output, ".vxr") && !endsWithNoCase(o.output, ".png")
        && !endsWithNoCase(o.output, ".pdf"))
        return "the output must end in .vxr, .png or .pdf";
    return nullptr;
}

} // namespace

std::optional<RenderOptions> parseRenderOptions(const std::vector<std::string>& args,
                                                std::string& error)
{
    RenderOptions o;
    Words words;
    if (!readWords(args, o, words, error))
        return std::nullopt;
    const char* wrong = takeInput(words, o);
    if (!wrong)
        wrong = checkDestination(o);
    if (wrong) {
        error = wrong;
        return std::nullopt;
    }
    return o;
}

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, std::string& error)
{
    using Args = std::vector<std::string>;
    CommandLine line;
    // The other commands stand alone; anything else is a render.
    if (args == Args{"--version"})
        line.command = CommandLine::Version;
    else if (args == Args{"--settings"})
        line.command = CommandLine::Settings;
    else if (args == Args{"--watch"})
        line.command = CommandLine::Watch;
    else if (args == Args{"--watch", "--once"} || args == Args{"--once", "--watch"})
        line.command = CommandLine::WatchOnce;
    if (line.command != CommandLine::Render)
        return line;
    auto options = parseRenderOptions(args, error);
    if (!options)
        return std::nullopt;
    line.render = std::move(*options);
    return line;
}

} // namespace quillon
