#pragma once
// What poppler's pdfinfo says about a PDF: the benchmarks check their PDFs' page counts with it.

#include <string>

namespace quillon::bench {

// Whether program is an executable file in one of PATH's folders.
bool onPath(const char* program);

// The page count pdfinfo reads from the file; -1 when pdfinfo could not read it.
int pdfinfoPages(const std::string& path);

} // namespace quillon::bench
