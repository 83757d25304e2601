#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/control_program.h"
#include "netcontrol/uecp_addresses.h"
#include "netcontrol/uecp_elements.h"
#include "netcontrol/uecp_frame.h"

namespace vaxo {

// Who this encoder is to UECP: the site and encoder addresses it starts
// with, and the programme services it carries (none named: every service
// number is its one service).
struct UecpSettings {
    UecpAddressLists addresses;
    std::vector<int> services;
};

// One client's conversation, on the program's thread: frames addressed to
// this encoder (or to all) are applied element by element through the
// program's door for changes; the sequence counter, the communication mode
// and the acknowledgements are the client's own. Mode 0 answers nothing,
// mode 1 answers requests, mode 2 also acknowledges every frame.
class UecpSession {
  public:
    // `addresses` the lists every client of the program shares; without
    // them, this session's own, from the settings.
    // `mayProvision`: the client may change the site and encoder addresses.
    UecpSession(UecpSettings settings, std::string origin,
                std::shared_ptr<UecpAddressBook> addresses = {}, bool mayProvision = false);

    // The frames to send back, each whole; none when there is nothing to say.
    std::vector<std::vector<std::uint8_t>> Replies(ControlProgram& program,
                                                   const UecpReading& reading);
    // The same, one after another.
    std::vector<std::uint8_t> Take(ControlProgram& program, const UecpReading& reading);
    int Mode() const { return mode_; }

  private:
    using Answers = std::vector<std::vector<std::uint8_t>>;  // one element each
    static std::vector<std::vector<std::uint8_t>> Messages(const Answers& answers);
    UecpCode Apply(ControlProgram& program, const UecpElement& element, Answers& answers);
    UecpCode ApplyRadiotext(ControlProgram& program, const UecpElement& element);
    UecpCode ApplyFrequencies(ControlProgram& program, const UecpElement& element);
    UecpCode ApplyAddresses(ControlProgram& program, const UecpElement& element);
    UecpCode Answer(const ControlProgram& program, const UecpElement& request, Answers& answers);
    UecpCode Change(ControlProgram& program, std::vector<FieldAssignment> values,
                    std::map<FieldId, std::string> serverTexts = {});
    UecpCode Refuse(ControlProgram& program, const UecpElement& element, UecpCode code,
                    const std::string& why) const;
    bool ForThisEncoder(const UecpFrame& frame) const;
    bool ServiceCarried(const UecpElement& element) const;
    std::vector<std::uint8_t> Frame(std::vector<std::uint8_t> message) const;
    void Note(UecpCode code, std::uint8_t sequence);
    UecpCode RequestRadiotext(const ControlProgram& program, const UecpElement& request,
                              Answers& answers) const;
    std::vector<std::uint8_t> Acknowledgement(UecpCode code, std::uint8_t sequence) const;

    UecpSettings settings_;
    Origin origin_;
    std::shared_ptr<UecpAddressBook> addresses_;
    bool mayProvision_ = false;
    int mode_ = 0;
    std::optional<std::uint8_t> expected_;  // the next sequence number
    // The troubles not yet acknowledged, oldest first, for a request in
    // mode 1: mode 2 acknowledges each at once, and a change of mode starts
    // the record afresh.
    std::vector<std::pair<UecpCode, std::uint8_t>> troubles_;
    // While a frame that came after a sequence gap is applied: what the log
    // says of it beside each change ("after a sequence gap, 5 was next").
    std::string gap_;
};

}  // namespace vaxo
