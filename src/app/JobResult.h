#pragma once
// How a run ended, for the front end to show.

#include <string>

namespace quillon {

struct JobResult {
    enum Status { Ok = 0, Failed = 1, BadRequest = 2 };
    Status status = Ok;
    std::string message; // what went wrong, one or more lines; empty on success

    static JobResult failed(std::string why) { return {Failed, std::move(why)}; }
    static JobResult badRequest(std::string why) { return {BadRequest, std::move(why)}; }
    bool ok() const { return status == Ok; }
};

} // namespace quillon
