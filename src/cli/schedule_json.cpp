#include "schedule_json.h"

#include "rules/period_groups.h"

#include "model/code_page.h"
#include "rules/entry_rules.h"
#include "rules/schedule_content.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <deque>
#include <iterator>
#include <map>
#include <optional>
#include <span>
#include <unordered_set>

namespace velmo {

namespace {

using Json = nlohmann::ordered_json;

// ---- writing ----

Json nameJson(const std::string& bytes) {
    return Cp1252ToUtf8(bytes);
}

Json fileEntryJson(const FileEntry& e) {
    Json j = Json::object();
    j["fileName"] = nameJson(NameFieldText(e.fileName));
    j["fileExt"] = nameJson(NameFieldText(e.fileExt));
    j["playTimes"] = static_cast<int>(e.playTimes);
    j["volume"] = static_cast<int>(e.volume);
    Json reserved = Json::array();
    for (const auto b : e.reserved)
        reserved.push_back(static_cast<int>(b));
    j["reserved"] = std::move(reserved);
    return j;
}

// ---- reading: a DOM built through the SAX interface so every value keeps its place in the text ----

// Walks the text for the parser and tells how far it has read.
class CountingIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator() = default;
    CountingIterator(const char* at, const char* begin, std::size_t* consumed)
        : at_(at), begin_(begin), consumed_(consumed) {}
    reference operator*() const { return *at_; }
    CountingIterator& operator++() {
        ++at_;
        *consumed_ = static_cast<std::size_t>(at_ - begin_);
        return *this;
    }
    CountingIterator operator++(int) {
        CountingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const CountingIterator& other) const { return at_ == other.at_; }

private:
    const char* at_ = nullptr;
    const char* begin_ = nullptr;
    std::size_t* consumed_ = nullptr;
};

struct Place {
    std::size_t key = 0;   // the member's key, or the value itself for array elements and the root
    std::size_t value = 0; // where the value starts
};

std::string escapePointerToken(const std::string& token) {
    std::string out;
    for (const char c : token) {
        if (c == '~')
            out += "~0";
        else if (c == '/')
            out += "~1";
        else
            out += c;
    }
    return out;
}

// The reader refuses longer lists as a whole.
constexpr int kMaxEntriesRead = 32767;

using Pointers = std::unordered_set<std::string>;

// Builds the document. Places cost a pointer text per value, so they are recorded only in a second
// pass over a text that has something to report, and only for the pointers a finding names.
class PlacedDomBuilder {
public:
    // wanted: the pointers whose places to record; null for the first pass, which places nothing.
    PlacedDomBuilder(std::string_view text, const std::size_t& consumed, const Pointers* wanted)
        : text_(text), consumed_(consumed), wanted_(wanted) {}

    bool null() { return add(Json(nullptr)); }
    bool boolean(bool value) { return add(Json(value)); }
    bool number_integer(Json::number_integer_t value) { return add(Json(value)); }
    bool number_unsigned(Json::number_unsigned_t value) { return add(Json(value)); }
    bool number_float(Json::number_float_t value, const Json::string_t&) { return add(Json(value)); }
    bool string(Json::string_t& value) { return add(Json(value)); }
    bool binary(Json::binary_t& value) { return add(Json::binary(value)); }
    bool start_object(std::size_t) { return open(Json::object()); }
    bool start_array(std::size_t) { return open(Json::array()); }
    // A schedule nests six levels deep; far deeper input is refused before it costs memory.
    static constexpr std::size_t kMaxDepth = 64;
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool key(Json::string_t& name) {
        key_ = name;
        if (wanted_)
            keyStart_ = tokenStart();
        lastEnd_ = consumed_;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) {
        error_ = error.what();
        return false;
    }

