#pragma once
// What the settings dialog's controls hold, and how they are filled from the settings record and
// copied back into it. No window is needed: the dialog only moves these values into its widgets.

#include "settings/Settings.h"

#include <QString>
#include <QStringList>

#include <string>

namespace quillon {

struct ParsControls {
    QStringList fontNames;  // the font list
    int fontIndex = -1;     // its selection; -1: none
    QStringList sizes;      // " 6 pkt" .. "12 pkt"
    int sizeIndex = -1;
    int slider = settings::kPollingFreq.def; // seconds, 2 to 10
    QStringList pathLines;  // the lines of the folder-pattern field
    bool landscape = false; // the second orientation item
    bool preview = false;
    int emulationIndex = 0; // in emulationEntries()
};

// " 6 pkt" .. "12 pkt": the font sizes in rising order, as "%2d pkt" writes them.
QStringList fontSizeEntries();
// The number in the first two characters of a size entry, 0 when there is none.
int fontSizeOfEntry(const QString& entry);
// "Prosta (zgodna)", "Epson FX (9 igieł)", "Epson LQ (24 igły)": the emulations as the user
// chooses them, in the order of settings::kEmulations.
QStringList emulationEntries();
// "7 sek.": the slider's label.
QString pollingLabel(int seconds);

// "READ": the controls from the record. The font: the stored name, else "Courier New", else the
// first name (letter case ignored); the size: its entry, else the last one.
void readControls(const TSettings& settings, ParsControls& controls);
// "WRITE": the record from the controls. Pattern lines are trimmed of blanks and control
// characters; lines left empty are dropped.
void writeControls(const ParsControls& controls, TSettings& settings);

// Why the pattern lines cannot be stored, or an empty text when they can: every line that is
// not empty names its folder in full (from "/" or "~/"), and there are no more of them than the
// settings can hold. badLine: the index of the line at fault (-1 when none is).
QString pathLinesProblem(const QStringList& lines, int& badLine);

// Names sorted and each kept once, letter case ignored.
QStringList sortedUniqueIgnoringCase(QStringList names);
// The installed scalable fixed-pitch families that cover Latin, sorted and unique ignoring case,
// with "Courier New" when the desktop resolves that name to such a face. Needs a QGuiApplication.
QStringList fixedPitchFontFamilies();

// Text as the DOS programs' printers receive it: CP852 bytes, one per character ('?' where the
// code page has none).
std::string AnsiToOem(const QString& text);

} // namespace quillon
