#include "RenderOptions.h"

#include <charconv>

namespace quillon {

const char* const kRenderUsage =
    "usage: quillon-render [options] SPOOLFILE -o OUTPUT\n"
    "  -o, --output FILE        .vxr: the page store; .png: one PNG per page (FILE-0001.png, ...)\n"
    "      --font-size N        default font size, 6 to 12 (default 12)\n"
    "      --orientation P|L    default orientation (default P)\n"
    "      --font NAME          font face (default \"Courier New\")\n"
    "      --code-page CP       852 (default), 437 or mazovia: how the bytes are drawn in PNG pages\n"
    "      --dpi N              resolution of PNG pages (default 150)\n";

namespace {

bool parseInt(const std::string& text, int low, int high, int& value)
{
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high)
        return false;
    value = v;
    return true;
}

bool endsWith(const std::string& s, const std::string& suffix)
{
    if (s.size() < suffix.size())
        return false;
    for (size_t i = 0; i < suffix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - suffix.size() + i])) != suffix[i])
            return false;
    return true;
}

} // namespace

std::optional<RenderOptions> parseRenderOptions(const std::vector<std::string>& args,
                                                std::string& error)
{
    RenderOptions o;
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
        if (a == "-o" || a == "--output") {
            if (!value(o.output))
                return std::nullopt;
        } else if (a == "--font-size") {
            if (!value(v))
                return std::nullopt;
            if (!parseInt(v, 6, 12, o.fontSize)) {
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
        } else if (a == "--code-page") {
            if (!value(v))
                return std::nullopt;
            auto cp = codePageFromName(v);
            if (!cp) {
                error = "--code-page takes 852, 437 or mazovia";
                return std::nullopt;
            }
            o.codePage = *cp;
        } else if (a == "--dpi") {
            if (!value(v))
                return std::nullopt;
            if (!parseInt(v, 10, 1200, o.dpi)) {
                error = "--dpi takes a whole number from 10 to 1200";
                return std::nullopt;
            }
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return std::nullopt;
        } else if (o.input.empty()) {
            o.input = a;
        } else {
            error = "only one spool file can be rendered at a time";
            return std::nullopt;
        }
    }
    if (o.input.empty()) {
        error = "no spool file given";
        return std::nullopt;
    }
    if (o.output.empty()) {
        error = "no output given (-o FILE.vxr or FILE.png)";
        return std::nullopt;
    }
    if (!endsWith(o.output, ".vxr") && !endsWith(o.output, ".png")) {
        error = "the output must end in .vxr or .png";
        return std::nullopt;
    }
    return o;
}

} // namespace quillon