    Json& root() { return root_; }
    const std::map<std::string, Place>& places() const { return places_; }
    const std::optional<std::string>& error() const { return error_; }
    bool tooDeep() const { return tooDeep_; }
    // Where the value that went too deep starts; known in the placing pass only.
    std::size_t tooDeepAt() const { return tooDeepAt_; }
    // Keys given twice in one object: the key and where its second appearance starts (the place
    // is known in the placing pass only).
    const std::vector<std::pair<std::string, std::size_t>>& duplicates() const { return duplicates_; }

private:
    struct Open {
        Json* node;
        std::string pointer;
        std::unordered_set<std::string> keys; // of an object: the members so far
    };

    std::size_t tokenStart() const {
        std::size_t at = lastEnd_;
        while (at < text_.size() && (text_[at] == ' ' || text_[at] == '\t' || text_[at] == '\n' ||
                                     text_[at] == '\r' || text_[at] == ',' || text_[at] == ':'))
            ++at;
        return at;
    }

    void record(const std::string& pointer, std::size_t key, std::size_t value) {
        if (wanted_ && wanted_->count(pointer) != 0)
            places_[pointer] = {key, value};
    }

    std::pair<Json*, std::string> place(Json value) {
        const std::size_t start = wanted_ ? tokenStart() : 0;
        if (stack_.empty()) {
            root_ = std::move(value);
            record("", start, start);
            return {&root_, ""};
        }
        Open& top = stack_.back();
        Json& parent = *top.node;
        std::string pointer;
        if (parent.is_array()) {
            if (wanted_) {
                pointer = top.pointer + "/" + std::to_string(parent.size());
                record(pointer, start, start);
            }
            parent.push_back(std::move(value));
            return {&parent.back(), std::move(pointer)};
        }
        if (wanted_)
            pointer = top.pointer + "/" + escapePointerToken(key_);
        if (!top.keys.insert(key_).second) {
            duplicates_.emplace_back(key_, keyStart_);
            discarded_.push_back(std::move(value));
            return {&discarded_.back(), pointer + "/(again)"};
        }
        // Appended past the object's own search for the key, which is linear: the set has
        // already told that it is new.
        auto& members = static_cast<Json::object_t::Container&>(parent.get_ref<Json::object_t&>());
        members.emplace_back(key_, std::move(value));
        record(pointer, keyStart_, start);
        return {&members.back().second, std::move(pointer)};
    }

    bool add(Json value) {
        place(std::move(value));
        lastEnd_ = consumed_;
        return true;
    }

    bool open(Json container) {
        if (stack_.size() >= kMaxDepth) {
            tooDeep_ = true;
            tooDeepAt_ = tokenStart();
            return false;
        }
        auto [node, pointer] = place(std::move(container));
        stack_.push_back({node, std::move(pointer), {}});
        lastEnd_ = consumed_;
        return true;
    }

    bool close() {
        stack_.pop_back();
        lastEnd_ = consumed_;
        return true;
    }

    std::string_view text_;
    const std::size_t& consumed_;
    const Pointers* wanted_;
    std::size_t lastEnd_ = 0;
    Json root_;
    std::vector<Open> stack_;
    std::deque<Json> discarded_;
    std::string key_;
    std::size_t keyStart_ = 0;
    std::map<std::string, Place> places_;
    std::vector<std::pair<std::string, std::size_t>> duplicates_;
    std::optional<std::string> error_;
    bool tooDeep_ = false;
    std::size_t tooDeepAt_ = 0;
};

// A number the parser could not keep as an integer: it has a fraction, or is written with an
// exponent or a decimal point (1e2, 100.0), or has more digits than 64 bits hold.
bool isWholeFloat(const Json& value) {
    return value.is_number_float() && std::floor(value.get<double>()) == value.get<double>();
}

std::string typeName(const Json& value) {
    if (isWholeFloat(value)) {
        const double d = value.get<double>();
        return d < 0 || d > 255 ? "a whole number out of range" : "a number in exponent or decimal form";
    }
    if (value.is_number_float())
        return "a number with a fraction";
    if (value.is_number())
        return "a number";
    if (value.is_string())
        return "a string";
    if (value.is_boolean())
        return "true or false";
    if (value.is_null())
        return "null";
    if (value.is_array())
        return "an array";
    return "an object";
}

std::string quoted(const std::string& name) {
    return "\"" + name + "\"";
}

// Line and column of offsets, from one table of line starts built on the first question.
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}

    std::string at(std::size_t offset) {
        if (starts_.empty()) {
            starts_.push_back(0);
            for (std::size_t i = 0; i < text_.size(); ++i)
                if (text_[i] == '\n')
                    starts_.push_back(i + 1);
        }
        offset = std::min(offset, text_.size());
        const auto next = std::upper_bound(starts_.begin(), starts_.end(), offset);
        const std::size_t line = static_cast<std::size_t>(next - starts_.begin());
        return "line " + std::to_string(line) + ", column " + std::to_string(offset - *(next - 1) + 1);
    }

