#include "telemetry/battery/registry_text_reader.h"

#include "common/c_number.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

namespace voltrane {

namespace {

constexpr std::string_view batteryClass = "AppleSmartBattery";
constexpr std::string_view blanks = " \t\r\f\v";

struct Line {
    std::string_view text; ///< without the tree prefix and trailing blanks
    int number = 0;        ///< 1-based
};

std::vector<Line> splitLines(std::string_view input) {
    std::vector<Line> lines;
    int number = 0;
    while (!input.empty()) {
        const std::size_t newline = input.find('\n');
        std::string_view text = input.substr(0, newline);
        input = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
        ++number;
        const std::size_t start = text.find_first_not_of(" \t|");
        text = start == std::string_view::npos ? std::string_view() : text.substr(start);
        const std::size_t last = text.find_last_not_of(blanks);
        text = last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
        lines.push_back({text, number});
    }
    return lines;
}

bool isHeader(std::string_view line) {
    return line == "+-o" || line.starts_with("+-o ");
}

bool isPropertyLine(std::string_view line) {
    return line.starts_with('"');
}

/// The class a header names in `<class Name, …>`; empty when the header is cut before its end.
std::string_view headerClass(std::string_view header) {
    constexpr std::string_view marker = "<class ";
    const std::size_t at = header.find(marker);
    if (at == std::string_view::npos) {
        return {};
    }
    const std::string_view rest = header.substr(at + marker.size());
    const std::size_t end = rest.find_first_of(",>");
    return end == std::string_view::npos ? std::string_view() : rest.substr(0, end);
}

/// -?[0-9]+(.[0-9]+)?([eE][+-]?[0-9]+)?: JSON's number grammar, with leading zeros allowed.
bool isDecimalNumber(std::string_view word) {
    if (word.starts_with('-')) {
        word.remove_prefix(1);
    }
    while (word.size() > 1 && word[0] == '0' && word[1] >= '0' && word[1] <= '9') {
        word.remove_prefix(1);
    }
    return isJsonNumber(word);
}

/// A complete bare word: Yes/No, an integer, a number with a fraction or exponent; else a value
/// of another kind that no reader accepts.
PropertyValue bareWord(std::string_view word) {
    if (word == "Yes" || word == "No") {
        return PropertyValue(word == "Yes");
    }
    if (!isDecimalNumber(word)) {
        return PropertyValue();
    }
    if (word.find_first_of(".eE") == std::string_view::npos) {
        const char* end = word.data() + word.size();
        std::int64_t integer = 0;
        if (std::from_chars(word.data(), end, integer).ec == std::errc()) {
            return PropertyValue(integer);
        }
        // The registry keeps negative figures as unsigned 64-bit patterns above INT64_MAX.
        std::uint64_t bits = 0;
        if (std::from_chars(word.data(), end, bits).ec == std::errc()) {
            return PropertyValue(bits);
        }
    }
    return PropertyValue(parseCNumber(word).value_or(0.0));
}

/// One property line, `"Key" = value`, read into the entry.
class PropertyLineReader {
public:
    PropertyLineReader(const Line& line, bool inputStopsHere, std::vector<std::string>& notes)
        : text_(line.text), number_(line.number), inputStopsHere_(inputStopsHere), notes_(notes) {}

    /// Whether the line gave the entry a key (new or repeated).
    bool readInto(PropertyTable& entry) {
        const auto key = quotedText();
        if (!key) {
            return dropCutOff(std::string(text_.substr(1)));
        }
        const std::string name(*key);
        skipBlanks();
        if (atEnd()) {
            return dropCutOff(name); // a key without its value
        }
        if (text_[pos_] != '=') {
            return unreadable(name);
        }
        ++pos_;
        skipBlanks();
        if (atEnd()) {
            // An empty value is present but unreadable, unless the paste stops right here.
            if (inputStopsHere_) {
                return dropCutOff(name);
            }
            entry.try_emplace(name, PropertyValue());
            return true;
        }
        const char first = text_[pos_];
        if (first != '"' && first != '<' && first != '{' && first != '(') {
            // At the top a bare word runs to the end of the line and is complete there.
            entry.try_emplace(name, bareWord(text_.substr(pos_)));
            return true;
        }
        Outcome outcome = value(1, name);
        if (outcome.end == End::complete) {
            skipBlanks();
            if (!atEnd()) {
                outcome.end = End::malformed;
            }
        }
        if (outcome.end == End::malformed) {
            lineNotes_.clear();
            return unreadable(name);
        }
        if (outcome.end == End::cut) {
            noteCut(name, outcome);
        }
        // Outer items first: the reader met them first, but finished them last.
        notes_.insert(notes_.end(), lineNotes_.rbegin(), lineNotes_.rend());
        if (!outcome.value) {
            return false;
        }
        entry.try_emplace(name, std::move(*outcome.value));
        return true;
    }

private:
    using End = RecordedValue::End;
    using Outcome = RecordedValue;

