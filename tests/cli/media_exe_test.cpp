// The real tool on media that never answer: a file on a FUSE volume served here, whose first read is
// never answered. FUSE is Linux's.
#ifdef __linux__
#include "reliability/reliability_support.h"
#include "support/fuse_server.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace velmo {
namespace {

using namespace test;

std::string NeverAnsweringFileThenAGoodOne(const TempDir& work) {
    ::alarm(90); // a hang ends this child instead of the whole run
    std::filesystem::create_directory(work.file("stuck"));
    const FuseFile stuck{"STUCK.JPG", 20000, [] {
                             for (;;)
                                 std::this_thread::sleep_for(std::chrono::hours(1));
                         }};
    const FuseMount mount(work.file("stuck"), "fuse", [&stuck](int device) { ServeFuseFile(device, stuck); });
    if (!mount.error().empty())
        return kSkip + mount.error();
    const std::string good = work.file("EMPTY.MP3");
    WriteText(good, "");
    const std::string out = work.file("out");
    std::vector<std::string> words = {VELMO_CLI_EXE, "media", work.file("stuck/STUCK.JPG"), good};
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || ::dup2(fd, 1) < 0)
            ::_exit(127);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = -1;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return "the tool was lost";
    std::string problems;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 1)
        problems += "status " + std::to_string(status) + "\n";
    const std::string printed = ReadText(out);
    const std::string expected = work.file("stuck/STUCK.JPG") +
                                 ": will not play (unknown), player name STUCK.JPG\n"
                                 "  did not answer within 10 s\n" +
                                 good +
                                 ": will not play (unknown), player name EMPTY.MP3\n"
                                 "  the file is empty\n";
    if (printed != expected)
        problems += "printed:\n" + printed + "instead of:\n" + expected;
    return problems;
}

// The read stays held in the kernel, in a helper the tool leaves behind; the tool says so for that
// file, examines the next and ends.
TEST(CliExecutable, MediaFileThatNeverAnswers_isSaidSo_theNextIsExamined_andTheToolEnds) {
    TempDir work;
    const std::string report = RunInChild([&] { return NeverAnsweringFileThenAGoodOne(work); });
    if (report.rfind(kSkip, 0) == 0)
        GTEST_SKIP() << report.substr(sizeof kSkip - 1);
    EXPECT_EQ(report, "");
}

} // namespace
} // namespace velmo

#endif