private:
    std::string_view text_;
    std::vector<std::size_t> starts_;
};

// A finding whose place is looked up once the whole document has been read.
struct Unplaced {
    std::size_t finding; // index into JsonSchedule::syntax
    std::string pointer;
    bool atKey;
    std::string context;
};

using Names = std::span<const char* const>;
constexpr std::array<const char*, 6> kFileEntryFields = {"name",      "fileName", "fileExt",
                                                         "playTimes", "volume",   "reserved"};
constexpr std::array<const char*, 14> kAdvanceEntryFields = {
    "startYear", "startMonth", "startDay", "startHour",  "startMinute", "startSecond", "stopYear",
    "stopMonth", "stopDay",    "stopHour", "stopMinute", "stopSecond",  "weekDay",     "files"};
// "weekDays" may stand instead of "weekDay": one period per day named, in week order.
constexpr std::array<const char*, 15> kAdvanceKnownFields = {
    "startYear",   "startMonth", "startDay",  "startHour", "startMinute",
    "startSecond", "stopYear",   "stopMonth", "stopDay",   "stopHour",
    "stopMinute",  "stopSecond", "weekDay",   "files",     "weekDays"};
constexpr std::array<const char*, 13> kAdvanceDaysFields = {
    "startYear", "startMonth", "startDay", "startHour",  "startMinute", "startSecond", "stopYear",
    "stopMonth", "stopDay",    "stopHour", "stopMinute", "stopSecond",  "files"};

class ScheduleReader {
public:
    explicit ScheduleReader(JsonSchedule& out) : out_(out) {}

    const std::vector<Unplaced>& unplaced() const { return unplaced_; }

    void read(const Json& root) {
        if (!root.is_object()) {
            syntax("", false, "",
                   "the schedule must be an object holding the arrays \"basic\" and \"advance\"");
            return;
        }
        for (const auto& [name, value] : root.items()) {
            if (name == "basic")
                readList(value, "/basic", "basic", [this](const Json& v, const std::string& p, int i) {
                    FileEntry entry;
                    if (readFileEntry(v, p, EntryId::basic(i), entry))
                        out_.schedule.basicEntries.push_back(entry);
                });
            else if (name == "advance")
                readList(value, "/advance", "advance", [this](const Json& v, const std::string& p, int i) {
                    AdvanceEntry entry;
                    std::optional<WeekDaySet> days;
                    if (!readAdvanceEntry(v, p, i, entry, days))
                        return;
                    if (!days) {
                        out_.schedule.advanceEntries.push_back(std::move(entry));
                        return;
                    }
                    for (AdvanceEntry& period : ExpandWeekDays(entry, *days))
                        out_.schedule.advanceEntries.push_back(std::move(period));
                });
            else
                syntax("/" + escapePointerToken(name), true, "", "unknown field " + quoted(name));
        }
        for (const char* required : {"basic", "advance"})
            if (!root.contains(required))
                syntax("", false, "", "missing field " + quoted(required));
        if (!out_.syntax.empty())
            return;
        Schedule& s = out_.schedule;
        s = MakeSchedule(std::move(s.basicEntries), std::move(s.advanceEntries));
    }

private:
    void syntax(const std::string& pointer, bool atKey, const std::string& context, const std::string& what) {
        unplaced_.push_back({out_.syntax.size(), pointer, atKey, context});
        out_.syntax.push_back(Finding::error("", what));
    }

