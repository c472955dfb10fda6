// The file rules as Windows has them: "\" separators, drive letters, UNC paths, UTF-8 names through
// the wide API, and a replacement Windows refuses while another program holds the file open.
#include "model/file_system.h"
#include "model/publish_settings.h"
#include "model/safe_file.h"
#include "model/whole_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>
#include <windows.h>

namespace velmo {
namespace {

TEST(WindowsPaths, separatorsDrivesAndUncPathsSplitAsOnWindows) {
    struct Case {
        std::string path, directory, name;
        bool absolute;
    };
    const std::vector<Case> cases = {
        {"C:\\velmo.vlm", "C:\\", "velmo.vlm", true},
        {"C:\\Users\\Shop\\Documents\\velmo.vlm", "C:\\Users\\Shop\\Documents\\", "velmo.vlm", true},
        {"E:\\", "E:\\", "", true},
        {"\\\\server\\share\\schedules\\spring.vlm", "\\\\server\\share\\schedules\\", "spring.vlm", true},
        {"velmo.vlm", "", "velmo.vlm", false},
        // Typed on a command line, "/" separates too.
        {"D:/schedules/spring.vlm", "D:/schedules/", "spring.vlm", true},
        {"C:\\shop/velmo.vlm", "C:\\shop/", "velmo.vlm", true},
        // Relative to a drive's own current folder, or to the current drive's root.
        {"C:velmo.vlm", "", "C:velmo.vlm", false},
        {"\\shop\\velmo.vlm", "\\shop\\", "velmo.vlm", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PathDirectory(c.path), c.directory) << c.path;
        EXPECT_EQ(PathFileName(c.path), c.name) << c.path;
        EXPECT_EQ(IsAbsolutePath(c.path), c.absolute) << c.path;
    }
    EXPECT_EQ(kDirSeparator, '\\');
    EXPECT_EQ(WithTrailingSeparator("E:"), "E:\\");
    EXPECT_EQ(WithTrailingSeparator("E:\\"), "E:\\");
    EXPECT_EQ(WithTrailingSeparator("\\\\server\\share"), "\\\\server\\share\\");
}

// A fresh directory in the system's temporary folder, named the Windows way and ending in "\".
struct WindowsTempDir {
    std::filesystem::path path;
    WindowsTempDir() {
        wchar_t base[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH, base);
        // Two made within one tick must still differ.
        static int made = 0;
        path = std::filesystem::path(base) /
               (L"velmo-win-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++made));
        std::filesystem::create_directories(path);
    }
    ~WindowsTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string dir() const { return WithTrailingSeparator(velmo_utf8(path.c_str())); }
    std::vector<std::wstring> names() const {
        std::vector<std::wstring> result;
        for (const auto& entry : std::filesystem::directory_iterator(path))
            result.push_back(entry.path().filename().wstring());
        return result;
    }
};

std::string contentOf(const std::string& path) {
    WholeFile file;
    if (!ReadWholeFile(path, 1 << 20, file))
        return "(unreadable)";
    return std::string(file.bytes.begin(), file.bytes.end());
}

template <std::size_t N> std::vector<std::uint8_t> bytesOf(const char (&text)[N]) {
    return {text, text + N - 1};
}

TEST(WindowsFiles, publishSettingsRememberDrivesAndUncFolders) {
    WindowsTempDir app;
    PublishSettings settings;
    settings.destination = "E:\\";
    settings.mediaDirs = {"C:\\Users\\Shop\\Media\\", "\\\\server\\share\\clips\\"};
    settings.playerCopiesDir = "D:\\Player copies\\";
    ASSERT_TRUE(WritePublishSettings(app.dir(), settings));
    EXPECT_EQ(ReadPublishSettings(app.dir()), settings);
}

TEST(WindowsFiles, atomicWriteReplacesInPlaceUnderAnyNameAndLeavesNoTemporary) {
    WindowsTempDir temp;
    // Plain, upper-case drive path, and a Japanese name that only the wide API can spell.
    for (const std::string& name : {std::string("velmo.vlm"), std::string("\xE6\x98\xA5.vlm")}) {
        const std::string path = temp.dir() + name;
        ASSERT_TRUE(WriteFileAtomically(path, bytesOf("old\r\n\x1a")).ok) << name;
        ASSERT_TRUE(WriteFileAtomically(path, bytesOf("new\n\x00\xff")).ok) << name;
        // Binary: no line ends changed, no end-of-file mark honoured.
        EXPECT_EQ(contentOf(path), std::string("new\n\x00\xff", 6)) << name;
        EXPECT_TRUE(FileExistsInDir(temp.dir(), UpperCase(name)) || name != "velmo.vlm");
    }
    EXPECT_EQ(temp.names().size(), 2u);
}

TEST(WindowsFiles, replacingAFileAnotherProgramHoldsOpenFailsAndKeepsTheOldBytes) {
    WindowsTempDir temp;
    const std::string path = temp.dir() + "velmo.vlm";
    ASSERT_TRUE(WriteFileAtomically(path, bytesOf("old")).ok);
    // As a program that holds it open (a player's software, an editor): Windows refuses the rename
    // that Linux would allow. The save then fails, saying so, and the file keeps its old bytes.
    const HANDLE holder = CreateFileW(velmo_wide(path.c_str()).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const Result refused = WriteFileAtomically(path, bytesOf("new"));
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.reason.find("cannot replace"), std::string::npos) << refused.reason;
    CloseHandle(holder);
    EXPECT_EQ(contentOf(path), "old");
    EXPECT_EQ(temp.names().size(), 1u) << "the temporary file was left behind";

    // Windows keeps a file's name taken while any handle is open, even one that shares deletion; once
    // the other program lets go, the same save goes through.
    EXPECT_TRUE(WriteFileAtomically(path, bytesOf("new")).ok);
    EXPECT_EQ(contentOf(path), "new");
}

TEST(WindowsFiles, aReadOnlyFileIsNeitherReplacedNorDeleted) {
    WindowsTempDir temp;
    const std::string path = temp.dir() + "LOCKED.VLM";
    ASSERT_TRUE(WriteFileAtomically(path, bytesOf("kept")).ok);
    ASSERT_TRUE(SetFileAttributesW(velmo_wide(path.c_str()).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(IsReadOnlyFile(path));
    EXPECT_FALSE(WriteFileAtomically(path, bytesOf("new")).ok);
    EXPECT_FALSE(DeleteFileInDir(temp.dir(), "locked.vlm"));
    EXPECT_EQ(contentOf(path), "kept");
    SetFileAttributesW(velmo_wide(path.c_str()).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(DeleteFileInDir(temp.dir(), "locked.vlm"));
}

// A drive letter for a folder, as SUBST makes one, for as long as the test runs.
struct MappedDrive {
    std::wstring letter;
    explicit MappedDrive(const std::filesystem::path& folder) {
        for (wchar_t c = L'Z'; c >= L'M' && letter.empty(); --c) {
            const std::wstring candidate{c, L':'};
            if (GetDriveTypeW((candidate + L"\\").c_str()) == DRIVE_NO_ROOT_DIR &&
                DefineDosDeviceW(0, candidate.c_str(), folder.wstring().c_str()))
                letter = candidate;
        }
    }
    ~MappedDrive() {
        if (!letter.empty())
            DefineDosDeviceW(DDD_REMOVE_DEFINITION, letter.c_str(), nullptr);
    }
    std::string root() const { return velmo_utf8(letter.c_str()) + "\\"; }
};

// Windows' own sentence for an error, as the program shows it inside its own (no full stop).
std::string windowsWords(DWORD error) {
    wchar_t text[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, 512,
                   nullptr);
    std::string words = velmo_utf8(text);
    while (!words.empty() && std::string("\r\n .").find(words.back()) != std::string::npos)
        words.pop_back();
    return words;
}

// A new stick's root holds nothing, not even "." and "..": an empty listing, never an error; what
// cannot be listed is said in Windows' words.
TEST(WindowsFiles, emptyFoldersAndEmptyDriveRootsListAsEmpty) {
    WindowsTempDir empty, holding;
    ASSERT_TRUE(WriteFileAtomically(holding.dir() + "CLIP.MPG", bytesOf("x")).ok);
    MappedDrive emptyDrive(empty.path), holdingDrive(holding.path);
    ASSERT_FALSE(emptyDrive.letter.empty()) << "no drive letter could be mapped";
    ASSERT_FALSE(holdingDrive.letter.empty()) << "no drive letter could be mapped";
    // Wine maps the letter but cannot open it (the Wine run's publish onto an empty drive covers it).
    const bool drivesOpen =
        GetFileAttributesW((holdingDrive.letter + L"\\").c_str()) != INVALID_FILE_ATTRIBUTES;
    struct Case {
        std::string directory;
        std::optional<std::vector<std::string>> names;
        DWORD error = ERROR_SUCCESS;
    };
    const std::vector<Case> cases = {
        {empty.dir(), std::vector<std::string>{}},
        {emptyDrive.root(), std::vector<std::string>{}},
        {emptyDrive.root().substr(0, 2), std::vector<std::string>{}},
        {holdingDrive.root(), std::vector<std::string>{"CLIP.MPG"}},
        {empty.dir() + "missing\\", std::nullopt, ERROR_PATH_NOT_FOUND},
        {holding.dir() + "CLIP.MPG", std::nullopt, ERROR_DIRECTORY},
    };
    for (const Case& c : cases) {
        if (!drivesOpen && c.directory.size() <= 3)
            continue;
        std::string error;
        const auto names = VisibleNames(c.directory, error);
        EXPECT_EQ(names, c.names) << c.directory << ": " << error;
        EXPECT_EQ(error, c.error == ERROR_SUCCESS ? "" : windowsWords(c.error)) << c.directory;
    }
    EXPECT_FALSE(FileExistsInDir(emptyDrive.root(), "*.MPG"));
    EXPECT_EQ(FileExistsInDir(holdingDrive.root(), "*.MPG"), drivesOpen);
}

} // namespace
} // namespace velmo
