#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "netcontrol/uecp_frame.h"

namespace vaxo {

// Message element codes whose layout this encoder knows; of the others it
// cannot tell where the next element begins.
enum UecpMec : std::uint8_t {
    kMecPi = 0x01,
    kMecPs = 0x02,
    kMecTaTp = 0x03,
    kMecDi = 0x04,
    kMecMs = 0x05,
    kMecPin = 0x06,
    kMecPty = 0x07,
    kMecClockCorrection = 0x09,
    kMecRt = 0x0A,
    kMecClock = 0x0D,
    kMecRdsLevel = 0x0E,
    kMecAf = 0x13,
    kMecEonAf = 0x14,
    kMecRequest = 0x17,
    kMecAcknowledgement = 0x18,
    kMecClockEnable = 0x19,
    kMecDataSetSelect = 0x1C,
    kMecRdsEnable = 0x1E,
    kMecRdsPhase = 0x22,
    kMecSiteAddress = 0x23,
    kMecEncoderAddress = 0x27,
    kMecServiceList = 0x28,
    kMecCommunicationMode = 0x2C,
    kMecPrivate = 0x2D,
    kMecTmc = 0x30,
    kMecPtyn = 0x3E,
    kMecOdaConfiguration = 0x40,
    kMecOdaData = 0x46,
};

// One message element: MEC [DSN] [PSN] [MEL] data.
struct UecpElement {
    std::uint8_t mec = 0;
    std::optional<std::uint8_t> dataSet;
    std::optional<std::uint8_t> programmeService;
    std::vector<std::uint8_t> data;  // after DSN, PSN and MEL
};

struct UecpElements {
    std::vector<UecpElement> elements;
    // Why the message ended before its last byte: an element of unknown
    // layout (MessageUnknown) or one cut short (ElementLengthError).
    UecpCode stop = UecpCode::Ok;
};

// The elements of a message, in order. Whether an element has a data set,
// a programme service and a length byte is fixed per code; an element of a
// code whose layout is unknown ends the message.
UecpElements ParseUecpElements(const std::vector<std::uint8_t>& message);

// Whether the code's element is one this encoder carries.
bool UecpElementInterpreted(std::uint8_t mec);

}  // namespace vaxo