    template <typename ReadOne>
    void readList(const Json& value, const std::string& pointer, const char* field, ReadOne readOne) {
        if (!value.is_array()) {
            syntax(pointer, false, "", quoted(field) + " must be an array, not " + typeName(value));
            return;
        }
        if (value.size() > static_cast<std::size_t>(kMaxEntriesRead)) {
            syntax(pointer, false, "", quoted(field) + " holds " + std::to_string(value.size()) + " entries");
            return;
        }
        for (std::size_t i = 0; i < value.size(); ++i)
            readOne(value[i], pointer + "/" + std::to_string(i), static_cast<int>(i));
    }

    // A whole number that fits one byte.
    std::optional<std::uint8_t> byteField(const Json& object, const std::string& pointer,
                                          const std::string& name, const std::string& context) {
        const std::string at = pointer + "/" + escapePointerToken(name);
        const Json& value = object.at(name);
        if (isWholeFloat(value) && (value.get<double>() < 0 || value.get<double>() > 255)) {
            syntax(at, false, context,
                   "field " + quoted(name) + ": " + value.dump() + " does not fit a byte (0..255)");
            return std::nullopt;
        }
        if (!value.is_number_integer()) {
            syntax(at, false, context,
                   "field " + quoted(name) + " must be a whole number 0..255, not " + typeName(value));
            return std::nullopt;
        }
        if (value.is_number_unsigned() ? value.get<std::uint64_t>() > 255 : value.get<std::int64_t>() < 0) {
            syntax(at, false, context,
                   "field " + quoted(name) + ": " + value.dump() + " does not fit a byte (0..255)");
            return std::nullopt;
        }
        return static_cast<std::uint8_t>(value.get<int>());
    }

    std::optional<std::string> stringField(const Json& object, const std::string& pointer,
                                           const std::string& name, const std::string& context) {
        const Json& value = object.at(name);
        if (!value.is_string()) {
            syntax(pointer + "/" + escapePointerToken(name), false, context,
                   "field " + quoted(name) + " must be a string, not " + typeName(value));
            return std::nullopt;
        }
        return value.get<std::string>();
    }

    bool knownFields(const Json& object, const std::string& pointer, const std::string& context,
                     Names allowed) {
        bool ok = true;
        for (const auto& [name, value] : object.items()) {
            // A named reference, as clang before 16 cannot capture a structured binding.
            const std::string& field = name;
            if (std::find_if(allowed.begin(), allowed.end(), [&](const char* a) { return field == a; }) ==
                allowed.end()) {
                syntax(pointer + "/" + escapePointerToken(name), true, context,
                       "unknown field " + quoted(name));
                ok = false;
            }
        }
        return ok;
    }

    bool requireFields(const Json& object, const std::string& pointer, const std::string& context,
                       Names required) {
        bool ok = true;
        for (const char* name : required)
            if (!object.contains(name)) {
                syntax(pointer, false, context, "missing field " + quoted(name));
                ok = false;
            }
        return ok;
    }

    bool isObject(const Json& value, const std::string& pointer, const std::string& context) {
        if (value.is_object())
            return true;
        syntax(pointer, false, "", context + " must be an object, not " + typeName(value));
        return false;
    }

