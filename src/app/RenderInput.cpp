#include "RenderInput.h"

#include "TextUtil.h"
#include "posix/PrivateCopy.h"
#include "report/PageStore.h"

#include <filesystem>

namespace quillon {

namespace fs = std::filesystem;

std::string RenderInput::storePath() const
{
    return copied.get() >= 0 ? "/proc/self/fd/" + std::to_string(fd) : input;
}

std::optional<JobResult> openRenderInput(const RenderOptions& o, OutputKind kind, RenderInput& in)
{
    std::error_code ec;
    const bool fromStdin = o.input == "-";
    in.input = fromStdin ? std::string("-") : fs::absolute(o.input, ec).lexically_normal().string();
    in.output = o.output.empty() ? std::string() : fs::absolute(o.output, ec).lexically_normal().string();

    std::string error;
    if (!in.given.open(in.input, fromStdin, error))
        return JobResult::failed(error);
    if (!in.given.isRegular() && !in.given.isFifo())
        return JobResult::failed(in.input + " is not a file: give a spool file, a page store or - for standard input");
    if (!in.output.empty()
        && (in.given.isFile(in.output) || (kind == OutputKind::PngPages && in.given.isFile(pngPageName(in.output, 1)))))
        return JobResult::badRequest("the output " + in.output + " is the input itself");
    in.given.setBlocking();

    if (in.given.isFifo() && in.temp.path().empty())
        return JobResult::failed("cannot create a temporary folder");
    in.copied.reset(in.given.isFifo() ? copyToPrivateFile(in.given.fd(), in.temp.path(), error) : -1);
    if (in.given.isFifo() && in.copied.get() < 0)
        return JobResult::failed(error);
    in.fd = in.copied.get() >= 0 ? in.copied.get() : in.given.fd();
    in.kind = documentKindOf(in.fd);
    return std::nullopt;
}

std::optional<JobResult> refuseSpoolInput(const RenderOptions& o, const RenderInput& in)
{
    // A name that says page store: such a file without a whole trailer is a damaged store, not a
    // spool stream to print as text.
    if (endsWithNoCase(in.input, ".vxr"))
        return JobResult::failed(in.input + ": " + kStoreDamagedMessage);
    if (in.kind == DocumentKind::Empty || isForeignDocument(in.kind))
        return JobResult::failed(notPrintableText(in.input, in.kind) + "; nic nie wydrukowano ani nie zapisano.");
    if (o.hasPages)
        return JobResult::badRequest("--pages needs a page store as input");
    return std::nullopt;
}

} // namespace quillon
