#include "settings.h"

#include "file_system.h"
#include "safe_file.h"
#include "whole_file.h"

#include <climits>
#include <optional>
#include <vector>

namespace velmo {

namespace {

// No value can be longer than a path.
constexpr std::size_t kMaxValueLength = PATH_MAX - 1;
// Seven values of the longest path, each with its quotes and a line end, need 7 x 4099 = 28,693
// bytes; eight pages hold them with room for stray spaces. A longer file cannot be one this
// program wrote, and reading it whole (a sparse file of gigabytes) would cost every start.
constexpr std::size_t kMaxSettingsFileLength = 32768;

// Reads comma- and line-separated fields, quoted or not, with no regard to which line they are on.
class FieldReader {
public:
    explicit FieldReader(std::string text) : text_(std::move(text)) {}

    // The next field, or nothing when the file ends before it (or inside its quotes).
    std::optional<std::string> next() {
        while (pos_ < text_.size() && text_[pos_] == ' ')
            ++pos_;
        if (pos_ >= text_.size())
            return std::nullopt;
        std::string value;
        if (text_[pos_] == '"') {
            // A doubled quote inside the quotes is one quote of the value.
            std::size_t from = pos_ + 1;
            for (;;) {
                const auto close = text_.find('"', from);
                if (close == std::string::npos)
                    return std::nullopt;
                value.append(text_, from, close - from);
                if (close + 1 >= text_.size() || text_[close + 1] != '"') {
                    pos_ = close + 1;
                    break;
                }
                value += '"';
                from = close + 2;
            }
            skipToSeparator();
        } else {
            const auto end = text_.find_first_of(",\r\n", pos_);
            value = text_.substr(pos_, end == std::string::npos ? std::string::npos : end - pos_);
            pos_ = end == std::string::npos ? text_.size() : end;
        }
        consumeSeparator();
        return value;
    }

    bool atEnd() const { return pos_ >= text_.size(); }

private:
    void skipToSeparator() {
        const auto end = text_.find_first_of(",\r\n", pos_);
        pos_ = end == std::string::npos ? text_.size() : end;
    }

    // A comma, or one line end: CR LF, LF or a lone CR.
    void consumeSeparator() {
        if (pos_ >= text_.size())
            return;
        if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n')
            ++pos_;
        ++pos_;
    }

    std::string text_;
    std::size_t pos_ = 0;
};

std::string quoted(const std::string& value) {
    std::string out = "\"";
    for (const char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

} // namespace

void ReadSettings(AppState& state, RememberedSchedule& schedule, const std::function<void()>& showError,
                  FileIo& io) {
    if (!FileExistsInDir(state.appPath, kSettingsFileName))
        return;

    std::string* const targets[] = {&state.openDir,     &state.saveDir,  &schedule.directory,
                                    &schedule.fileName, &state.mediaDir, &state.copyDrive,
                                    &state.copyDir};
    bool complete = false;
    WholeFile file;
    if (ReadWholeFile(state.appPath + kSettingsFileName, kMaxSettingsFileLength, file, io)) {
        FieldReader fields(std::move(file.bytes));
        complete = true;
        for (std::string* target : targets) {
            std::optional<std::string> value = fields.next();
            // A field cut off by the limit is not a value; nor is one no path can be.
            if (!value || (file.longer && fields.atEnd()) || value->size() > kMaxValueLength) {
                complete = false;
                break;
            }
            // Each value counts as soon as it is read, even if a later one is missing.
            *target = std::move(*value);
        }
    }
    if (complete)
        return;

    if (showError)
        showError();
    // A damaged file is dropped so the end of this run writes a sound one.
    if (FileExistsInDir(state.appPath, kSettingsFileName))
        DeleteFileInDir(state.appPath, kSettingsFileName);
}

Result WriteSettings(const AppState& state, FileIo& io) {
    for (const std::string* value :
         {&state.openDir, &state.saveDir, &state.scheduleDir, &state.scheduleFileName, &state.mediaDir,
          &state.copyDrive, &state.copyDir})
        if (value->size() > kMaxValueLength)
            return Result::failure("a remembered value is longer than any path (" +
                                   std::to_string(value->size()) + " bytes)");
    const std::string text = quoted(state.openDir) + "\r\n" + quoted(state.saveDir) + "\r\n" +
                             quoted(state.scheduleDir) + "\r\n" + quoted(state.scheduleFileName) + "\r\n" +
                             quoted(state.mediaDir) + "\r\n" + quoted(state.copyDrive) + "," +
                             quoted(state.copyDir) + "\r\n";
    return WriteFileAtomically(state.appPath + kSettingsFileName,
                               std::vector<std::uint8_t>(text.begin(), text.end()), io);
}

} // namespace velmo