    bool readFileEntry(const Json& v, const std::string& pointer, const EntryId& ref, FileEntry& entry) {
        const std::string context = ref.text();
        if (!isObject(v, pointer, context))
            return false;
        const std::size_t before = out_.syntax.size();
        knownFields(v, pointer, context, kFileEntryFields);
        requireFields(v, pointer, context, Names(kFileEntryFields).subspan(3, 2));
        const bool typed = v.contains("name");
        const bool stored = v.contains("fileName") || v.contains("fileExt");
        if (typed && stored)
            syntax(pointer, false, context, "give either \"name\" or \"fileName\" and \"fileExt\", not both");
        else if (!typed && !stored)
            syntax(pointer, false, context, "missing field \"name\" (or \"fileName\" and \"fileExt\")");
        else if (stored)
            requireFields(v, pointer, context, Names(kFileEntryFields).subspan(1, 2));
        if (out_.syntax.size() != before)
            return false;

        const auto playTimes = byteField(v, pointer, "playTimes", context);
        const auto volume = byteField(v, pointer, "volume", context);
        if (playTimes)
            entry.playTimes = *playTimes;
        if (volume)
            entry.volume = *volume;
        if (v.contains("reserved"))
            readReserved(v, pointer, context, entry);

        if (typed) {
            if (const auto name = stringField(v, pointer, "name", context))
                storeTypedName(*name, ref, entry);
        } else {
            const auto fileName = stringField(v, pointer, "fileName", context);
            const auto fileExt = stringField(v, pointer, "fileExt", context);
            if (fileName && fileExt)
                storeNameFields(*fileName, *fileExt, ref, entry);
        }
        return out_.syntax.size() == before;
    }

    // A name as typed into the entry editor: checked, split and upper-cased by its own rules.
    void storeTypedName(const std::string& typed, const EntryId& ref, FileEntry& entry) {
        const FileNameFault fault = FileNameCheck(typed);
        if (fault != FileNameFault::None) {
            out_.names.push_back(Finding::about(ref, FileNameErrorMessage(FileNameFaultText(fault))));
            return;
        }
        FileEntry stored;
        StoreFileEntry(stored, typed, 0, 0);
        entry.fileName = stored.fileName;
        entry.fileExt = stored.fileExt;
    }

    // Stored fields are kept as given when they fit, and judged with everything else by
    // CheckScheduleContent; those that cannot even be stored are refused here.
    void storeNameFields(const std::string& fileName, const std::string& fileExt, const EntryId& ref,
                         FileEntry& entry) {
        const auto name = Utf8ToCp1252(fileName);
        const auto ext = Utf8ToCp1252(fileExt);
        if (name && ext && name->size() <= entry.fileName.size() && ext->size() <= entry.fileExt.size()) {
            // Indexed loops, not std::copy: GCC 12 at -O3 reports a false -Wstringop-overflow for
            // std::copy into the 4-byte extension although the size was checked just above.
            for (std::size_t i = 0; i < name->size(); ++i)
                entry.fileName[i] = static_cast<std::uint8_t>((*name)[i]);
            for (std::size_t i = 0; i < ext->size(); ++i)
                entry.fileExt[i] = static_cast<std::uint8_t>((*ext)[i]);
            return;
        }
        FileNameFault fault = FileNameFault::CharacterNotAllowed; // a character the code page lacks
        if (CharacterCount(fileName) > kFileNameWidth)
            fault = FileNameFault::BaseTooLong;
        else if (CharacterCount(fileExt) > kFileExtWidth)
            fault = FileNameFault::ExtensionTooLong;
        out_.names.push_back(Finding::about(ref, FileNameErrorMessage(FileNameFaultText(fault))));
    }

    void readReserved(const Json& v, const std::string& pointer, const std::string& context,
                      FileEntry& entry) {
        const Json& reserved = v.at("reserved");
        const std::string at = pointer + "/reserved";
        if (!reserved.is_array() || reserved.size() != entry.reserved.size()) {
            syntax(
                at, false, context,
                "field \"reserved\" must be an array of " + std::to_string(entry.reserved.size()) +
                    " whole numbers 0..255, not " +
                    (reserved.is_array() ? "one of " + std::to_string(reserved.size()) : typeName(reserved)));
            return;
        }
        for (std::size_t i = 0; i < reserved.size(); ++i) {
            const Json& b = reserved[i];
            const std::string elementAt = at + "/" + std::to_string(i);
            if (!b.is_number_integer() ||
                (b.is_number_unsigned() ? b.get<std::uint64_t>() > 255 : b.get<std::int64_t>() < 0)) {
                syntax(elementAt, false, context,
                       "field \"reserved\": " + b.dump() + " is not a whole number 0..255");
                continue;
            }
            entry.reserved[i] = static_cast<std::uint8_t>(b.get<int>());
        }
    }

