#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "record/rds_parameter_set.h"

namespace vaxo {

// The radiotext a file line becomes: eight spaces for an empty line, trailing
// spaces dropped from a longer one, cut to 61 characters and "..." past 64,
// national letters reduced.
std::string ProcessRadiotextLine(std::string text);

struct DpsShaping {
    bool smartAlignment = true;
    bool effects = false;
    std::string effectCharacter = "*";
};

// The dynamic PS text a file line becomes, before it is split into eight
// segments: trailing spaces dropped, letters reduced, then smart alignment
// and effects, then cut past 64 characters.
std::string ProcessDpsLine(std::string text, const DpsShaping& shaping);

// Characters 8k+1 .. 8k+8 of the text for k = 0..7; shorter rests or empty.
std::array<std::string, kDpsCount> SplitDpsSegments(const std::string& text);

// Number of spaces in segment i (1..8); 0 when the text is shorter than 8i.
int SegmentSpaceCount(const std::string& text, int i);

// Moves the word that runs across the end of segment i one place right, by
// doubling the last space before position 8i.
void PushWordToNextSegment(std::string& text, int i);

void ApplySmartAlignment(std::string& text);
void ApplyEffects(std::string& text, char effectCharacter);

}  // namespace vaxo
