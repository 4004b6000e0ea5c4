#include "BackendRequest.h"

#include "TextUtil.h"

#include <cups/cups.h>

#include <charconv>
#include <map>

namespace quillon {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// %XX escapes decoded; false for a broken escape.
bool percentDecode(const std::string& text, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        out += char(high * 16 + low);
        i += 2;
    }
    return true;
}


constexpr const char* kOptionNames[] = {"font-size", "orientation", "code-page", "emulation"};

// "font-size, orientation, ...": the names the device URI may hold, for a message.
std::string optionNames()
{
    std::string text;
    for (const char* name : kOptionNames)
        text += std::string(text.empty() ? "" : ", ") + name;
    return text;
}

bool isRenderOption(const std::string& name)
{
    for (const char* known : kOptionNames)
        if (name == known)
            return true;
    return false;
}

// One option's value into options; false with error set when the value is not one it takes.
bool applyOption(const std::string& name, const std::string& value, RenderOptions& options,
                 std::string& error)
{
    if (name == "font-size") {
        if (parseWholeNumber(value, 6, 12, options.fontSize))
            return true;
        error = "font-size takes a whole number from 6 to 12, not \"" + value + "\"";
        return false;
    }
    if (name == "orientation") {
        if (value == "P" || value == "p" || value == "portrait") {
            options.orientation = "P";
            return true;
        }
        if (value == "L" || value == "l" || value == "landscape") {
            options.orientation = "L";
            return true;
        }
        error = "orientation takes P or L, not \"" + value + "\"";
        return false;
    }
    if (name == "emulation") {
        if (auto emulation = parseEmulation(value)) {
            options.emulation = *emulation;
            return true;
        }
        error = "emulation takes " + settings::emulationNames() + ", not \"" + value + "\"";
        return false;
    }
    if (auto cp = codePageFromName(value)) {
        options.codePage = *cp;
        return true;
    }
    error = "code-page takes 852, 437, 850, kamenicky or mazovia, not \"" + value + "\"";
    return false;
}

// A PDF's permissions as an octal number: read and write bits only, never writable by others.
bool parseFileMode(const std::string& value, unsigned& mode, std::string& error)
{
    if (value.empty() || value.size() > 4 || value.find_first_not_of("01234567") != std::string::npos) {
        error = "the device URI's mode takes the octal permissions of the PDFs, such as 0644 or 0640, not \""
            + value + "\"";
        return false;
    }
    const unsigned parsed = unsigned(std::stoul(value, nullptr, 8));
    if (parsed & 07000) {
        error = "the device URI's mode \"" + value
            + "\" sets the set-user-ID, set-group-ID or sticky bit: a PDF takes only read and write bits, such as 0644";
        return false;
    }
    if (parsed & 0002) {
        error = "the device URI's mode \"" + value
            + "\" would let everyone change or empty the PDFs: take one that others may only read, such as 0644";
        return false;
    }
    mode = parsed;
    return true;
}

// The destination of the device URI uri, path its part after the scheme: a queue
// (quillon:/QUEUE) or a folder of PDFs (quillon:/pdf/FOLDER), with one slash or three.
bool readDestination(const std::string& uri, const std::string& path, BackendDevice& device, std::string& error)
{
    const size_t slashes = path.find_first_not_of('/');
    std::string target;
    if (slashes == 0 || slashes == std::string::npos || !percentDecode(path.substr(slashes), target)) {
        error = "the device URI \"" + uri + "\" names no destination: quillon:/QUEUE or quillon:/pdf/FOLDER";
        return false;
    }
    if (target.compare(0, 4, "pdf/") != 0) {
        device.target = target;
        if (device.target.find('/') == std::string::npos)
            return true;
        error = "the device URI \"" + uri + "\" names no queue: a queue's name holds no \"/\"";
        return false;
    }
    device.kind = BackendDevice::Kind::PdfFolder;
    device.target = target.substr(3);
    while (device.target.size() > 1 && device.target.back() == '/')
        device.target.pop_back();
    if (device.target != "/")
        return true;
    error = "the device URI \"" + uri + "\" names no folder: quillon:/pdf/FOLDER";
    return false;
}

