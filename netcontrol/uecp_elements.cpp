#include "netcontrol/uecp_elements.h"

#include <array>

namespace vaxo {
namespace {

struct Layout {
    std::uint8_t mec;
    bool dataSetAndService;  // DSN and PSN follow the code
    bool lengthByte;         // MEL gives the data's length
    int fixed;               // the data's length without MEL; -1: see below
};

// From the standard's table of elements. The acknowledgement carries its
// frame's sequence number only with an error (-1).
constexpr std::array<Layout, 28> kLayouts{{
    {kMecPi, true, false, 2},
    {kMecPs, true, false, 8},
    {kMecTaTp, true, false, 1},
    {kMecDi, true, false, 1},
    {kMecMs, true, false, 1},
    {kMecPin, true, false, 2},
    {kMecPty, true, false, 1},
    {kMecRt, true, true, 0},
    {kMecClockCorrection, false, false, 2},
    {kMecClock, false, false, 8},
    {kMecRdsLevel, false, false, 2},
    {kMecAf, true, true, 0},
    {kMecEonAf, true, true, 0},
    {kMecRequest, false, true, 0},
    {kMecAcknowledgement, false, false, -1},
    {kMecClockEnable, false, false, 1},
    {kMecDataSetSelect, false, false, 1},
    {kMecRdsEnable, false, false, 1},
    {kMecRdsPhase, false, false, 2},
    {kMecSiteAddress, false, false, 3},
    {kMecEncoderAddress, false, false, 2},
    {kMecServiceList, false, true, 0},
    {kMecPrivate, false, true, 0},
    {kMecCommunicationMode, false, false, 1},
    {kMecTmc, false, true, 0},
    {kMecOdaConfiguration, false, true, 0},
    {kMecPtyn, true, false, 8},
    {kMecOdaData, false, true, 0},
}};

const Layout* LayoutOf(std::uint8_t mec) {
    for (const Layout& layout : kLayouts) {
        if (layout.mec == mec) {
            return &layout;
        }
    }
    return nullptr;
}

}  // namespace

bool UecpElementInterpreted(std::uint8_t mec) {
    switch (mec) {
        case kMecPi:
        case kMecPs:
        case kMecTaTp:
        case kMecDi:
        case kMecMs:
        case kMecPty:
        case kMecRt:
        case kMecAf:
        case kMecRequest:
        case kMecDataSetSelect:
        case kMecCommunicationMode:
        case kMecSiteAddress:
        case kMecEncoderAddress:
            return true;
        default:
            return false;
    }
}

UecpElements ParseUecpElements(const std::vector<std::uint8_t>& message) {
    UecpElements parsed;
    std::size_t at = 0;
    const auto take = [&](std::size_t count) { return at + count <= message.size(); };
    while (at < message.size()) {
        UecpElement element;
        element.mec = message[at++];
        const Layout* layout = LayoutOf(element.mec);
        if (!layout) {
            parsed.stop = UecpCode::MessageUnknown;
            return parsed;
        }
        if (layout->dataSetAndService) {
            if (!take(2)) {
                parsed.stop = UecpCode::ElementLengthError;
                return parsed;
            }
            element.dataSet = message[at++];
            element.programmeService = message[at++];
        }
        std::size_t length = 0;
        if (layout->lengthByte) {
            if (!take(1)) {
                parsed.stop = UecpCode::ElementLengthError;
                return parsed;
            }
            length = message[at++];
        } else if (layout->fixed >= 0) {
            length = static_cast<std::size_t>(layout->fixed);
        } else {
            length = take(1) && message[at] != 0 ? 2 : 1;
        }
        if (!take(length)) {
            parsed.stop = UecpCode::ElementLengthError;
            return parsed;
        }
        element.data.assign(message.begin() + static_cast<std::ptrdiff_t>(at),
                            message.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
        parsed.elements.push_back(std::move(element));
    }
    return parsed;
}

}  // namespace vaxo
