#include "BenchOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace quillon::bench {

namespace {

const char* g_program = "quillon-bench";

bool positional(const BenchOption& o) { return o.name[0] != '-'; }

std::string synopsis(const BenchOption& o)
{
    if (positional(o))
        return std::string("[") + o.name + "]";
    return std::string("[") + o.name + (o.value ? std::string(" ") + o.value : "") + "]";
}

void usage(FILE* to, const std::vector<BenchOption>& options)
{
    std::string line = std::string("usage: ") + g_program;
    for (const BenchOption& o : options)
        line += " " + synopsis(o);
    std::fprintf(to, "%s\n", line.c_str());
    for (const BenchOption& o : options) {
        std::string head = std::string("  ") + o.name + (o.value && !positional(o) ? std::string(" ") + o.value : "");
        std::string help = o.help;
        if (const auto* n = std::get_if<int*>(&o.target))
            help += " (default " + std::to_string(**n) + ")";
        // The help's first line beside the option, the others under it.
        head.resize(std::max<size_t>(head.size() + 2, 16), ' ');
        size_t at = 0;
        for (bool first = true; at <= help.size(); first = false) {
            const size_t end = std::min(help.find('\n', at), help.size());
            std::fprintf(to, "%s%s\n", first ? head.c_str() : std::string(head.size(), ' ').c_str(),
                         help.substr(at, end - at).c_str());
            at = end + 1;
        }
    }
}

bool oneOf(const char* choices, std::string_view value)
{
    std::string_view rest = choices;
    while (true) {
        const size_t bar = rest.find('|');
        if (rest.substr(0, bar) == value)
            return true;
        if (bar == std::string_view::npos)
            return false;
        rest.remove_prefix(bar + 1);
    }
}

// The value text into the option's target; what is wrong with it, or nothing.
std::string take(const BenchOption& o, const char* text)
{
    if (auto* n = std::get_if<int*>(&o.target)) {
        if (parseNumber(text, o.low, o.high, **n))
            return {};
        return std::string(o.name) + " wants a whole number from " + std::to_string(o.low) + " to "
             + std::to_string(o.high) + ", not \"" + text + "\"";
    }
    if (o.choices && !oneOf(o.choices, text))
        return std::string(o.name) + " wants one of " + o.choices + ", not \"" + text + "\"";
    *std::get<std::string*>(o.target) = text;
    return {};
}

[[noreturn]] void refuse(const std::string& why, const std::vector<BenchOption>& options)
{
    std::fprintf(stderr, "%s: %s\n", g_program, why.c_str());
    usage(stderr, options);
    std::exit(2);
}

} // namespace

const char* benchProgram() { return g_program; }

bool parseNumber(const char* text, int low, int high, int& number)
{
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || n < low || n > high)
        return false;
    number = int(n);
    return true;
}

void parseBenchOptions(const char* program, int argc, char** argv, const std::vector<BenchOption>& options)
{
    g_program = program;
    std::vector<const BenchOption*> places;
    for (const BenchOption& o : options)
        if (positional(o))
            places.push_back(&o);
    size_t place = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--help" || a == "-h") {
            usage(stdout, options);
            std::exit(0);
        }
        const BenchOption* option = nullptr;
        for (const BenchOption& o : options)
            if (!positional(o) && a == o.name)
                option = &o;
        if (!option && a.substr(0, 1) != "-" && place < places.size()) {
            if (std::string why = take(*places[place++], argv[i]); !why.empty())
                refuse(why, options);
            continue;
        }
        if (!option)
            refuse("unknown argument \"" + std::string(a) + "\"", options);
        if (auto* flag = std::get_if<bool*>(&option->target)) {
            **flag = true;
            continue;
        }
        if (i + 1 == argc)
            refuse(std::string(option->name) + " wants a value", options);
        if (std::string why = take(*option, argv[++i]); !why.empty())
            refuse(why, options);
    }
}

std::vector<BenchOption> runOptionRows(RunOptions& o, std::string pagesHelp, std::string outHelp,
                                       std::string repeatHelp)
{
    return {{"--pages", "N", &o.pages, 1, 1000000, std::move(pagesHelp)},
            {"--repeat", "K", &o.repeat, 1, 100, std::move(repeatHelp)},
            {"--out", "DIR", &o.out, std::move(outHelp)}};
}

} // namespace quillon::bench
