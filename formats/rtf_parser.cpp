#include "formats/rtf_parser.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <set>

#include "base/code_page.h"

namespace vaxo {
namespace {

constexpr int kMaxDepth = 256;
constexpr int kMaxWordLength = 32;
constexpr int kMaxDigits = 10;
constexpr int kCentralEuropeCharset = 238;

constexpr std::array<char32_t, 32> kWindows1252Controls = {
    0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x0000, 0x017D, 0x0000, 0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178};

enum class Destination { Text, FontTable, ColourTable, Skip };

struct GroupState {
    RtfCharFormat format;
    Destination destination = Destination::Text;
    int unicodeSkip = 1;
};

const std::set<std::string_view>& SkippedDestinations() {
    static const std::set<std::string_view> names{
        "stylesheet", "info",         "pict",       "object",     "header",
        "headerl",    "headerr",      "headerf",    "footer",     "footerl",
        "footerr",    "footerf",      "footnote",   "listtable",  "listoverridetable",
        "rsidtbl",    "generator",    "xmlnstbl",   "themedata",  "colorschememapping",
        "datastore",  "latentstyles", "mmathPr",    "pgdsctbl",   "revtbl",
        "fldinst",    "bkmkstart",    "bkmkend",    "nonshppict", "shp",
        "objdata",    "datafield",    "template",   "docvar",     "userprops",
        "filetbl",    "private",      "annotation", "atnid",      "atnauthor",
        "falt",       "panose",       "fname"};
    return names;
}

char32_t Windows1252ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) {
        return kWindows1252Controls[byte - 0x80u];
    }
    return byte;
}

class Parser {
  public:
    explicit Parser(std::string_view input) : in_(input) { stack_.emplace_back(); }

    RtfDocumentModel Run() {
        while (at_ < in_.size()) {
            Step();
        }
        EndParagraph(false);
        return std::move(model_);
    }

  private:
    GroupState& State() { return stack_.back(); }

    void Step() {
        const char c = in_[at_++];
        if (c == '{') {
            OpenGroup();
        } else if (c == '}') {
            CloseGroup();
        } else if (c == '\\') {
            ControlSequence();
        } else if (c != '\r' && c != '\n') {
            Byte(static_cast<unsigned char>(c));
        }
    }

    void OpenGroup() {
        if (overflow_ > 0 || stack_.size() >= kMaxDepth) {
            ++overflow_;
            return;
        }
        stack_.push_back(stack_.back());
        skipChars_ = 0;
    }

    void CloseGroup() {
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (State().destination == Destination::FontTable && !fontName_.empty()) {
            FinishFont();
        }
        if (stack_.size() > 1) {
            stack_.pop_back();
        }
    }

    bool Skipping() const {
        return overflow_ > 0 || stack_.back().destination == Destination::Skip;
    }

    void ControlSequence() {
        if (at_ >= in_.size()) {
            return;
        }
        const char c = in_[at_];
        if (std::isalpha(static_cast<unsigned char>(c))) {
            ControlWord();
            return;
        }
        ++at_;
        switch (c) {
            case '\'':
                HexByte();
                break;
            case '\\':
            case '{':
            case '}':
                Byte(static_cast<unsigned char>(c));
                break;
            case '~':
                Character(0x00A0);
                break;
            case '_':
                Character(0x2011);
                break;
            case '*':
                if (!Skipping()) {
                    State().destination = Destination::Skip;
                }
                break;
            case '\r':
            case '\n':
                Word("par", false, 0);
                break;
            default:
                break;
        }
    }

