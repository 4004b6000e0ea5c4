#include "TargetQueue.h"

#include "CupsQueue.h"

#include <cups/cups.h>

#include <optional>
#include <set>
#include <strings.h>
#include <vector>

namespace quillon {

namespace {

bool sameQueue(const std::string& a, const std::string& b)
{
    return ::strcasecmp(a.c_str(), b.c_str()) == 0;
}

// What the scheduler says of one queue or class.
struct QueueFacts {
    ipp_status_t status = IPP_STATUS_OK; // of the request; an error leaves the rest empty
    std::string statusText;
    bool isClass = false;
    bool accepting = true;
    std::string deviceUri;
    std::vector<std::string> members; // of a class
};

QueueFacts askScheduler(const std::string& name)
{
    QueueFacts facts;
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", name.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    static const char* const wanted[] = {"device-uri", "member-names", "printer-is-accepting-jobs",
                                         "printer-type"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(std::size(wanted)), nullptr, wanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    facts.status = cupsLastError();
    facts.statusText = cupsLastErrorString();
    if (!response || facts.status > IPP_STATUS_OK_EVENTS_COMPLETE) {
        if (facts.status <= IPP_STATUS_OK_EVENTS_COMPLETE)
            facts.status = IPP_STATUS_ERROR_INTERNAL;
        ippDelete(response);
        return facts;
    }
    if (ipp_attribute_t* a = ippFindAttribute(response, "printer-type", IPP_TAG_ENUM))
        facts.isClass = (ippGetInteger(a, 0) & CUPS_PRINTER_CLASS) != 0;
    if (ipp_attribute_t* a = ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
        facts.accepting = ippGetBoolean(a, 0) != 0;
    if (ipp_attribute_t* a = ippFindAttribute(response, "device-uri", IPP_TAG_URI))
        facts.deviceUri = ippGetString(a, 0, nullptr);
    if (ipp_attribute_t* a = ippFindAttribute(response, "member-names", IPP_TAG_NAME))
        for (int i = 0; i < ippGetCount(a); ++i)
            facts.members.emplace_back(ippGetString(a, i, nullptr));
    ippDelete(response);
    return facts;
}

// The facts of an opened queue, from its options; nothing when they are not all there.
std::optional<QueueFacts> factsOf(const std::vector<std::pair<std::string, std::string>>& options)
{
    const std::string* type = nullptr;
    const std::string* accepting = nullptr;
    const std::string* deviceUri = nullptr;
    for (const auto& [name, value] : options) {
        if (name == "printer-type")
            type = &value;
        else if (name == "printer-is-accepting-jobs")
            accepting = &value;
        else if (name == "device-uri")
            deviceUri = &value;
    }
    const std::optional<unsigned long> bits = printerTypeBits(type ? type->c_str() : nullptr);
    if (!bits || !accepting || !deviceUri)
        return std::nullopt;
    QueueFacts facts;
    facts.isClass = (*bits & CUPS_PRINTER_CLASS) != 0;
    facts.accepting = *accepting != "false";
    facts.deviceUri = *deviceUri;
    return facts;
}

bool notFound(ipp_status_t status)
{
    return status == IPP_STATUS_ERROR_NOT_FOUND;
}

bool isQuillonUri(const std::string& uri)
{
    return uri.compare(0, 8, "quillon:") == 0;
}

// The class that leads back to self, through the classes it holds; empty when none does.
std::string classHolding(const std::string& className, const std::vector<std::string>& members,
                         const std::string& self, std::set<std::string>& seen, std::string& error)
{
    for (const std::string& member : members) {
        if (sameQueue(member, self))
            return className;
        if (!seen.insert(member).second)
            continue;
        const QueueFacts facts = askScheduler(member);
        if (facts.status > IPP_STATUS_OK_EVENTS_COMPLETE && !notFound(facts.status)) {
            error = "cannot ask the print server about " + member + ": " + facts.statusText;
            return {};
        }
        if (facts.isClass) {
            const std::string holder = classHolding(member, facts.members, self, seen, error);
            if (!holder.empty() || !error.empty())
                return holder;
        }
    }
    return {};
}

} // namespace

TargetVerdict checkTargetQueue(const std::string& target, const std::string& self,
                               const std::vector<std::pair<std::string, std::string>>* opened)
{
    using Kind = TargetVerdict::Kind;
    if (!self.empty() && sameQueue(target, self))
        return {Kind::Stop, "the queue " + target + " would print onto itself: point its quillon: URI at another queue"};

    // A class's members are not among the options: for a class the scheduler is asked.
    const std::optional<QueueFacts> known = opened ? factsOf(*opened) : std::nullopt;
    const QueueFacts facts = known && !known->isClass ? *known : askScheduler(target);
    if (notFound(facts.status))
        return {Kind::Stop, "there is no queue " + target + " on this print server"};
    if (facts.status > IPP_STATUS_OK_EVENTS_COMPLETE)
        return {Kind::Retry, "cannot reach the print server: " + facts.statusText};
    if (isQuillonUri(facts.deviceUri))
        return {Kind::Stop, "the queue " + target + " is a Quillon Print queue itself: point the quillon: URI at a printer's queue"};
    if (facts.isClass && !self.empty()) {
        std::set<std::string> seen{target};
        std::string error;
        const std::string holder = classHolding(target, facts.members, self, seen, error);
        if (!error.empty())
            return {Kind::Retry, error};
        if (!holder.empty())
            return {Kind::Stop, "the class " + holder + " holds the queue " + self + " itself, so its jobs would come back to "
                                    + self + ": take " + self + " out of the class or point the quillon: URI at another queue"};
    }
    if (!facts.accepting)
        return {Kind::Retry, "the queue " + target + " is not accepting jobs"};
    return {};
}

} // namespace quillon
