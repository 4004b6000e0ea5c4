#pragma once
// quillon-render --settings and --watch: the stored settings, and the intake without windows.

namespace quillon {

// Prints the loaded settings record as the store writes it. Returns the exit status.
int printSettings();

// Polls the folder patterns every PollingFreq seconds and prints each job on the default
// printer; with once, runs one pass and returns. Returns the exit status.
int watchFolders(bool once);

} // namespace quillon
