#include "netcontrol/uecp_session.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include "encoding/encoder_image.h"
#include "encoding/rds_characters.h"
#include "net/logged_command.h"
#include "record/field_schema.h"

namespace vaxo {
namespace {

constexpr std::uint8_t kAllButCurrent = 254;
constexpr std::uint8_t kAllDataSets = 255;

std::uint8_t Next(std::uint8_t sequence) {
    return sequence == 255 ? 1 : static_cast<std::uint8_t>(sequence + 1);
}

// The values as the log shows them: "PS= PS RDS ; TA=0".
std::string Shown(const std::vector<FieldAssignment>& values) {
    std::string shown;
    for (const FieldAssignment& value : values) {
        const StationField& field = Field(value.field);
        if (!shown.empty()) {
            shown += ';';
        }
        shown += field.key;
        shown += '=';
        shown += FormatFieldValue(field.type, value.value);
    }
    return LoggedCommand(shown);
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
        case kMecClockCorrection:
            return "clock correction";
        case kMecRdsPhase:
            return "RDS phase";
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
        case kMecSiteAddress:
            return "site address";
        case kMecEncoderAddress:
            return "encoder address";
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

// What the log is told of a refusal the session answers with `code`.
RefusalCode RefusalOf(UecpCode code) {
    switch (code) {
        case UecpCode::DataSetError:
        case UecpCode::ProgrammeServiceError:
            return RefusalCode::NotCarried;
        case UecpCode::ElementLengthError:
            return RefusalCode::TooLong;
        case UecpCode::ParameterOutOfRange:
        case UecpCode::BufferOverflow:
            return RefusalCode::OutOfRange;
        case UecpCode::MessageNotAcceptable:
            return RefusalCode::NotAllowed;
        default:
            return RefusalCode::Malformed;
    }
}

// The acknowledgement of a change the program refused.
UecpCode AcknowledgementOf(RefusalCode code) {
    switch (code) {
        case RefusalCode::OutOfRange:
        case RefusalCode::Malformed:
            return UecpCode::ParameterOutOfRange;
        case RefusalCode::TooLong:
            return UecpCode::ElementLengthError;
        case RefusalCode::NotCarried:
        case RefusalCode::Unknown:
            return UecpCode::NotInterpreted;
        default:
            return UecpCode::MessageNotAcceptable;
    }
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

UecpSession::UecpSession(UecpSettings settings, std::string origin,
                         std::shared_ptr<UecpAddressBook> addresses, bool mayProvision)
    : settings_(std::move(settings)),
      origin_{Origin::Kind::UecpClient, std::move(origin)},
      addresses_(addresses ? std::move(addresses)
                           : std::make_shared<UecpAddressBook>(settings_.addresses, "")),
      mayProvision_(mayProvision) {}

bool UecpSession::ForThisEncoder(const UecpFrame& frame) const {
    return addresses_->Lists().Accepts(frame.site, frame.encoder);
}

bool UecpSession::ServiceCarried(const UecpElement& element) const {
    if (!element.programmeService || settings_.services.empty() || *element.programmeService == 0) {
        return true;
    }
    return std::find(settings_.services.begin(), settings_.services.end(),
                     *element.programmeService) != settings_.services.end();
}

void UecpSession::Note(UecpCode code, std::uint8_t sequence) {
    constexpr std::size_t kKept = 16;
    if (code != UecpCode::Ok && mode_ != 2 && troubles_.size() < kKept) {
        troubles_.emplace_back(code, sequence);
    }
}

// A message holds at most 255 bytes (its length is one byte): answers that
// do not fit in one go into the next, whole.
std::vector<std::vector<std::uint8_t>> UecpSession::Messages(const Answers& answers) {
    std::vector<std::vector<std::uint8_t>> messages;
    for (const auto& answer : answers) {
        if (messages.empty() || messages.back().size() + answer.size() > kUecpMessageLimit) {
            messages.emplace_back();
        }
        messages.back().insert(messages.back().end(), answer.begin(), answer.end());
    }
    return messages;
}

std::vector<std::uint8_t> UecpSession::Frame(std::vector<std::uint8_t> message) const {
    const UecpAddressLists& lists = addresses_->Lists();
    return EncodeUecpFrame({lists.FirstSite(), lists.FirstEncoder(), 0, std::move(message)});
}

// Code 0 alone; an error with the frame's sequence number.
std::vector<std::uint8_t> UecpSession::Acknowledgement(UecpCode code, std::uint8_t sequence) const {
    std::vector<std::uint8_t> element{kMecAcknowledgement, static_cast<std::uint8_t>(code)};
    if (code != UecpCode::Ok) {
        element.push_back(sequence);
    }
    return element;
}

std::vector<std::vector<std::uint8_t>> UecpSession::Replies(ControlProgram& program,
                                                            const UecpReading& reading) {
    if (!reading.frame) {
        program.Log().Refused(origin_, "frame",
                              {RefusalCode::Malformed, FrameTrouble(reading.code)});
        Note(reading.code, reading.sequence);
        if (mode_ != 2) {
            return {};
        }
        return {Frame(Acknowledgement(reading.code, reading.sequence))};
    }
    const UecpFrame& frame = *reading.frame;
    if (!ForThisEncoder(frame)) {
        return {};
    }
    // A gap is told beside the frame's own first error, never instead of it.
    bool gap = false;
    gap_.clear();
    if (frame.sequence != 0) {
        if (expected_ && *expected_ != frame.sequence) {
            gap = true;
            gap_ = " (after a sequence gap: " + std::to_string(*expected_) + " was next)";
        }
        expected_ = Next(frame.sequence);
    }
    const UecpElements parsed = ParseUecpElements(frame.message);
    if (gap && parsed.elements.empty()) {
        program.Log().Refused(origin_, "frame " + std::to_string(frame.sequence),
                              {RefusalCode::Malformed, "nothing applied" + gap_});
    }
    Answers answers;
    UecpCode code = UecpCode::Ok;
    for (const UecpElement& element : parsed.elements) {
        const UecpCode applied = Apply(program, element, answers);
        if (code == UecpCode::Ok) {
            code = applied;
        }
    }
    gap_.clear();
    if (parsed.stop != UecpCode::Ok) {
        program.Log().Refused(
            origin_, "frame " + std::to_string(frame.sequence),
            {RefusalCode::Malformed, parsed.stop == UecpCode::MessageUnknown
                                         ? "an element of unknown layout ended the message"
                                         : "an element runs past the end of the message"});
        if (code == UecpCode::Ok) {
            code = parsed.stop;
        }
    }
    if (gap) {
        Note(UecpCode::MessageNotReceived, frame.sequence);
    }
    Note(code, frame.sequence);
    std::vector<std::vector<std::uint8_t>> replies;
    if (mode_ == 2) {
        std::vector<std::uint8_t> acknowledgement;
        if (gap) {
            acknowledgement = Acknowledgement(UecpCode::MessageNotReceived, frame.sequence);
        }
        if (!gap || code != UecpCode::Ok) {
            const auto own = Acknowledgement(code, frame.sequence);
            acknowledgement.insert(acknowledgement.end(), own.begin(), own.end());
        }
        replies.push_back(Frame(std::move(acknowledgement)));
    }
    if (mode_ != 0) {
        for (auto& message : Messages(answers)) {
            replies.push_back(Frame(std::move(message)));
        }
    }
    return replies;
}

std::vector<std::uint8_t> UecpSession::Take(ControlProgram& program, const UecpReading& reading) {
    std::vector<std::uint8_t> bytes;
    for (const auto& frame : Replies(program, reading)) {
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

// A server's texts are in the RDS table: the station keeps them in
// Windows-1250 and the memory gets the server's bytes.
UecpCode UecpSession::Change(ControlProgram& program, std::vector<FieldAssignment> values,
                             std::map<FieldId, std::string> serverTexts) {
    std::string shown = Shown(values) + gap_;
    const CommandOutcome outcome = program.Execute(
        {origin_, SetFields{std::move(values), std::move(serverTexts)}, std::move(shown)});
    return outcome.Accepted() ? UecpCode::Ok : AcknowledgementOf(outcome.refusal->code);
}

UecpCode UecpSession::Refuse(ControlProgram& program, const UecpElement& element, UecpCode code,
                             const std::string& why) const {
    program.Log().Refused(origin_, Describe(element) + gap_, {RefusalOf(code), why});
    return code;
}

UecpCode UecpSession::Apply(ControlProgram& program, const UecpElement& element, Answers& answers) {
    if (element.dataSet) {
        const int bank = program.View().Station().STB == 1 ? 1 : 2;
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
            return Change(program, {{FieldId::PI, data[0] << 8 | data[1]}});
        case kMecPs: {
            const std::string sent(data.begin(), data.end());
            return Change(program, {{FieldId::PS, RdsToStationText(sent)}}, {{FieldId::PS, sent}});
        }
        case kMecTaTp:
            return Change(program,
                          {{FieldId::TA, (data[0] & 1) != 0}, {FieldId::TP, (data[0] & 2) != 0}});
        case kMecDi:
            return Change(program,
                          {{FieldId::DI, DecoderId{(data[0] & 1) != 0, (data[0] & 2) != 0,
                                                   (data[0] & 4) != 0, (data[0] & 8) != 0}}});
        case kMecMs:
            return Change(program, {{FieldId::MS, (data[0] & 1) != 0}});
        case kMecPty:
            return Change(program, {{FieldId::PTY, static_cast<int>(data[0])}});
        case kMecRt:
            return ApplyRadiotext(program, element);
        case kMecAf:
            return ApplyFrequencies(program, element);
        case kMecSiteAddress:
        case kMecEncoderAddress:
            return ApplyAddresses(program, element);
        case kMecRequest:
            return Answer(program, element, answers);
        case kMecDataSetSelect:
            if (data[0] != 1 && data[0] != 2) {
                return Refuse(program, element, UecpCode::DataSetError,
                              "data set " + std::to_string(data[0]) +
                                  " is none of this encoder's two memory banks");
            }
            return program.Execute(
                              {origin_,
                               SendStation{SendWhen::Soon, data[0] == 1 ? Bank::One : Bank::Two},
                               "data set select " + std::to_string(data[0])})
                           .Accepted()
                       ? UecpCode::Ok
                       : UecpCode::DataSetError;
        case kMecCommunicationMode:
            if (data[0] > 2) {
                return Refuse(program, element, UecpCode::ParameterOutOfRange,
                              "mode " + std::to_string(data[0]) + " is none of 0, 1 and 2");
            }
            mode_ = data[0];
            expected_.reset();
            troubles_.clear();
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
        return Change(program, {{FieldId::RT, std::string()},
                                {FieldId::RT2, std::string()},
                                {FieldId::RT3, std::string()},
                                {FieldId::RT4, std::string()}});
    }
    // 0D ends the text.
    const std::string sent(data.begin() + 1, std::find(data.begin() + 1, data.end(), 0x0D));
    const std::string text = RdsToStationText(sent);
    const int buffer = (data[0] >> 5) & 0x3;
    UecpCode code = UecpCode::Ok;
    if (buffer == 0) {
        code = Change(program,
                      {{FieldId::RT, text},
                       {FieldId::RT2, std::string()},
                       {FieldId::RT3, std::string()},
                       {FieldId::RT4, std::string()},
                       {FieldId::SELRT, 1}},
                      {{FieldId::RT, sent}});
    } else if (buffer == 2) {
        const RdsParameterSet& set = program.View().Station();
        const std::optional<FieldId> free = set.RT2.empty()   ? std::optional(FieldId::RT2)
                                            : set.RT3.empty() ? std::optional(FieldId::RT3)
                                            : set.RT4.empty() ? std::optional(FieldId::RT4)
                                                              : std::nullopt;
        if (!free) {
            return Refuse(program, element, UecpCode::BufferOverflow,
                          "radiotexts 2 to 4 are all in use; flush first");
        }
        code = Change(program, {{*free, text}}, {{*free, sent}});
    } else {
        return Refuse(program, element, UecpCode::ParameterOutOfRange,
                      "buffer configuration 01 and 11 are reserved");
    }
    if (code == UecpCode::Ok && (data[0] & 1)) {
        const CommandOutcome toggled = program.Execute({origin_, ToggleTextAb{}, "RT A/B toggle"});
        static_cast<void>(toggled);  // a toggle is never refused
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
    std::vector<FieldValue> frequencies;
    if (data[0] == 0xFF && data[1] == 0xFF) {
        for (const auto& af : program.View().Station().AF) {
            if (!af.empty()) {
                frequencies.emplace_back(af.str());
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
        frequencies.emplace_back(kFirstAfTenths - 1 + code);  // tenths of MHz
    }
    if (frequencies.size() > kAfCount) {
        return Refuse(
            program, element, UecpCode::ParameterOutOfRange,
            std::to_string(frequencies.size()) + " frequencies; this encoder carries seven");
    }
    std::vector<FieldAssignment> values;
    for (std::size_t i = 0; i < kAfCount; ++i) {
        values.push_back({AfField(i), i < frequencies.size() ? frequencies[i] : FieldValue(0)});
    }
    return Change(program, std::move(values));
}

UecpCode UecpSession::ApplyAddresses(ControlProgram& program, const UecpElement& element) {
    if (!mayProvision_) {
        return Refuse(program, element, UecpCode::MessageNotAcceptable,
                      "addresses are taken only from the servers named by --uecp-provision");
    }
    const AddressChangeReading reading = ReadAddressChange(element.mec, element.data);
    if (!reading.change) {
        return Refuse(program, element, reading.code, reading.why);
    }
    const AddressBookChange outcome = addresses_->Change(*reading.change);
    if (outcome.refusal) {
        return Refuse(program, element, UecpCode::MessageNotAcceptable, *outcome.refusal);
    }
    if (outcome.changed) {  // like a field, told only when it changed
        const std::string now = DescribeAddressList(reading.change->sites, addresses_->Lists());
        program.Log().Changed(origin_, Describe(element) + gap_, now);
    }
    return UecpCode::Ok;
}

// A request is answered with the element in its own form, for the data set
// and service asked (mode 1 and 2); for 0x18, with the first trouble since
// the last answer.
UecpCode UecpSession::Answer(const ControlProgram& program, const UecpElement& request,
                             Answers& answers) {
    if (request.data.empty()) {
        return UecpCode::ElementLengthError;
    }
    const RdsParameterSet& set = program.View().Station();
    const std::uint8_t mec = request.data[0];
    const std::uint8_t dataSet = request.data.size() > 1 ? request.data[1] : 0;
    const std::uint8_t service = request.data.size() > 2 ? request.data[2] : 0;
    auto element = [&](std::initializer_list<std::uint8_t> head, const std::string& tail) {
        std::vector<std::uint8_t> answer(head);
        answer.insert(answer.end(), tail.begin(), tail.end());
        answers.push_back(std::move(answer));
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
            std::string ps = set.PS.str();
            ps.resize(8, ' ');
            element({kMecPs, dataSet, service}, OnAirText(set, FieldId::PS, ps));
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
        case kMecRt:
            return RequestRadiotext(program, request, answers);
        case kMecCommunicationMode:
            element({kMecCommunicationMode, static_cast<std::uint8_t>(mode_)}, "");
            return UecpCode::Ok;
        case kMecSiteAddress:
        case kMecEncoderAddress:
            for (auto& answer : AddressListElements(mec, addresses_->Lists())) {
                answers.push_back(std::move(answer));
            }
            return UecpCode::Ok;
        case kMecAcknowledgement:
            if (troubles_.empty()) {
                answers.push_back(Acknowledgement(UecpCode::Ok, 0));
            }
            for (const auto& [code, sequence] : std::exchange(troubles_, {})) {
                answers.push_back(Acknowledgement(code, sequence));
            }
            return UecpCode::Ok;
        default:
            return UecpCode::NotInterpreted;
    }
}

// The radiotext of the buffer index asked for (0 the first of the cycle),
// or without one the radiotext on air; an empty buffer is MEL 0.
UecpCode UecpSession::RequestRadiotext(const ControlProgram& program, const UecpElement& request,
                                       Answers& answers) const {
    const std::vector<std::uint8_t>& asked = request.data;
    const std::uint8_t dataSet = asked.size() > 1 ? asked[1] : 0;
    const std::uint8_t service = asked.size() > 2 ? asked[2] : 0;
    const RdsParameterSet& set = program.View().Station();
    std::string text = set.ActualRT();
    FieldId field = set.SELRT >= 1 && set.SELRT <= 4 ? RadiotextField(set.SELRT) : FieldId::RT;
    if (asked.size() > 3) {
        const int index = asked[3];
        const std::array<const BoundedText<kRadiotextLength>*, 4> cycle{&set.RT, &set.RT2, &set.RT3,
                                                                        &set.RT4};
        text = index < 4 ? cycle[static_cast<std::size_t>(index)]->str() : std::string();
        field = index < 4 ? RadiotextField(index + 1) : FieldId::RT;
    }
    std::string element{static_cast<char>(kMecRt), static_cast<char>(dataSet),
                        static_cast<char>(service)};
    if (text.empty()) {
        element += '\0';
    } else {
        element += static_cast<char>(text.size() + 1);
        element += '\0';  // the flags
        element += OnAirText(set, field, text);
    }
    answers.emplace_back(element.begin(), element.end());
    return UecpCode::Ok;
}

}  // namespace vaxo