    std::string_view text_;
    std::size_t pos_ = 1; // past the key's opening quote
    int number_;
    bool inputStopsHere_;
    std::vector<std::string>& notes_;
    std::vector<std::string> lineNotes_;

    bool atEnd() const { return pos_ >= text_.size(); }

    void skipBlanks() {
        while (!atEnd() && blanks.find(text_[pos_]) != std::string_view::npos) {
            ++pos_;
        }
    }

    /// The text up to the closing quote, with the reader past it; nothing when the line ends first.
    std::optional<std::string_view> quotedText() {
        const std::size_t close = text_.find('"', pos_);
        if (close == std::string_view::npos) {
            pos_ = text_.size();
            return std::nullopt;
        }
        const std::string_view text = text_.substr(pos_, close - pos_);
        pos_ = close + 1;
        return text;
    }

    bool dropCutOff(const std::string& path) {
        notes_.push_back(cutOffNote(number_, path, false));
        return false;
    }

    bool unreadable(const std::string& path) {
        notes_.push_back("line " + std::to_string(number_) + ": \"" + path + "\" unreadable; dropped");
        return false;
    }

    void noteCut(const std::string& path, const Outcome& outcome) {
        lineNotes_.push_back(cutOffNote(number_, path, outcome.value.has_value()));
    }

    /// A value at the reader, inside a table or a list when `depth` > 1.
    Outcome value(int depth, const std::string& path) {
        if (depth > kMaximumTableDepth) {
            return {std::nullopt, End::malformed};
        }
        skipBlanks();
        if (atEnd()) {
            return {std::nullopt, End::cut};
        }
        switch (text_[pos_]) {
        case '"': {
            ++pos_;
            const auto text = quotedText();
            return text ? Outcome{PropertyValue(std::string(*text)), End::complete}
                        : Outcome{std::nullopt, End::cut};
        }
        case '<': {
            const std::size_t close = text_.find('>', pos_);
            if (close == std::string_view::npos) {
                pos_ = text_.size();
                return {std::nullopt, End::cut};
            }
            pos_ = close + 1;
            return {PropertyValue(), End::complete};
        }
        case '{':
            return table(depth, path);
        case '(':
            return list(depth, path);
        default:
            break;
        }
        const std::size_t end = text_.find_first_of(",)}", pos_);
        if (end == std::string_view::npos) {
            // The word may go on beyond the cut.
            pos_ = text_.size();
            return {std::nullopt, End::cut};
        }
        std::string_view word = text_.substr(pos_, end - pos_);
        word = word.substr(0, word.find_last_not_of(blanks) + 1);
        pos_ = end;
        return {bareWord(word), End::complete};
    }

    /// Reads `{…}` or `(…)` at the reader, one `readMember` call a member: it ends at `closer`, is
    /// cut off by the end of the line, or is malformed by anything else.
    template <typename ReadMember> End members(char closer, ReadMember readMember) {
        ++pos_;
        skipBlanks();
        if (!atEnd() && text_[pos_] == closer) {
            ++pos_;
            return End::complete;
        }
        while (true) {
            skipBlanks();
            if (atEnd()) {
                return End::cut;
            }
            if (const End member = readMember(); member != End::complete) {
                return member;
            }
            skipBlanks();
            if (atEnd()) {
                return End::cut;
            }
            const char c = text_[pos_++];
            if (c == closer) {
                return End::complete;
            }
            if (c != ',') {
                return End::malformed;
            }
        }
    }

