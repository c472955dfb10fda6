#pragma once

// Running a helper program (ffprobe, ffmpeg) with a time limit. The one place that spawns
// processes, so another system needs only another implementation of RunProcess.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmo {

struct ProcessRequest {
    std::vector<std::string> argv; // argv[0] is looked up in PATH when it holds no separator
    double timeoutSeconds = 30;    // killed when it runs longer; 0: no limit
    // Called with each piece of standard output as it arrives; false kills the program (a cancel).
    std::function<bool(std::string_view)> onOutput;
    std::size_t maxOutput = 4u << 20; // standard output kept in ProcessOutcome::out; the rest dropped
};

struct ProcessOutcome {
    enum class Status {
        Exited,    // ran to its end; see exitCode
        NotFound,  // the program is not installed
        NotRun,    // could not be started for another reason (see error)
        Crashed,   // ended by a signal it did not ask for
        TimedOut,  // killed after timeoutSeconds
        Cancelled, // killed because onOutput said so
    };
    Status status = Status::NotRun;
    int exitCode = -1;
    std::string signalName; // Crashed: "SIGSEGV"
    std::string error;      // NotRun: the system's reason
    std::string out;        // standard output, up to maxOutput bytes
    std::string err;        // the last 4 KiB of standard error

    bool succeeded() const { return status == Status::Exited && exitCode == 0; }
};

ProcessOutcome RunProcess(const ProcessRequest& request);

// Shared by each system's implementation.
namespace process_detail {
// Starts request.argv (never empty) and waits for it as RunProcess says.
ProcessOutcome SpawnAndWait(const ProcessRequest& request);
// Keeps what the request asks for of one piece of standard output and, unless the program is
// already being killed, hands it to onOutput; true when the program is to be cancelled now.
bool KeepOutput(const ProcessRequest& request, ProcessOutcome& outcome, std::string_view piece, bool killed);
// Appends to standard error kept so far, keeping only its tail.
void KeepErrors(std::string& errors, std::string_view piece);
} // namespace process_detail

} // namespace velmo
