#pragma once
// What CUPS asks of the quillon backend: its arguments, the queue's device URI and the job's
// options, read into the destination and the rendering options of one job.

#include "RenderOptions.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

// The device URI of a queue: quillon:/TARGET prints on the CUPS queue TARGET of the same server,
// quillon:/pdf/FOLDER writes a PDF file per job into FOLDER. A query (?font-size=10&orientation=L&
// code-page=852&emulation=lq) sets the queue's rendering options; a PDF folder's query may also set
// the PDFs' permissions (mode=0640).
struct BackendDevice {
    enum class Kind { Queue, PdfFolder };
    Kind kind = Kind::Queue;
    std::string target; // the queue's name, or the folder's absolute path
    std::vector<std::pair<std::string, std::string>> options;
    // The permissions of the PDFs in a folder: readable by everyone unless the URI says otherwise.
    unsigned fileMode = 0644;
};

// Nothing, with error set, for a URI that names no destination or holds a malformed query.
std::optional<BackendDevice> parseDeviceUri(const std::string& uri, std::string& error);

// The job's own arguments: job-id user title copies options [file].
struct BackendJob {
    std::string id;
    std::string user;
    std::string title;
    int copies = 1;
    std::string options; // "name=value name=value ..."
    std::string file;    // empty: the job comes on standard input
};

// From the five or six arguments after the program's name; nothing, with error set, otherwise.
std::optional<BackendJob> parseBackendJob(const std::vector<std::string>& args, std::string& error);

// Where a bad rendering option came from: the queue's URI is the administrator's to fix and
// fails every job alike; a job's own options fail only that job.
enum class OptionFault { None, Device, Job };

// font-size, orientation, code-page and emulation: the device URI's value where it gives one, else
// the job's, else the program's default. Other names in the job's options belong to CUPS and are
// passed over; the URI may hold only these four.
OptionFault resolveRenderOptions(const BackendDevice& device, const std::string& jobOptions,
                                 RenderOptions& options, std::string& error);

} // namespace quillon
