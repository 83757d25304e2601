#pragma once

#include <string>
#include <vector>

#include "app/program_view.h"

namespace vaxo {

// What an operator at the transmitter needs to trust the program at a
// glance: the encoder link and the live-text feeds.
struct Health {
    enum class Link {
        Unknown,  // nothing sent in this run, and the port opened
        Good,     // the last send was confirmed by the encoder
        Bad,      // the last send failed, or the port cannot be used
    };
    Link link = Link::Unknown;
    // "port LPT1: simulated encoder; last send 2026-12-09 12:00:03 bank 1 ok",
    // "port LPT1: ...; last send ... bank 1 failed (3 in a row): <the link's reason>"
    std::string linkText;
    // A followed file the program cannot read: "radiotext rt.txt: not found".
    std::vector<std::string> feedTroubles;
    // "radiotext rt.txt read", "no live-text file followed", or the troubles.
    std::string feedsText;
    // Whether the encoder answers between sends: "encoder answers",
    // "encoder not answering since 2026-12-09 03:12:40: its status line stays high".
    EncoderAnswer::State encoder = EncoderAnswer::State::Unknown;
    std::string encoderText;
};

Health HealthOf(const ProgramView& program);

std::string DescribeEncoderAnswer(const EncoderAnswer& answer);

// The fields whose value differs from what the bank that sends go to
// holds; none when the program has not written that bank in this run.
std::optional<FieldSet> FieldsNotOnAir(const ProgramView& program);

}  // namespace vaxo