// One NAME=VALUE of the device URI's query: a render option, or the PDFs' mode for a folder.
bool readDeviceOption(const std::string& pair, BackendDevice& device, std::string& error)
{
    const size_t equals = pair.find('=');
    std::string name, value;
    if (equals == std::string::npos || !percentDecode(pair.substr(0, equals), name)
        || !percentDecode(pair.substr(equals + 1), value)) {
        error = "the device URI's option \"" + pair + "\" is not NAME=VALUE";
        return false;
    }
    if (name == "mode" && device.kind == BackendDevice::Kind::PdfFolder)
        return parseFileMode(value, device.fileMode, error);
    if (!isRenderOption(name)) {
        error = "the device URI has an unknown option \"" + name + "\" (known: " + optionNames()
            + "; mode for quillon:/pdf/FOLDER)";
        return false;
    }
    device.options.emplace_back(name, value);
    return true;
}

// The query's options, separated by "&"; empty ones are passed over.
bool readDeviceOptions(const std::string& query, BackendDevice& device, std::string& error)
{
    size_t start = 0;
    while (start < query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        const std::string pair = query.substr(start, end - start);
        start = end + 1;
        if (!pair.empty() && !readDeviceOption(pair, device, error))
            return false;
    }
    return true;
}

} // namespace

// A device URI is quillon:/DESTINATION?QUERY; each step below reads one part of it into device,
// or says with error what is wrong with the URI (quoted whole) and gives false.
std::optional<BackendDevice> parseDeviceUri(const std::string& uri, std::string& error)
{
    const std::string scheme = "quillon:";
    if (uri.compare(0, scheme.size(), scheme) != 0) {
        error = "the device URI \"" + uri + "\" is not a quillon: URI";
        return std::nullopt;
    }
    std::string rest = uri.substr(scheme.size());
    std::string query;
    if (const size_t mark = rest.find('?'); mark != std::string::npos) {
        query = rest.substr(mark + 1);
        rest.erase(mark);
    }
    BackendDevice device;
    if (!readDestination(uri, rest, device, error) || !readDeviceOptions(query, device, error))
        return std::nullopt;
    return device;
}

std::optional<BackendJob> parseBackendJob(const std::vector<std::string>& args, std::string& error)
{
    if (args.size() != 5 && args.size() != 6) {
        error = "usage: quillon job-id user title copies options [file]";
        return std::nullopt;
    }
    BackendJob job;
    job.id = args[0];
    job.user = args[1];
    job.title = args[2];
    job.options = args[4];
    if (args.size() == 6)
        job.file = args[5];
    if (job.id.empty() || job.id.find_first_not_of("0123456789") != std::string::npos) {
        error = "the job id \"" + job.id + "\" is not a number";
        return std::nullopt;
    }
    if (!parseWholeNumber(args[3], 1, 9999, job.copies)) {
        error = "the number of copies \"" + args[3] + "\" is not a whole number from 1 to 9999";
        return std::nullopt;
    }
    return job;
}

OptionFault resolveRenderOptions(const BackendDevice& device, const std::string& jobOptions,
                                 RenderOptions& options, std::string& error)
{
    std::map<std::string, std::string> fromDevice(device.options.begin(), device.options.end());
    for (const auto& [name, value] : fromDevice) {
        if (!applyOption(name, value, options, error)) {
            error = "the queue's device URI: " + error;
            return OptionFault::Device;
        }
    }
    cups_option_t* parsed = nullptr;
    const int count = cupsParseOptions(jobOptions.c_str(), 0, &parsed);
    OptionFault fault = OptionFault::None;
    for (int i = 0; i < count && fault == OptionFault::None; ++i) {
        const std::string name = parsed[i].name;
        if (!isRenderOption(name) || fromDevice.count(name))
            continue;
        if (!applyOption(name, parsed[i].value, options, error)) {
            error = "the job's option " + error;
            fault = OptionFault::Job;
        }
    }
    cupsFreeOptions(count, parsed);
    return fault;
}

} // namespace quillon
