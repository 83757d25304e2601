#include "stations/live_text_shaping.h"

#include "encoding/chr_repl.h"
#include "record/rds_parameter_set.h"

namespace vaxo {
namespace {

constexpr std::size_t kSegment = kPsLength;
constexpr std::size_t kLongest = kRadiotextLength;
constexpr int kSegments = static_cast<int>(kDpsCount);
constexpr int kPushes = 6;

void DropTrailingSpacesWhenLong(std::string& text) {
    if (text.size() > kSegment) {
        text.erase(text.find_last_not_of(' ') + 1);
    }
}

void CutWithEllipsis(std::string& text) {
    if (text.size() > kLongest) {
        text = text.substr(0, kLongest - 3) + "...";
    }
}

// Character at 1-based position, as the segment rules count.
char At(const std::string& text, std::size_t position) {
    return text[position - 1];
}

}  // namespace

std::string ProcessRadiotextLine(std::string text) {
    if (text.empty()) {
        text = std::string(kSegment, ' ');
    }
    DropTrailingSpacesWhenLong(text);
    CutWithEllipsis(text);
    return ReplaceChars(text);
}

std::string ProcessDpsLine(std::string text, const DpsShaping& shaping) {
    DropTrailingSpacesWhenLong(text);
    text = ReplaceChars(text);
    if (shaping.smartAlignment) {
        ApplySmartAlignment(text);
        if (shaping.effects && !shaping.effectCharacter.empty()) {
            ApplyEffects(text, shaping.effectCharacter.front());
        }
    }
    CutWithEllipsis(text);
    return text;
}

std::array<std::string, kDpsCount> SplitDpsSegments(const std::string& text) {
    std::array<std::string, kDpsCount> segments;
    for (std::size_t k = 0; k < segments.size(); ++k) {
        if (k * kSegment < text.size()) {
            segments[k] = text.substr(k * kSegment, kSegment);
        }
    }
    return segments;
}

int SegmentSpaceCount(const std::string& text, int i) {
    const std::size_t end = 8 * static_cast<std::size_t>(i);
    if (text.size() < end) {
        return 0;
    }
    int spaces = 0;
    for (std::size_t position = end - 7; position <= end; ++position) {
        spaces += At(text, position) == ' ' ? 1 : 0;
    }
    return spaces;
}

void PushWordToNextSegment(std::string& text, int i) {
    for (std::size_t position = static_cast<std::size_t>(8 * i - 1); position >= 1; --position) {
        if (At(text, position) == ' ') {
            text.insert(position - 1, 1, ' ');
            return;
        }
    }
}

void ApplySmartAlignment(std::string& text) {
    for (int i = 1; i <= kSegments; ++i) {
        const auto first = static_cast<std::size_t>(8 * i - 7);
        while (text.size() >= first && At(text, first) == ' ') {
            text.erase(first - 1, 1);
        }
        const std::size_t last = 8 * static_cast<std::size_t>(i);
        for (int push = 0; push < kPushes; ++push) {
            if (text.size() >= last + 1 && SegmentSpaceCount(text, i) != 0 &&
                At(text, last) != ' ' && At(text, last + 1) != ' ') {
                PushWordToNextSegment(text, i);
            }
        }
    }
}

void ApplyEffects(std::string& text, char c) {
    if (text.size() % kSegment != 0) {
        text.append(kSegment - text.size() % kSegment, ' ');
    }
    const std::size_t length = text.size();
    for (int i = 1; i <= kSegments; ++i) {
        const std::size_t last = 8 * static_cast<std::size_t>(i);
        if (last > length) {
            continue;
        }
        if (At(text, last) == ' ' && (length <= kLongest || i < kSegments)) {
            text.erase(last - 1, 1);
            text.insert(last - 8, 1, c);
        }
        for (std::size_t k = 0; k < 6 && At(text, last - k) == ' '; ++k) {
            text[last - k - 1] = c;
        }
    }
}

}  // namespace vaxo
