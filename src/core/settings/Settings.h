#pragma once
// The settings record: one per process, read by the intake and the print-stream emulation.

#include <string>
#include <vector>

namespace quillon {

struct TSettings {
    std::string FontName = "Courier New";
    int FontSize = 12;    // points, 6 to 12
    int PollingFreq = 4;  // seconds, 2 to 10
    std::string PageOrient = "P";
    bool Preview = true;
    std::vector<std::string> PeekPaths;
};

} // namespace quillon
