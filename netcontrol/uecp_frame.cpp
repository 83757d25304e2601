#include "netcontrol/uecp_frame.h"

namespace vaxo {
namespace {

void Stuff(std::vector<std::uint8_t>& out, std::uint8_t byte) {
    if (byte >= kUecpEscape) {
        out.push_back(kUecpEscape);
        out.push_back(static_cast<std::uint8_t>(byte - kUecpEscape));
    } else {
        out.push_back(byte);
    }
}

}  // namespace

std::uint16_t UecpCrc(const std::uint8_t* bytes, std::size_t count) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= static_cast<std::uint16_t>(bytes[i] << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
        }
    }
    return static_cast<std::uint16_t>(~crc);
}

std::vector<std::uint8_t> EncodeUecpFrame(const UecpFrame& frame) {
    std::vector<std::uint8_t> body{
        static_cast<std::uint8_t>((frame.site >> 2) & 0xFF),
        static_cast<std::uint8_t>(((frame.site & 0x3) << 6) | (frame.encoder & 0x3F)),
        frame.sequence, static_cast<std::uint8_t>(frame.message.size())};
    body.insert(body.end(), frame.message.begin(), frame.message.end());
    const std::uint16_t crc = UecpCrc(body.data(), body.size());
    body.push_back(static_cast<std::uint8_t>(crc >> 8));
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    std::vector<std::uint8_t> out{kUecpStart};
    for (std::uint8_t byte : body) {
        Stuff(out, byte);
    }
    out.push_back(kUecpStop);
    return out;
}

std::optional<UecpReading> UecpFrameReader::Byte(std::uint8_t byte) {
    if (byte == kUecpStart) {
        const bool cut = inFrame_;
        const std::uint8_t sequence = unstuffed_.size() > 2 ? unstuffed_[2] : 0;
        inFrame_ = true;
        escaped_ = false;
        badStuffing_ = false;
        unstuffed_.clear();
        if (cut) {
            return UecpReading{std::nullopt, UecpCode::EndByteMissing, sequence};
        }
        return std::nullopt;
    }
    if (!inFrame_) {
        return std::nullopt;  // stray bytes between frames
    }
    if (byte == kUecpStop) {
        inFrame_ = false;
        return Complete();
    }
    if (escaped_) {
        escaped_ = false;
        if (byte > 2) {
            badStuffing_ = true;
        }
        unstuffed_.push_back(static_cast<std::uint8_t>(kUecpEscape + (byte <= 2 ? byte : 0)));
    } else if (byte == kUecpEscape) {
        escaped_ = true;
        return std::nullopt;
    } else {
        unstuffed_.push_back(byte);
    }
    if (unstuffed_.size() > kUecpFrameLimit - 2) {
        const std::uint8_t sequence = unstuffed_[2];
        inFrame_ = false;
        unstuffed_.clear();
        return UecpReading{std::nullopt, UecpCode::EndByteMissing, sequence};
    }
    return std::nullopt;
}

std::optional<UecpReading> UecpFrameReader::Finish() {
    if (!inFrame_) {
        return std::nullopt;
    }
    const std::uint8_t sequence = unstuffed_.size() > 2 ? unstuffed_[2] : 0;
    inFrame_ = false;
    unstuffed_.clear();
    return UecpReading{std::nullopt, UecpCode::EndByteMissing, sequence};
}

// Between FE and FF: ADD(2) SQC MFL MSG CRC(2).
UecpReading UecpFrameReader::Complete() {
    const std::vector<std::uint8_t> bytes = std::move(unstuffed_);
    unstuffed_.clear();
    const std::uint8_t sequence = bytes.size() > 2 ? bytes[2] : 0;
    if (badStuffing_ || escaped_) {
        return {std::nullopt, UecpCode::BadStuffing, sequence};
    }
    if (bytes.size() < 6) {
        return {std::nullopt, UecpCode::FieldLengthError, sequence};
    }
    const std::size_t length = bytes.size() - 6;
    const std::uint16_t crc =
        static_cast<std::uint16_t>(bytes[bytes.size() - 2] << 8 | bytes[bytes.size() - 1]);
    if (UecpCrc(bytes.data(), bytes.size() - 2) != crc) {
        return {std::nullopt, UecpCode::CrcError, sequence};
    }
    if (bytes[3] != length) {
        return {std::nullopt, UecpCode::FieldLengthError, sequence};
    }
    UecpFrame frame;
    frame.site = bytes[0] << 2 | bytes[1] >> 6;
    frame.encoder = bytes[1] & 0x3F;
    frame.sequence = sequence;
    frame.message.assign(bytes.begin() + 4, bytes.end() - 2);
    return {std::move(frame), UecpCode::Ok, sequence};
}

}  // namespace vaxo
