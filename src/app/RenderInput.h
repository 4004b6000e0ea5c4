#pragma once
// The input of a quillon-render run, opened and examined before anything is rendered: a spool
// file, a page store, or standard input (copied into a private file, so it can be read twice).

#include "InputKind.h"
#include "JobResult.h"
#include "OutputKind.h"
#include "RenderOptions.h"
#include "posix/DescriptorIo.h"
#include "posix/InputDescriptor.h"
#include "posix/TempFolder.h"

#include <optional>
#include <string>

namespace quillon {

struct RenderInput {
    std::string input;  // absolute and plain, or "-" for standard input
    std::string output; // absolute and plain; empty when printing
    TempFolder temp;    // the run's intermediate files
    InputDescriptor given;
    Descriptor copied; // standard input or a pipe, copied
    int fd = -1;       // the input to read: the copy, or the file itself
    DocumentKind kind = DocumentKind::Empty;

    // The path a page store given as input is opened by.
    std::string storePath() const;
};

// Opens the input of options for a run to kind. A result when the run ends here: an input that
// cannot be read, that is no file, or that is the output itself.
std::optional<JobResult> openRenderInput(const RenderOptions& options, OutputKind kind, RenderInput& in);

// Why a spool stream cannot be rendered, if it cannot: a page store's name on something else, no
// data, a document of another kind, or --pages, which only a page store takes.
std::optional<JobResult> refuseSpoolInput(const RenderOptions& options, const RenderInput& in);

} // namespace quillon
