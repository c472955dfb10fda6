#include "settings.h"

#include "file_system.h"
#include "safe_file.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace velmo {

namespace {

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
            const auto close = text_.find('"', pos_ + 1);
            if (close == std::string::npos)
                return std::nullopt;
            value = text_.substr(pos_ + 1, close - pos_ - 1);
            pos_ = close + 1;
            skipToSeparator();
        } else {
            const auto end = text_.find_first_of(",\r\n", pos_);
            value = text_.substr(pos_, end == std::string::npos ? std::string::npos : end - pos_);
            pos_ = end == std::string::npos ? text_.size() : end;
        }
        consumeSeparator();
        return value;
    }

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

} // namespace

void ReadSettings(AppState& state, const std::function<void()>& showError) {
    if (!FileExistsInDir(state.appPath, kSettingsFileName))
        return;

    std::string* const targets[] = {&state.openDir,          &state.saveDir,  &state.scheduleDir,
                                    &state.scheduleFileName, &state.mediaDir, &state.copyDrive,
                                    &state.copyDir};
    bool complete = false;
    std::ifstream in(state.appPath + kSettingsFileName, std::ios::binary);
    if (in) {
        std::string text{std::istreambuf_iterator<char>(in), {}};
        if (!in.bad()) {
            FieldReader fields(std::move(text));
            complete = true;
            for (std::string* target : targets) {
                std::optional<std::string> value = fields.next();
                if (!value) {
                    complete = false;
                    break;
                }
                // Each value counts as soon as it is read, even if a later one is missing.
                *target = std::move(*value);
            }
        }
    }
    if (complete)
        return;

    if (showError)
        showError();
    in.close();
    // A damaged file is dropped so the end of this run writes a sound one.
    if (FileExistsInDir(state.appPath, kSettingsFileName))
        DeleteFileInDir(state.appPath, kSettingsFileName);
}

Result WriteSettings(const AppState& state, FileIo& io) {
    auto quoted = [](const std::string& value) { return "\"" + value + "\""; };
    const std::string text = quoted(state.openDir) + "\r\n" + quoted(state.saveDir) + "\r\n" +
                             quoted(state.scheduleDir) + "\r\n" + quoted(state.scheduleFileName) + "\r\n" +
                             quoted(state.mediaDir) + "\r\n" + quoted(state.copyDrive) + "," +
                             quoted(state.copyDir) + "\r\n";
    return WriteFileAtomically(state.appPath + kSettingsFileName,
                               std::vector<std::uint8_t>(text.begin(), text.end()), io);
}

} // namespace velmo