    bool readAdvanceEntry(const Json& v, const std::string& pointer, int index, AdvanceEntry& entry,
                          std::optional<WeekDaySet>& days) {
        const EntryId ref = EntryId::advance(index);
        const std::string context = ref.text();
        if (!isObject(v, pointer, context))
            return false;
        const std::size_t before = out_.syntax.size();
        knownFields(v, pointer, context, kAdvanceKnownFields);
        const bool several = v.contains("weekDays");
        if (several && v.contains("weekDay"))
            syntax(pointer + "/weekDays", true, context, "give \"weekDay\" or \"weekDays\", not both");
        else if (several)
            requireFields(v, pointer, context, kAdvanceDaysFields);
        else
            requireFields(v, pointer, context, kAdvanceEntryFields);
        if (out_.syntax.size() != before)
            return false;
        std::uint8_t* const targets[] = {
            &entry.startYear,   &entry.startMonth, &entry.startDay,  &entry.startHour, &entry.startMinute,
            &entry.startSecond, &entry.stopYear,   &entry.stopMonth, &entry.stopDay,   &entry.stopHour,
            &entry.stopMinute,  &entry.stopSecond, &entry.weekDay};
        for (std::size_t k = 0; k < std::size(targets) - (several ? 1 : 0); ++k)
            if (const auto value = byteField(v, pointer, kAdvanceEntryFields[k], context))
                *targets[k] = *value;
        if (several)
            days = readWeekDays(v.at("weekDays"), pointer + "/weekDays", context);
        readList(v.at("files"), pointer + "/files", "files", [&](const Json& f, const std::string& p, int i) {
            FileEntry file;
            if (readFileEntry(f, p, EntryId::detailOf(index, i), file))
                entry.files.push_back(file);
        });
        SetDetailEntries(entry, std::move(entry.files));
        return out_.syntax.size() == before;
    }

    // ["Monday", "Friday"]: the English day names, each at most once.
    std::optional<WeekDaySet> readWeekDays(const Json& value, const std::string& at,
                                           const std::string& context) {
        WeekDaySet days{};
        const std::string expected =
            "field \"weekDays\" must be an array of week days (\"Sunday\" .. \"Saturday\")";
        if (!value.is_array()) {
            syntax(at, false, context, expected);
            return std::nullopt;
        }
        if (value.empty()) {
            syntax(at, false, context, "field \"weekDays\" is empty: name at least one week day");
            return std::nullopt;
        }
        for (std::size_t i = 0; i < value.size(); ++i) {
            int day = 0;
            while (day < kWeekDayAll &&
                   !(value[i].is_string() && value[i].get<std::string>() == WeekDayWord(day)))
                ++day;
            if (day == kWeekDayAll || days[static_cast<std::size_t>(day)]) {
                syntax(at + "/" + std::to_string(i), false, context,
                       expected + ", each once; not " + value[i].dump());
                return std::nullopt;
            }
            days[static_cast<std::size_t>(day)] = true;
        }
        return days;
    }

    JsonSchedule& out_;
    std::vector<Unplaced> unplaced_;
};

} // namespace

