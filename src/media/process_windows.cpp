#include "process.h"

#include <chrono>
#include <cstdio>
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

std::string systemMessage(DWORD code) {
    char buffer[256] = {};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                     sizeof buffer, nullptr);
    return buffer;
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

} // namespace

ProcessOutcome process_detail::SpawnAndWait(const ProcessRequest& request) {
    ProcessOutcome outcome;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle outRead, outWrite, errRead, errWrite, nul;
    if (!::CreatePipe(&outRead.value, &outWrite.value, &inherit, 0) ||
        !::CreatePipe(&errRead.value, &errWrite.value, &inherit, 0)) {
        outcome.error = systemMessage(::GetLastError());
        return outcome;
    }
    ::SetHandleInformation(outRead.value, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(errRead.value, HANDLE_FLAG_INHERIT, 0);
    nul.value = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, 0, nullptr);

    std::wstring commandLine;
    for (const std::string& word : request.argv)
        commandLine += (commandLine.empty() ? L"" : L" ") + quoted(wide(word));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul.value;
    startup.hStdOutput = outWrite.value;
    startup.hStdError = errWrite.value;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &process)) {
        const DWORD code = ::GetLastError();
        outcome.status = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND
                             ? ProcessOutcome::Status::NotFound
                             : ProcessOutcome::Status::NotRun;
        outcome.error = systemMessage(code);
        return outcome;
    }
    Handle child;
    child.value = process.hProcess;
    ::CloseHandle(process.hThread);
    outWrite.reset();
    errWrite.reset();

    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(static_cast<long long>(request.timeoutSeconds * 1000));
    bool killed = false;
    ProcessOutcome::Status killedFor = ProcessOutcome::Status::TimedOut;
    std::string piece;
    for (bool running = true; running;) {
        running = ::WaitForSingleObject(child.value, 20) == WAIT_TIMEOUT;
        piece.clear();
        drain(outRead.value, piece);
        if (!piece.empty()) {
            if (process_detail::KeepOutput(request, outcome, piece, killed)) {
                ::TerminateProcess(child.value, 1);
                killed = true;
                killedFor = ProcessOutcome::Status::Cancelled;
            }
        }
        piece.clear();
        drain(errRead.value, piece);
        process_detail::KeepErrors(outcome.err, piece);
        if (running && !killed && request.timeoutSeconds > 0 && Clock::now() >= deadline) {
            ::TerminateProcess(child.value, 1);
            killed = true;
        }
    }
    DWORD code = 0;
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
