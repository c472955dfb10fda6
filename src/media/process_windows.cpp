#include "process.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <windows.h>

namespace velmo {

namespace {

std::wstring wide(const std::string& text) {
    if (text.empty())
        return {};
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
    return out;
}

// One argument quoted as the C runtime splits a command line again.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// A system error in Windows' own words, in the user's language, as one sentence without its full
// stop; the number when Windows has none.
std::string systemMessage(DWORD code) {
    wchar_t* message = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string text;
    if (length != 0 && message) {
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, message, static_cast<int>(length), nullptr, 0,
                                               nullptr, nullptr);
        text.resize(static_cast<std::size_t>(size > 0 ? size : 0));
        ::WideCharToMultiByte(CP_UTF8, 0, message, static_cast<int>(length), text.data(), size, nullptr,
                              nullptr);
    }
    if (message)
        ::LocalFree(message);
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : text;
}

struct Handle {
    HANDLE value = nullptr;
    ~Handle() { reset(); }
    void reset() {
        if (value)
            ::CloseHandle(value);
        value = nullptr;
    }
};

// Whatever the pipe holds now, without waiting; false once the writer has closed it.
bool drain(HANDLE pipe, std::string& into) {
    for (;;) {
        DWORD available = 0;
        if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr))
            return false;
        if (available == 0)
            return true;
        char buffer[65536];
        DWORD got = 0;
        if (!::ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) || got == 0)
            return false;
        into.append(buffer, got);
    }
}

// A job that kills its processes when its last handle closes: the program started in it ends with
// this one, however this one ends. Nothing when the system refuses one; the program then runs
// without it.
HANDLE killingJob() {
    HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        ::CloseHandle(job);
        return nullptr;
    }
    return job;
}

std::wstring commandLineOf(const std::vector<std::string>& argv) {
    std::wstring commandLine;
    for (const std::string& word : argv)
        commandLine += (commandLine.empty() ? L"" : L" ") + quoted(wide(word));
    return commandLine;
}

// The three standard handles of a program about to start: standard output always a pipe,
// standard input and standard error each a pipe or NUL. Only the child's ends are inherited.
struct ChildHandles {
    Handle input, output, errors;           // the child's ends
    Handle toInput, fromOutput, fromErrors; // ours
    Handle nul;
    STARTUPINFOW startup{};
};

// False with the system's words in `error`.
bool openChildHandles(bool pipeInput, bool pipeErrors, ChildHandles& handles, std::string& error) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const auto pipe = [&](Handle& childEnd, Handle& ourEnd, bool childReads) {
        Handle read, write;
        if (!::CreatePipe(&read.value, &write.value, &inherit, 0))
            return false;
        std::swap(childEnd.value, childReads ? read.value : write.value);
        std::swap(ourEnd.value, childReads ? write.value : read.value);
        ::SetHandleInformation(ourEnd.value, HANDLE_FLAG_INHERIT, 0);
        return true;
    };
    if (!pipe(handles.output, handles.fromOutput, false) ||
        (pipeInput && !pipe(handles.input, handles.toInput, true)) ||
        (pipeErrors && !pipe(handles.errors, handles.fromErrors, false))) {
        error = systemMessage(::GetLastError());
        return false;
    }
    if (!pipeInput || !pipeErrors)
        handles.nul.value =
            ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                          OPEN_EXISTING, 0, nullptr);
    handles.startup.cb = sizeof handles.startup;
    handles.startup.dwFlags = STARTF_USESTDHANDLES;
    handles.startup.hStdInput = pipeInput ? handles.input.value : handles.nul.value;
    handles.startup.hStdOutput = handles.output.value;
    handles.startup.hStdError = pipeErrors ? handles.errors.value : handles.nul.value;
    return true;
}

// Starts the program suspended, puts it in `job` (when there is one), then lets it run, so it never
// runs outside the job. False with the system's error code and its words in `error`.
bool startInJob(const std::vector<std::string>& argv, ChildHandles& handles, HANDLE job,
                PROCESS_INFORMATION& process, DWORD& code, std::string& error) {
    std::wstring commandLine = commandLineOf(argv);
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                          CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &handles.startup,
                          &process)) {
        code = ::GetLastError();
        error = systemMessage(code);
        return false;
    }
    if (job)
        ::AssignProcessToJobObject(job, process.hProcess);
    ::ResumeThread(process.hThread);
    ::CloseHandle(process.hThread);
    process.hThread = nullptr;
    return true;
}

// What a helper writes, gathered by a thread of its own (an anonymous pipe has no waiting with a
// limit); shared with that thread, which may outlive the helper's object.
struct HelperOutput {
    std::mutex mutex;
    std::condition_variable arrived;
    std::string pending;
    bool ended = false;
};

