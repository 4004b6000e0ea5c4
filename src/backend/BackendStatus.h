#pragma once
// What the quillon backend tells CUPS by its exit code, and the device line it gives lpinfo.

namespace quillon {

// The exit codes of a CUPS backend.
enum BackendStatus {
    BackendOk = 0,     // printed
    BackendFailed = 1, // this job cannot be printed; the queue's error policy decides
    BackendStop = 4,   // the queue is set up wrongly: stop it, keep the job
    BackendRetry = 6,  // the destination refused the job for now: hold it and try again later
};

// The device line for lpinfo -v.
inline constexpr const char* kBackendDeviceLine = "network quillon \"Unknown\" \"Quillon Print (DOS)\"";

} // namespace quillon
