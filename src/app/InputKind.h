#pragma once
// What kind of file a job's input is, told from its first and last bytes.

#include "intake/DocumentKind.h"

#include <string>

namespace quillon {

// The kind of the file open on fd.
DocumentKind documentKindOf(int fd);

// A page store written by the program: its magic ends the file.
bool isPageStore(int fd);

// A document of another kind that reached a queue for DOS printer streams (a PDF, PostScript,
// a printer's job language, a picture, an archive, a program, a page store): what it is, in a few
// words. Empty for anything that may be a DOS printer stream, and for an empty file.
std::string foreignDocumentKind(int fd);

} // namespace quillon