class WindowsHelper final : public HelperProcess {
public:
    WindowsHelper(HANDLE process, HANDLE job, HANDLE input, HANDLE output)
        : process_(process), job_(job), input_(input), output_(std::make_shared<HelperOutput>()) {
        std::thread([output, state = output_] {
            char buffer[65536];
            DWORD got = 0;
            while (::ReadFile(output, buffer, sizeof buffer, &got, nullptr) && got > 0) {
                const std::lock_guard lock(state->mutex);
                state->pending.append(buffer, got);
                state->arrived.notify_all();
            }
            ::CloseHandle(output);
            const std::lock_guard lock(state->mutex);
            state->ended = true;
            state->arrived.notify_all();
        }).detach();
    }
    ~WindowsHelper() override {
        ::CloseHandle(input_);
        ::TerminateProcess(process_, 1);
        ::CloseHandle(process_);
        if (job_)
            ::CloseHandle(job_);
    }
    bool send(const std::string& line) override {
        const std::string bytes = line + "\n";
        DWORD written = 0;
        return ::WriteFile(input_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }
    Reply receive(std::string& line, std::chrono::milliseconds limit) override {
        std::unique_lock lock(output_->mutex);
        const auto hasLine = [this] { return output_->pending.find('\n') != std::string::npos; };
        output_->arrived.wait_for(lock, limit, [&] { return hasLine() || output_->ended; });
        if (hasLine()) {
            const std::size_t end = output_->pending.find('\n');
            line = output_->pending.substr(0, end);
            output_->pending.erase(0, end + 1);
            return Reply::Line;
        }
        return output_->ended ? Reply::Ended : Reply::TimedOut;
    }

private:
    HANDLE process_;
    HANDLE job_;
    HANDLE input_;
    std::shared_ptr<HelperOutput> output_;
};

} // namespace

std::unique_ptr<HelperProcess> HelperProcess::Start(const std::vector<std::string>& argv,
                                                    std::string& error) {
    if (argv.empty()) {
        error = "no program given";
        return nullptr;
    }
    ChildHandles handles;
    if (!openChildHandles(true, false, handles, error))
        return nullptr;
    const HANDLE job = killingJob();
    PROCESS_INFORMATION process{};
    DWORD code = 0;
    if (!startInJob(argv, handles, job, process, code, error)) {
        if (job)
            ::CloseHandle(job);
        return nullptr;
    }
    auto helper = std::make_unique<WindowsHelper>(process.hProcess, job, handles.toInput.value,
                                                  handles.fromOutput.value);
    handles.toInput.value = handles.fromOutput.value = nullptr;
    return helper;
}

ProcessOutcome process_detail::SpawnAndWait(const ProcessRequest& request) {
    ProcessOutcome outcome;
    ChildHandles handles;
    if (!openChildHandles(false, true, handles, outcome.error))
        return outcome;
    Handle job;
    job.value = killingJob();
    PROCESS_INFORMATION process{};
    DWORD code = 0;
    if (!startInJob(request.argv, handles, job.value, process, code, outcome.error)) {
        outcome.status = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND
                             ? ProcessOutcome::Status::NotFound
                             : ProcessOutcome::Status::NotRun;
        return outcome;
    }
    Handle child;
    child.value = process.hProcess;
    handles.output.reset();
    handles.errors.reset();

    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(static_cast<long long>(request.timeoutSeconds * 1000));
    bool killed = false;
    ProcessOutcome::Status killedFor = ProcessOutcome::Status::TimedOut;
    std::string piece;
    Clock::time_point killedAt;
    // A program killed while held in the kernel ends only when that call does: it is given a moment,
    // then left to end on its own (its job still ends it with this program).
    const auto givenUp = [&] { return killed && Clock::now() - killedAt >= std::chrono::seconds(2); };
    for (bool running = true; running && !givenUp();) {
        running = ::WaitForSingleObject(child.value, 20) == WAIT_TIMEOUT;
        piece.clear();
        drain(handles.fromOutput.value, piece);
        if (!piece.empty()) {
            if (process_detail::KeepOutput(request, outcome, piece, killed)) {
                ::TerminateProcess(child.value, 1);
                killed = true;
                killedAt = Clock::now();
                killedFor = ProcessOutcome::Status::Cancelled;
            }
        }
        piece.clear();
        drain(handles.fromErrors.value, piece);
        process_detail::KeepErrors(outcome.err, piece);
        if (running && !killed && request.timeoutSeconds > 0 && Clock::now() >= deadline) {
            ::TerminateProcess(child.value, 1);
            killed = true;
            killedAt = Clock::now();
        }
    }
    ::GetExitCodeProcess(child.value, &code);
    if (killed) {
        outcome.status = killedFor;
    } else if (code >= 0xC0000000u) {
        // An unhandled exception (access violation, stack overflow) ends a program with its code.
        char text[32];
        std::snprintf(text, sizeof text, "exception 0x%08lX", static_cast<unsigned long>(code));
        outcome.status = ProcessOutcome::Status::Crashed;
        outcome.signalName = text;
    } else {
        outcome.status = ProcessOutcome::Status::Exited;
        outcome.exitCode = static_cast<int>(code);
    }
    return outcome;
}

} // namespace velmo
