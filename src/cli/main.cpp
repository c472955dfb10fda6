#include "cli/cli.h"
#include "cli/interrupts.h"
#include "media/media_probe_helper.h"
#include "model/file_io.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <random>
#include <streambuf>
#include <string>
#include <unistd.h>

namespace {

// Standard output that remembers why its first write failed: the library's own buffer writes long
// texts past itself, and errno has long moved on by the time the tool ends.
class StandardOutput final : public std::streambuf {
public:
    StandardOutput() { setp(buffer_, buffer_ + sizeof buffer_); }
    int error() const { return error_; }

protected:
    int_type overflow(int_type c) override {
        if (!drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return drain() ? 0 : -1; }

private:
    bool drain() {
        const bool written = velmo::FileIo::system().writeAll(STDOUT_FILENO, pbase(),
                                                              static_cast<std::size_t>(pptr() - pbase()));
        if (!written && error_ == 0)
            error_ = errno;
        setp(buffer_, buffer_ + sizeof buffer_);
        return error_ == 0;
    }

    char buffer_[1 << 16];
    int error_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    // Started by the tool or the editor to read media files where a read that never returns can be
    // left behind.
    if (argc == 2 && std::string(argv[1]) == velmo::kMediaProbeHelperArgument)
        return velmo::RunMediaProbeHelper(std::cin, std::cout);
#ifdef SIGXFSZ
    // Over a file-size limit a write then fails with EFBIG and is reported, instead of the signal
    // ending the tool with no word.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    std::ios::sync_with_stdio(false);
    StandardOutput output;
    std::ostream out(&output);
    velmo::CliEnvironment env{std::cin,
                              out,
                              std::cerr,
                              &velmo::LocalToday,
                              [] {
                                  std::random_device entropy;
                                  return (static_cast<std::uint64_t>(entropy()) << 32) ^ entropy();
                              },
                              [] { return ::isatty(STDERR_FILENO) == 1; },
                              [](bool on) { on ? velmo::CatchInterrupts() : velmo::ReleaseInterrupts(); },
                              &velmo::InterruptRequested};
    // The editor's remembered media: the editor may run from the tool's own folder.
    std::string toolPath = argc > 0 ? argv[0] : "";
#ifdef __linux__
    char exe[4096];
    if (const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1); length > 0)
        toolPath.assign(exe, static_cast<std::size_t>(length));
#endif
    const std::size_t slash = toolPath.find_last_of("/\\");
    const std::string toolDir = slash == std::string::npos ? std::string() : toolPath.substr(0, slash);
    env.editorDataDir = [toolDir] { return velmo::EditorDataDirectory(toolDir); };
    int status = velmo::RunCli(std::vector<std::string>(argv + 1, argv + argc), env);
    // Output lost on a full disk or a closed pipe is a failure, not a success with less text. A
    // standard output closed from the start has lost nothing if nothing was written to it.
    out.flush();
    if (output.error() != 0 || (::close(STDOUT_FILENO) != 0 && errno != EBADF && errno != EINTR)) {
        std::cerr << "velmo-schedule: cannot write standard output: "
                  << std::strerror(output.error() != 0 ? output.error() : errno) << '\n';
        status = velmo::kStatusCannotRead;
    }
    return status;
}