    void ControlWord() {
        const std::size_t start = at_;
        while (at_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[at_])) &&
               at_ - start < kMaxWordLength) {
            ++at_;
        }
        const std::string_view word = in_.substr(start, at_ - start);
        bool negative = false;
        if (at_ < in_.size() && in_[at_] == '-') {
            negative = true;
            ++at_;
        }
        long long value = 0;
        int digits = 0;
        while (at_ < in_.size() && std::isdigit(static_cast<unsigned char>(in_[at_]))) {
            if (digits++ < kMaxDigits) {
                value = value * 10 + (in_[at_] - '0');
            }
            ++at_;
        }
        if (at_ < in_.size() && in_[at_] == ' ') {
            ++at_;
        }
        const long long clamped =
            std::clamp(negative ? -value : value, -2147483647LL, 2147483647LL);
        Word(word, digits > 0, static_cast<int>(clamped));
    }

    void HexByte() {
        int value = 0;
        for (int i = 0; i < 2 && at_ < in_.size(); ++i) {
            const char h = in_[at_];
            const int digit = std::isdigit(static_cast<unsigned char>(h)) ? h - '0'
                              : (h >= 'a' && h <= 'f')                    ? h - 'a' + 10
                              : (h >= 'A' && h <= 'F')                    ? h - 'A' + 10
                                                                          : -1;
            if (digit < 0) {
                break;
            }
            value = value * 16 + digit;
            ++at_;
        }
        Byte(static_cast<unsigned char>(value));
    }

    int CodePageOfFont(int font) const {
        const auto found = codePages_.find(font);
        return found == codePages_.end() || found->second == 0 ? ansiCodePage_ : found->second;
    }

    void Byte(unsigned char byte) {
        const char32_t point = byte < 0x80 ? byte
                               : CodePageOfFont(State().format.font) == 1250
                                   ? Windows1250ToUnicode(byte)
                                   : Windows1252ToUnicode(byte);
        Character(point == 0 ? U'?' : point);
    }

    void Character(char32_t point) {
        if (skipChars_ > 0) {
            --skipChars_;
            return;
        }
        if (Skipping()) {
            return;
        }
        switch (State().destination) {
            case Destination::FontTable:
                if (point == ';') {
                    FinishFont();
                } else if (fontName_.size() < RtfDocumentModel::kFontNameLimit) {
                    fontName_ += point;
                }
                return;
            case Destination::ColourTable:
                if (point == ';') {
                    model_.colours.push_back(colourSet_ ? std::optional(colour_) : std::nullopt);
                    colour_ = 0;
                    colourSet_ = false;
                }
                return;
            default:
                break;
        }
        if (runs_.empty() || !(runs_.back().format == State().format)) {
            runs_.push_back({U"", State().format});
        }
        runs_.back().text += point;
    }

    void FinishFont() {
        if (model_.fonts.size() < RtfDocumentModel::kFontLimit) {
            const std::string name = ToUtf8(fontName_);
            const auto begin = name.find_first_not_of(' ');
            model_.fonts.push_back({currentFont_, currentCharset_,
                                    begin == std::string::npos ? "" : name.substr(begin)});
            codePages_.emplace(currentFont_, currentCharset_ == kCentralEuropeCharset ? 1250
                                             : currentCharset_ == 0                   ? 1252
                                                                                      : 0);
        }
        fontName_.clear();
        currentCharset_ = 0;
    }

    void EndParagraph(bool always) {
        if (always || !runs_.empty()) {
            model_.paragraphs.push_back(
                {std::move(runs_), alignment_, leftIndent_, spaceBefore_, spaceAfter_});
        }
        runs_.clear();
    }

    void Word(std::string_view word, bool hasValue, int value) {
        GroupState& state = State();
        if (SkippedDestinations().count(word)) {
            state.destination = Destination::Skip;
            return;
        }
        if (Skipping()) {
            return;
        }
        const bool on = !hasValue || value != 0;
        RtfCharFormat& format = state.format;
        if (state.destination == Destination::FontTable) {
            if (word == "f") {
                currentFont_ = value;
            } else if (word == "fcharset") {
                currentCharset_ = value;
            }
            return;
        }
        if (state.destination == Destination::ColourTable) {
            const int level = std::clamp(value, 0, 255);
            const int shift = word == "red" ? 16 : word == "green" ? 8 : word == "blue" ? 0 : -1;
            if (shift >= 0) {
                colour_ =
                    (colour_ & ~(0xFFu << shift)) | (static_cast<std::uint32_t>(level) << shift);
                colourSet_ = true;
            }
            return;
        }
        if (word == "fonttbl") {
            state.destination = Destination::FontTable;
        } else if (word == "colortbl") {
            state.destination = Destination::ColourTable;
        } else if (word == "ansicpg") {
            ansiCodePage_ = value;
        } else if (word == "par") {
            EndParagraph(true);
        } else if (word == "line") {
            Character(U'\n');
        } else if (word == "tab") {
            Character(U'\t');
        } else if (word == "b") {
            format.bold = on;
        } else if (word == "i") {
            format.italic = on;
        } else if (word == "ul") {
            format.underline = on;
        } else if (word == "ulnone") {
            format.underline = false;
        } else if (word == "plain") {
            format = RtfCharFormat{};
        } else if (word == "fs" && hasValue) {
            format.halfPoints = std::clamp(value, 2, 400);
        } else if (word == "f" && hasValue) {
            format.font = value;
        } else if (word == "cf" && hasValue) {
            format.colour = std::max(value, 0);
        } else if (word == "pard") {
            alignment_ = RtfAlignment::Left;
            leftIndent_ = spaceBefore_ = spaceAfter_ = 0;
        } else if ((word == "sb" || word == "sa") && hasValue) {
            (word == "sb" ? spaceBefore_ : spaceAfter_) = std::clamp(value, 0, 20000);
        } else if (word == "qc" || word == "qr" || word == "qj" || word == "ql") {
            alignment_ = word == "qc"   ? RtfAlignment::Centre
                         : word == "qr" ? RtfAlignment::Right
                         : word == "qj" ? RtfAlignment::Justify
                                        : RtfAlignment::Left;
        } else if (word == "li" && hasValue) {
            leftIndent_ = std::clamp(value, 0, 20000);
        } else if (word == "uc" && hasValue) {
            state.unicodeSkip = std::clamp(value, 0, 8);
        } else if (word == "u" && hasValue) {
            Character(static_cast<char32_t>(value < 0 ? value + 65536 : value));
            skipChars_ = state.unicodeSkip;
        } else {
            Symbol(word);
        }
    }

    void Symbol(std::string_view word) {
        static const std::pair<std::string_view, char32_t> kSymbols[] = {
            {"emdash", 0x2014},    {"endash", 0x2013},  {"bullet", 0x2022},
            {"lquote", 0x2018},    {"rquote", 0x2019},  {"ldblquote", 0x201C},
            {"rdblquote", 0x201D}, {"emspace", 0x2003}, {"enspace", 0x2002}};
        for (const auto& [name, point] : kSymbols) {
            if (word == name) {
                Character(point);
            }
        }
    }

    std::string_view in_;
    std::size_t at_ = 0;
    std::vector<GroupState> stack_;
    int overflow_ = 0;
    int skipChars_ = 0;
    int ansiCodePage_ = 1252;
    RtfDocumentModel model_;
    std::vector<RtfRun> runs_;
    RtfAlignment alignment_ = RtfAlignment::Left;
    int leftIndent_ = 0;
    int spaceBefore_ = 0;
    int spaceAfter_ = 0;
    std::u32string fontName_;
    std::unordered_map<int, int> codePages_;  // 0: the document's code page
    int currentFont_ = 0;
    int currentCharset_ = 0;
    std::uint32_t colour_ = 0;
    bool colourSet_ = false;
};

}  // namespace

RtfDocumentModel ParseRtf(std::string_view bytes) {
    return Parser(bytes).Run();
}

std::unordered_map<int, const RtfFont*> FontsByNumber(const RtfDocumentModel& model) {
    std::unordered_map<int, const RtfFont*> fonts;
    for (const RtfFont& font : model.fonts) {
        fonts.emplace(font.number, &font);
    }
    return fonts;
}

}  // namespace vaxo
