#include "netcontrol/uecp_session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "encoding/rds_characters.h"
#include "netcontrol/logged_command.h"
#include "record/station_fields.h"

namespace vaxo {
namespace {

constexpr std::uint8_t kAllButCurrent = 254;
constexpr std::uint8_t kAllDataSets = 255;
constexpr std::size_t kRadiotextLimit = 64;

std::uint8_t Next(std::uint8_t sequence) {
    return sequence == 255 ? 1 : static_cast<std::uint8_t>(sequence + 1);
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

std::string Flag(bool on) {
    return on ? "1" : "0";
}

// AF texts as the send reads them: "87.6" in tenths of MHz.
std::string Frequency(int code, char separator) {
    const int tenths = 875 + code;
    return std::to_string(tenths / 10) + separator + std::to_string(tenths % 10);
}

const char* ElementName(std::uint8_t mec) {
    switch (mec) {
        case kMecPi:
            return "PI";
        case kMecPs:
            return "PS";
        case kMecTaTp:
            return "TA/TP";
        case kMecDi:
            return "DI";
        case kMecMs:
            return "MS";
        case kMecPin:
            return "PIN";
        case kMecPty:
            return "PTY";
        case kMecRt:
            return "RT";
        case kMecClock:
            return "clock";
        case kMecAf:
            return "AF";
        case kMecEonAf:
            return "EON AF";
        case kMecRequest:
            return "request";
        case kMecAcknowledgement:
            return "acknowledgement";
        case kMecDataSetSelect:
            return "data set select";
        case kMecCommunicationMode:
            return "communication mode";
        default:
            return nullptr;
    }
}

// "PS element, data set 3, service 6", for the log.
std::string Describe(const UecpElement& element) {
    const char* name = ElementName(element.mec);
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", element.mec);
    std::string text = name ? std::string(name) + " element" : "element " + std::string(code);
    if (element.dataSet) {
        text += ", data set " + std::to_string(*element.dataSet);
    }
    if (element.programmeService) {
        text += ", service " + std::to_string(*element.programmeService);
    }
    return text;
}

const char* FrameTrouble(UecpCode code) {
    switch (code) {
        case UecpCode::CrcError:
            return "its CRC is wrong";
        case UecpCode::BadStuffing:
            return "FD is followed by a byte other than 00, 01 or 02";
        case UecpCode::EndByteMissing:
            return "no end byte FF within 263 bytes";
        default:
            return "its length byte does not match the message";
    }
}

}  // namespace

bool UecpSession::ForThisEncoder(const UecpFrame& frame) const {
    return (frame.site == 0 || settings_.site == 0 || frame.site == settings_.site) &&
           (frame.encoder == 0 || settings_.encoder == 0 || frame.encoder == settings_.encoder);
}

bool UecpSession::ServiceCarried(const UecpElement& element) const {
    if (!element.programmeService || settings_.services.empty() || *element.programmeService == 0) {
        return true;
    }
    return std::find(settings_.services.begin(), settings_.services.end(),
                     *element.programmeService) != settings_.services.end();
}

void UecpSession::Note(UecpCode code, std::uint8_t sequence) {
    if (code != UecpCode::Ok && !trouble_) {
        trouble_ = std::pair{code, sequence};
    }
}

std::vector<std::uint8_t> UecpSession::Frame(std::vector<std::uint8_t> message) const {
    return EncodeUecpFrame({settings_.site, settings_.encoder, 0, std::move(message)});
}

// Code 0 alone; an error with the frame's sequence number.
std::vector<std::uint8_t> UecpSession::Acknowledgement(UecpCode code, std::uint8_t sequence) const {
    std::vector<std::uint8_t> element{kMecAcknowledgement, static_cast<std::uint8_t>(code)};
    if (code != UecpCode::Ok) {
        element.push_back(sequence);
    }
    return element;
}

std::vector<std::uint8_t> UecpSession::Take(ControlProgram& program, const UecpReading& reading) {
    if (!reading.frame) {
        program.TellRefused(origin_, "frame", FrameTrouble(reading.code));
        Note(reading.code, reading.sequence);
        return mode_ == 2 ? Frame(Acknowledgement(reading.code, reading.sequence))
                          : std::vector<std::uint8_t>{};
    }
    const UecpFrame& frame = *reading.frame;
    if (!ForThisEncoder(frame)) {
        return {};
    }
    UecpCode code = UecpCode::Ok;
    if (frame.sequence != 0) {
        if (expected_ && *expected_ != frame.sequence) {
            code = UecpCode::MessageNotReceived;
            program.TellRefused(
                origin_, "frame " + std::to_string(frame.sequence),
                "a gap in the sequence: " + std::to_string(*expected_) + " was next");
        }
        expected_ = Next(frame.sequence);
    }
    const UecpElements parsed = ParseUecpElements(frame.message);
    std::vector<std::uint8_t> answers;
    for (const UecpElement& element : parsed.elements) {
        const UecpCode applied = Apply(program, element, answers);
        if (code == UecpCode::Ok) {
            code = applied;
        }
    }
    if (parsed.stop != UecpCode::Ok) {
        program.TellRefused(origin_, "frame " + std::to_string(frame.sequence),
                            parsed.stop == UecpCode::MessageUnknown
                                ? "an element of unknown layout ended the message"
                                : "an element runs past the end of the message");
        if (code == UecpCode::Ok) {
            code = parsed.stop;
        }
    }
    Note(code, frame.sequence);
    std::vector<std::uint8_t> reply;
    if (mode_ == 2) {
        reply = Frame(Acknowledgement(code, frame.sequence));
    }
    if (mode_ != 0 && !answers.empty()) {
        const std::vector<std::uint8_t> answered = Frame(std::move(answers));
        reply.insert(reply.end(), answered.begin(), answered.end());
    }
    return reply;
}

// The lines show in the log as the command: "PS= PS RDS ; TA=0".
UecpCode UecpSession::Change(ControlProgram& program, const std::string& lines) {
    std::string shown = lines;
    std::replace(shown.begin(), shown.end(), '\n', ';');
    const FieldChanges changes = program.ApplyRemoteFields(lines, origin_, LoggedCommand(shown));
    for (const FieldOutcome& outcome : changes.outcomes) {
        if (outcome.verdict != FieldVerdict::Accepted) {
            return UecpCode::ParameterOutOfRange;
        }
    }
    return UecpCode::Ok;
}

UecpCode UecpSession::Refuse(ControlProgram& program, const UecpElement& element, UecpCode code,
                             const std::string& why) const {
    program.TellRefused(origin_, Describe(element), why);
    return code;
}

UecpCode UecpSession::Apply(ControlProgram& program, const UecpElement& element,
                            std::vector<std::uint8_t>& answers) {
    if (element.dataSet) {
        const int bank = program.Set().STB == 1 ? 1 : 2;
        const std::uint8_t set = *element.dataSet;
        if (set != 0 && set != kAllButCurrent && set != kAllDataSets && set != bank) {
            return Refuse(program, element, UecpCode::DataSetError,
                          "data set " + std::to_string(set) + " is not on air here (bank " +
                              std::to_string(bank) + " is)");
        }
    }
    if (!ServiceCarried(element)) {
        return Refuse(program, element, UecpCode::ProgrammeServiceError,
                      "programme service " + std::to_string(*element.programmeService) +
                          " is not carried here");
    }
    const std::vector<std::uint8_t>& data = element.data;
    switch (element.mec) {
        case kMecPi:
            return Change(program, "PI=" + Hex4(static_cast<unsigned>(data[0] << 8 | data[1])));
        case kMecPs: {
            const auto ps = RdsToWindows1250(std::string(data.begin(), data.end()));
            return ps ? Change(program, "PS=" + *ps)
                      : Refuse(program, element, UecpCode::ParameterOutOfRange,
                               "a character the station's code page lacks");
        }
        case kMecTaTp:
            return Change(program, "TA=" + Flag(data[0] & 1) + "\nTP=" + Flag(data[0] & 2));
        case kMecDi:
            return Change(program, "DI=" + Flag(data[0] & 8) + Flag(data[0] & 4) +
                                       Flag(data[0] & 2) + Flag(data[0] & 1));
        case kMecMs:
            return Change(program, "MS=" + Flag(data[0] & 1));
        case kMecPty:
            return Change(program, "PTY=" + std::to_string(data[0]));
        case kMecRt:
            return ApplyRadiotext(program, element);
        case kMecAf:
            return ApplyFrequencies(program, element);
        case kMecRequest:
            return Answer(program, element, answers);
        case kMecDataSetSelect:
            if (data[0] != 1 && data[0] != 2) {
                return Refuse(program, element, UecpCode::DataSetError,
                              "data set " + std::to_string(data[0]) +
                                  " is none of this encoder's two memory banks");
            }
            return Change(program, std::string(data[0] == 1 ? "STB=1" : "STB=0") + "\nSEND=1");
        case kMecCommunicationMode:
            if (data[0] > 2) {
                return Refuse(program, element, UecpCode::ParameterOutOfRange,
                              "mode " + std::to_string(data[0]) + " is none of 0, 1 and 2");
            }
            mode_ = data[0];
            expected_.reset();
            return UecpCode::Ok;
        case kMecAcknowledgement:
            return UecpCode::Ok;
        default:
            return UecpCode::NotInterpreted;
    }
}

// Flags: bits 6-5 the buffer (00 empty it and put this text, 10 add it to
// the cycle), bit 0 toggles the A/B flag. No text at all empties the buffer.
UecpCode UecpSession::ApplyRadiotext(ControlProgram& program, const UecpElement& element) {
    const std::vector<std::uint8_t>& data = element.data;
    if (data.empty()) {
        return Change(program, "RT=\nRT2=\nRT3=\nRT4=");
    }
    std::string bytes(data.begin() + 1, data.end());
    bytes = bytes.substr(0, bytes.find('\x0D'));  // the end of the text
    if (bytes.size() > kRadiotextLimit) {
        return Refuse(program, element, UecpCode::ElementLengthError,
                      "a radiotext holds at most 64 characters");
    }
    const auto text = RdsToWindows1250(bytes);
    if (!text) {
        return Refuse(program, element, UecpCode::ParameterOutOfRange,
                      "a character the station's code page lacks");
    }
    const int buffer = (data[0] >> 5) & 0x3;
    UecpCode code = UecpCode::Ok;
    if (buffer == 0) {
        code = Change(program, "RT=" + *text + "\nRT2=\nRT3=\nRT4=\nSELRT=1");
    } else if (buffer == 2) {
        const RdsParameterSet& set = program.Set();
        const char* key = set.RT2.empty()   ? "RT2"
                          : set.RT3.empty() ? "RT3"
                          : set.RT4.empty() ? "RT4"
                                            : nullptr;
        if (!key) {
            return Refuse(program, element, UecpCode::BufferOverflow,
                          "radiotexts 2 to 4 are all in use; flush first");
        }
        code = Change(program, std::string(key) + "=" + *text);
    } else {
        return Refuse(program, element, UecpCode::ParameterOutOfRange,
                      "buffer configuration 01 and 11 are reserved");
    }
    if (code == UecpCode::Ok && (data[0] & 1)) {
        program.ToggleTextAb();
    }
    return code;
}

// Start location (FFFF: after the frequencies already set), then method
// A: the count 224 + N, the codes 1..204 of 87.6 to 107.9 MHz, 205 as
// filler, 0 ending the list.
UecpCode UecpSession::ApplyFrequencies(ControlProgram& program, const UecpElement& element) {
    const std::vector<std::uint8_t>& data = element.data;
    if (data.size() < 2) {
        return Refuse(program, element, UecpCode::ElementLengthError,
                      "no start location before the list");
    }
    std::vector<std::string> frequencies;
    if (data[0] == 0xFF && data[1] == 0xFF) {
        for (const auto& af : program.Set().AF) {
            if (!af.empty()) {
                frequencies.push_back(af.str());
            }
        }
    }
    for (std::size_t at = 2; at < data.size() && data[at] != 0; ++at) {
        const int code = data[at];
        if ((code >= 224 && code <= 249) || code == 205) {
            continue;  // the count, the filler
        }
        if (code < 1 || code > 204) {
            return Refuse(program, element, UecpCode::ParameterOutOfRange,
                          "code " + std::to_string(code) + " is no FM frequency of method A");
        }
        frequencies.push_back(Frequency(code, program.DecimalSeparator()));
    }
    if (frequencies.size() > 7) {
        return Refuse(
            program, element, UecpCode::ParameterOutOfRange,
            std::to_string(frequencies.size()) + " frequencies; this encoder carries seven");
    }
    std::string lines;
    for (std::size_t i = 0; i < 7; ++i) {
        lines += "AF" + std::to_string(i + 1) + "=" +
                 (i < frequencies.size() ? frequencies[i] : "") + "\n";
    }
    return Change(program, lines);
}

// A request is answered with the element in its own form, for the data set
// and service asked (mode 1 and 2); for 0x18, with the first trouble since
// the last answer.
UecpCode UecpSession::Answer(const ControlProgram& program, const UecpElement& request,
                             std::vector<std::uint8_t>& answers) {
    if (request.data.empty()) {
        return UecpCode::ElementLengthError;
    }
    const RdsParameterSet& set = program.Set();
    const std::uint8_t mec = request.data[0];
    const std::uint8_t dataSet = request.data.size() > 1 ? request.data[1] : 0;
    const std::uint8_t service = request.data.size() > 2 ? request.data[2] : 0;
    auto element = [&](std::initializer_list<std::uint8_t> head, const std::string& tail) {
        answers.insert(answers.end(), head);
        answers.insert(answers.end(), tail.begin(), tail.end());
    };
    switch (mec) {
        case kMecPi: {
            const auto pi = static_cast<unsigned>(std::strtoul(set.PI.str().c_str(), nullptr, 16));
            element({kMecPi, dataSet, service, static_cast<std::uint8_t>(pi >> 8),
                     static_cast<std::uint8_t>(pi & 0xFF)},
                    "");
            return UecpCode::Ok;
        }
        case kMecPs: {
            std::string ps = Windows1250ToRds(set.PS.str());
            ps.resize(8, ' ');
            element({kMecPs, dataSet, service}, ps);
            return UecpCode::Ok;
        }
        case kMecTaTp:
            element({kMecTaTp, dataSet, service,
                     static_cast<std::uint8_t>((set.TA == 1 ? 1 : 0) | (set.TP == 1 ? 2 : 0))},
                    "");
            return UecpCode::Ok;
        case kMecDi: {
            std::uint8_t di = 0;
            for (std::size_t d = 0; d < 4; ++d) {
                di = static_cast<std::uint8_t>(di | (set.DI[d] ? 1u << d : 0u));
            }
            element({kMecDi, dataSet, service, di}, "");
            return UecpCode::Ok;
        }
        case kMecMs:
            element({kMecMs, dataSet, service, static_cast<std::uint8_t>(set.MS == 1 ? 1 : 0)}, "");
            return UecpCode::Ok;
        case kMecPty:
            element({kMecPty, dataSet, service, static_cast<std::uint8_t>(set.PTY)}, "");
            return UecpCode::Ok;
        case kMecRt: {
            const std::string text = Windows1250ToRds(set.ActualRT());
            element({kMecRt, dataSet, service, static_cast<std::uint8_t>(text.size() + 1), 0},
                    text);
            return UecpCode::Ok;
        }
        case kMecCommunicationMode:
            element({kMecCommunicationMode, static_cast<std::uint8_t>(mode_)}, "");
            return UecpCode::Ok;
        case kMecAcknowledgement: {
            const auto [code, sequence] =
                trouble_.value_or(std::pair{UecpCode::Ok, std::uint8_t{0}});
            const std::vector<std::uint8_t> ack = Acknowledgement(code, sequence);
            answers.insert(answers.end(), ack.begin(), ack.end());
            trouble_.reset();
            return UecpCode::Ok;
        }
        default:
            return UecpCode::NotInterpreted;
    }
}

}  // namespace vaxo
