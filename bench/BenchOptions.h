#pragma once
// The options of a benchmark, as a table: each row names an option (or, without a leading "-",
// an argument by its place), what it sets and its help text. parseBenchOptions reads argv
// against the table the same way for every benchmark: --help (or -h) prints the usage built from
// the table and exits 0; anything it cannot take prints what is wrong and the usage on stderr and
// exits 2.

#include <string>
#include <variant>
#include <vector>

namespace quillon::bench {

struct BenchOption {
    // A number within low..high; its initial value is its default.
    BenchOption(const char* name, const char* value, int* target, int low, int high, std::string help)
        : name(name), value(value), target(target), low(low), high(high), help(std::move(help)) {}
    // A text; one of choices ("a|b|c") when they are given.
    BenchOption(const char* name, const char* value, std::string* target, std::string help,
                const char* choices = nullptr)
        : name(name), value(value), target(target), choices(choices), help(std::move(help)) {}
    // A flag: present or not.
    BenchOption(const char* name, bool* target, std::string help)
        : name(name), target(target), help(std::move(help)) {}

    const char* name;            // "--pages", or "COUNT" for an argument taken by its place
    const char* value = nullptr; // the value's placeholder in the usage ("N"); none for a flag
    std::variant<int*, std::string*, bool*> target;
    int low = 0;
    int high = 0;
    const char* choices = nullptr;
    std::string help; // one or more lines; "(default N)" is added for a number
};

// The program's name for its messages (the first argument of parseBenchOptions).
const char* benchProgram();

// Sets the targets from argv; returns only when every argument was taken.
void parseBenchOptions(const char* program, int argc, char** argv, const std::vector<BenchOption>& options);

// What the benchmarks that run jobs over a generated stream take alike.
struct RunOptions {
    int pages = 0;
    int repeat = 1;
    std::string out;
};

// Their rows: --pages N (1 to 1000000), --repeat K (1 to 100) and --out DIR, each with the
// benchmark's own help.
std::vector<BenchOption> runOptionRows(RunOptions& o, std::string pagesHelp, std::string outHelp,
                                       std::string repeatHelp = "measure K times and report the medians");

// A whole decimal number within low..high, or false.
bool parseNumber(const char* text, int low, int high, int& number);

} // namespace quillon::bench
