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

static bool parseRange(const std::string& text, int& first, int& last)
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

std::optional<RenderOptions> parseRenderOptions(const std::vector<std::string>& args,
                                                std::string& error)
{
    RenderOptions o;
    std::vector<std::string> positional;
    size_t printerCandidate = SIZE_MAX; // the argument after -p, which may be NAME or INPUT
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "-p" || a == "--printer") {
            o.print = true;
            if (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-') {
                printerCandidate = positional.size();
                positional.push_back(args[++i]);
            }
        } else if (a.rfind("--printer=", 0) == 0) {
            o.print = true;
            o.printerName = a.substr(10);
        } else if (a == "--preview") {
            o.preview = true;
        } else if (a == "--pages") {
            if (!value(v))
                return std::nullopt;
            if (!parseRange(v, o.firstPage, o.lastPage)) {
                error = "--pages takes A-B, two page numbers with A <= B";
                return std::nullopt;
            }
            o.hasPages = true;
        } else if (a == "-o" || a == "--output") {
            if (!value(o.output))
                return std::nullopt;
        } else if (a == "--font-size") {
            if (!value(v))
                return std::nullopt;
            if (!parseWholeNumber(v, settings::kFontSize.low, settings::kFontSize.high, o.fontSize)) {
                error = "--font-size takes a whole number from 6 to 12";
                return std::nullopt;
            }
        } else if (a == "--orientation") {
            if (!value(v))
                return std::nullopt;
            if (v != "P" && v != "L") {
                error = "--orientation takes P or L";
                return std::nullopt;
            }
            o.orientation = v;
        } else if (a == "--font") {
            if (!value(o.fontName))
                return std::nullopt;
        } else if (a == "--emulation") {
            if (!value(v))
                return std::nullopt;
            auto emulation = parseEmulation(v);
            if (!emulation) {
                error = "--emulation takes " + settings::emulationNames();
                return std::nullopt;
            }
            o.emulation = *emulation;
        } else if (a == "--code-page") {
            if (!value(v))
                return std::nullopt;
            auto cp = codePageFromName(v);
            if (!cp) {
                error = "--code-page takes 852, 437, 850, mazovia or kamenicky";
                return std::nullopt;
            }
            o.codePage = *cp;
        } else if (a == "--dpi") {
            if (!value(v))
                return std::nullopt;
            if (!parseWholeNumber(v, 10, 1200, o.dpi)) {
                error = "--dpi takes a whole number from 10 to 1200";
                return std::nullopt;
            }
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return std::nullopt;
        } else {
            positional.push_back(a);
        }
    }
    // -p NAME INPUT, or -p INPUT: the word after -p names a printer only when another one follows.
    if (printerCandidate != SIZE_MAX && positional.size() >= 2) {
        o.printerName = positional[printerCandidate];
        positional.erase(positional.begin() + long(printerCandidate));
    }
    if (positional.empty()) {
        error = "no input given";
        return std::nullopt;
    }
    if (positional.size() > 1) {
        error = "only one input can be rendered at a time";
        return std::nullopt;
    }
    o.input = positional[0];
    if (o.preview) {
        if (!o.output.empty()) {
            error = "--preview and -o cannot be used together";
            return std::nullopt;
        }
        if (o.hasPages) {
            error = "--preview shows every page; --pages does not go with it";
            return std::nullopt;
        }
        return o;
    }
    if (o.print == !o.output.empty()) {
        error = o.print ? "-o and -p cannot be used together" : "no output given (-o FILE or -p)";
        return std::nullopt;
    }
    if (!o.print && !endsWithNoCase(o.output, ".vxr") && !endsWithNoCase(o.output, ".png")
        && !endsWithNoCase(o.output, ".pdf")) {
        error = "the output must end in .vxr, .png or .pdf";
        return std::nullopt;
    }
    return o;
}

} // namespace quillon
