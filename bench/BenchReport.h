#pragma once
// The lines of a benchmark's report: a figure under its label, the spread of timed samples, and
// the message of a failed run.

#include <string>
#include <vector>

namespace quillon::bench {

// Figures as the reports give them: bytes in MB, KiB in MiB.
inline double mb(double bytes) { return bytes / 1e6; }
inline double mib(double kib) { return kib / 1024.0; }

// "  label            figures": the label in a column of its own, then the formatted figures.
[[gnu::format(printf, 2, 3)]] void reportLine(const char* label, const char* format, ...);

// "what   median … ms  p90 … ms  min … ms  max … ms  (N samples)", of samples in milliseconds;
// counted names what the samples are ("samples", "files").
void reportSpread(const char* what, std::vector<double> milliseconds, const char* counted = "samples");

// "PROGRAM: message" on stderr; returns 1, the exit status of a failed run.
int fail(const std::string& message);

} // namespace quillon::bench