    /// One member's value, handed to `keep` when there is one (a cut-off container keeps its
    /// complete members); a cut-off member is noted.
    template <typename Keep> End member(int depth, const std::string& path, Keep keep) {
        Outcome outcome = value(depth, path);
        if (outcome.end == End::malformed) {
            return End::malformed;
        }
        if (outcome.value) {
            keep(std::move(*outcome.value));
        }
        if (outcome.end == End::cut) {
            noteCut(path, outcome);
        }
        return outcome.end;
    }

    static Outcome finished(PropertyValue container, End end) {
        if (end == End::malformed) {
            return {std::nullopt, end};
        }
        return {std::move(container), end};
    }

    Outcome table(int depth, const std::string& path) {
        PropertyTable table;
        const End end = members('}', [&] {
            if (text_[pos_++] != '"') {
                return End::malformed;
            }
            const std::size_t keyStart = pos_;
            const auto key = quotedText();
            const std::string memberPath = path + "." + std::string(key.value_or(text_.substr(keyStart)));
            skipBlanks();
            if (!key || atEnd()) {
                // The key itself, or the key without its value.
                lineNotes_.push_back(cutOffNote(number_, memberPath, false));
                return End::cut;
            }
            if (text_[pos_++] != '=') {
                return End::malformed;
            }
            return member(depth + 1, memberPath, [&](PropertyValue value) {
                table.try_emplace(std::string(*key), std::move(value));
            });
        });
        return finished(std::move(table), end);
    }

    Outcome list(int depth, const std::string& path) {
        PropertyList list;
        const End end = members(')', [&] {
            return member(depth + 1, path + "[" + std::to_string(list.size()) + "]",
                          [&](PropertyValue value) { list.push_back(std::move(value)); });
        });
        return finished(std::move(list), end);
    }
};

} // namespace

bool RegistryTextReader::recognizes(std::string_view text) {
    for (const Line& line : splitLines(text)) {
        if (isHeader(line.text)) {
            return true;
        }
        if (isPropertyLine(line.text)) {
            const std::size_t close = line.text.find('"', 1);
            const std::size_t next =
                close == std::string_view::npos ? close : line.text.find_first_not_of(blanks, close + 1);
            if (next != std::string_view::npos && line.text[next] == '=') {
                return true;
            }
        }
    }
    return false;
}

RecordedTable RegistryTextReader::read(std::string_view text) {
    const std::vector<Line> lines = splitLines(text);
    // Only a line the input stops in can have lost its value; a newline after it means the
    // tool printed it whole.
    const Line* stoppedIn = lines.empty() || text.ends_with('\n') ? nullptr : &lines.back();

    RecordedTable result;
    auto begin = lines.begin();
    auto end = lines.end();
    const bool hasHeaders =
        std::any_of(lines.begin(), lines.end(), [](const Line& line) { return isHeader(line.text); });
    bool closed = false;
    if (hasHeaders) {
        const auto battery = std::find_if(lines.begin(), lines.end(), [](const Line& line) {
            return isHeader(line.text) && headerClass(line.text) == batteryClass;
        });
        if (battery == lines.end()) {
            // A whole tree of a machine without a battery has no entry; a paste cut in the first
            // header has nothing at all.
            std::vector<std::string> ignored;
            PropertyTable others;
            const bool readAny = std::any_of(lines.begin(), lines.end(), [&](const Line& line) {
                return isPropertyLine(line.text) &&
                       PropertyLineReader(line, &line == stoppedIn, ignored).readInto(others);
            });
            return readAny ? result : RecordedTable{std::nullopt, "no readable property line", {}};
        }
        begin = std::next(battery);
        // The entry's block closes at its own "}"; a header after it starts another object.
        end = std::find_if(begin, lines.end(),
                           [](const Line& line) { return line.text == "}" || isHeader(line.text); });
        closed = end != lines.end();
    }

    PropertyTable entry;
    bool readAny = false;
    for (auto it = begin; it != end; ++it) {
        if (isPropertyLine(it->text)) {
            readAny |= PropertyLineReader(*it, &*it == stoppedIn, result.notes).readInto(entry);
        }
    }
    if (!readAny && !closed) {
        return {std::nullopt, "no readable property line", {}};
    }
    if (hasHeaders && !closed) {
        const auto header = std::prev(begin);
        result.notes.insert(result.notes.begin(),
                            cutOffNote(header->number, std::string(batteryClass), true));
    }
    result.entry = std::move(entry);
    return result;
}

} // namespace voltrane