std::string ScheduleToJson(const Schedule& s) {
    Json basic = Json::array();
    for (int i = 0; i < s.basicCount && i < static_cast<int>(s.basicEntries.size()); ++i)
        basic.push_back(fileEntryJson(s.basicEntries[i]));
    Json advance = Json::array();
    for (int i = 0; i < s.advanceCount && i < static_cast<int>(s.advanceEntries.size()); ++i) {
        const AdvanceEntry& e = s.advanceEntries[i];
        Json j = Json::object();
        j["startYear"] = static_cast<int>(e.startYear);
        j["startMonth"] = static_cast<int>(e.startMonth);
        j["startDay"] = static_cast<int>(e.startDay);
        j["startHour"] = static_cast<int>(e.startHour);
        j["startMinute"] = static_cast<int>(e.startMinute);
        j["startSecond"] = static_cast<int>(e.startSecond);
        j["stopYear"] = static_cast<int>(e.stopYear);
        j["stopMonth"] = static_cast<int>(e.stopMonth);
        j["stopDay"] = static_cast<int>(e.stopDay);
        j["stopHour"] = static_cast<int>(e.stopHour);
        j["stopMinute"] = static_cast<int>(e.stopMinute);
        j["stopSecond"] = static_cast<int>(e.stopSecond);
        j["weekDay"] = static_cast<int>(e.weekDay);
        Json files = Json::array();
        for (int k = 0; k < e.fileCount && k < static_cast<int>(e.files.size()); ++k)
            files.push_back(fileEntryJson(e.files[k]));
        j["files"] = std::move(files);
        advance.push_back(std::move(j));
    }
    Json root = Json::object();
    root["basic"] = std::move(basic);
    root["advance"] = std::move(advance);
    return root.dump(1) + "\n";
}

JsonSchedule ParseScheduleJson(std::string_view text) {
    JsonSchedule out;
    out.schedule.basicEntries.clear();
    out.schedule.advanceEntries.clear();
    std::size_t unused = 0;
    PlacedDomBuilder builder(text, unused, nullptr);
    Json::sax_parse(text.data(), text.data() + text.size(), &builder);
    if (builder.error()) {
        // "[json.exception.parse_error.101] parse error at line 1, column 5: syntax error ..."
        const std::string& message = *builder.error();
        const auto at = message.find("parse error at ");
        const auto colon = message.find(": ", at == std::string::npos ? 0 : at);
        if (at != std::string::npos && colon != std::string::npos)
            out.syntax.push_back(
                Finding::error(message.substr(at + 15, colon - at - 15), message.substr(colon + 2)));
        else
            out.syntax.push_back(Finding::error("", message));
        return out;
    }
    ScheduleReader reader(out);
    if (!builder.tooDeep())
        reader.read(builder.root());
    if (!builder.tooDeep() && builder.duplicates().empty() && reader.unplaced().empty())
        return out;

    // Something to report: read again, this time keeping the places the findings need.
    Pointers wanted;
    for (const Unplaced& u : reader.unplaced())
        wanted.insert(u.pointer);
    std::size_t consumed = 0;
    PlacedDomBuilder placing(text, consumed, &wanted);
    const CountingIterator first(text.data(), text.data(), &consumed);
    const CountingIterator last(text.data() + text.size(), text.data(), &consumed);
    Json::sax_parse(first, last, &placing);
    Lines lines(text);
    if (placing.tooDeep()) {
        out.syntax.assign(1, Finding::error(lines.at(placing.tooDeepAt()),
                                            "nested deeper than " +
                                                std::to_string(PlacedDomBuilder::kMaxDepth) + " levels"));
        return out;
    }
    for (const Unplaced& u : reader.unplaced()) {
        const auto found = placing.places().find(u.pointer);
        const std::size_t offset =
            found == placing.places().end() ? 0 : (u.atKey ? found->second.key : found->second.value);
        std::string& where = out.syntax[u.finding].where;
        where = lines.at(offset);
        if (!u.context.empty())
            where += ": " + u.context;
    }
    std::vector<Finding> twice;
    for (const auto& [key, offset] : placing.duplicates())
        twice.push_back(Finding::error(lines.at(offset), "field " + quoted(key) + " given twice"));
    out.syntax.insert(out.syntax.begin(), twice.begin(), twice.end());
    return out;
}

} // namespace velmo
