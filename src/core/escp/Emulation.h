#pragma once
// Which printer the stream is read for: the simple dot-matrix printer (the default, whose outputs
// never change), an Epson 9-pin ESC/P printer (FX/LX family) or an Epson 24-pin one (LQ family,
// with the ESC/P2 additions).

#include <optional>
#include <string_view>

namespace quillon {

enum class PrinterEmulation { Simple, Fx, Lq };

// The stored and command-line names: "simple", "fx", "lq".
constexpr std::string_view emulationName(PrinterEmulation e)
{
    switch (e) {
    case PrinterEmulation::Fx:
        return "fx";
    case PrinterEmulation::Lq:
        return "lq";
    case PrinterEmulation::Simple:
        break;
    }
    return "simple";
}

// The emulation of a stored or command-line name (exact, lower case); nothing for any other text.
constexpr std::optional<PrinterEmulation> parseEmulation(std::string_view name)
{
    for (PrinterEmulation e : {PrinterEmulation::Simple, PrinterEmulation::Fx, PrinterEmulation::Lq})
        if (emulationName(e) == name)
            return e;
    return std::nullopt;
}

} // namespace quillon
