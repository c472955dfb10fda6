#pragma once

// Running a helper program (ffprobe, ffmpeg) with a time limit. The one place that spawns
// processes, so another system needs only another implementation of RunProcess.

#include <chrono>
#include <functional>
#include <memory>
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

// Every program started here ends when the program that started it ends, however that ends (a
// kill included): on Linux by the parent-death signal, on Windows by a job object closed with it.
ProcessOutcome RunProcess(const ProcessRequest& request);

// A helper program that stays to answer requests, one line each way. Never waited for: the
// destructor ends it without waiting, so a helper held in the kernel (a read from a volume that
// never answers) holds up nothing but itself.
class HelperProcess {
public:
    enum class Reply { Line, TimedOut, Ended };
    // Nothing when it cannot be started; `error` says why.
    static std::unique_ptr<HelperProcess> Start(const std::vector<std::string>& argv, std::string& error);
    virtual ~HelperProcess() = default;
    // Writes `line` and a newline; false once the helper is gone.
    virtual bool send(const std::string& line) = 0;
    // The next line it writes, without its newline, when it comes within `limit`.
    virtual Reply receive(std::string& line, std::chrono::milliseconds limit) = 0;
};

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
