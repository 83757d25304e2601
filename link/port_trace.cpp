#include "link/port_trace.h"

#include <cstdio>

#include "link/encoder_lines.h"

namespace vaxo {
namespace {

std::string HexText(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}

constexpr char kClockId = 'c';
constexpr char kDataId = 'd';
constexpr char kStatusId = 's';

bool IsDataRegister(std::uint32_t port) {
    return port == kLpt1Base || port == kLpt2Base;
}

}  // namespace

PortTrace::PortTrace(PortIo& inner, std::ostream* text, std::ostream* vcd)
    : inner_(inner), text_(text), vcd_(vcd), start_(std::chrono::steady_clock::now()) {
    VcdHeader();
}

long long PortTrace::Nanoseconds() const {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                start_)
        .count();
}

void PortTrace::VcdHeader() {
    if (!vcd_) {
        return;
    }
    *vcd_ << "$timescale 1ns $end\n"
          << "$scope module encoder_link $end\n"
          << "$var wire 1 " << kClockId << " clock $end\n"
          << "$var wire 1 " << kDataId << " data $end\n"
          << "$var wire 1 " << kStatusId << " status $end\n"
          << "$upscope $end\n$enddefinitions $end\n";
}

void PortTrace::VcdChange(long long ns, char id, int level, int& last) {
    if (!vcd_ || level == last) {
        return;
    }
    if (ns != lastVcdTime_) {
        *vcd_ << '#' << ns << '\n';
        lastVcdTime_ = ns;
    }
    *vcd_ << level << id << '\n';
    last = level;
}

std::uint32_t PortTrace::PortRead(std::uint32_t port, PortWidth width) {
    const std::uint32_t value = inner_.PortRead(port, width);
    const long long ns = Nanoseconds();
    if (text_) {
        *text_ << "R " << ns << ' ' << HexText(port) << ' ' << HexText(value) << '\n';
    }
    if (IsDataRegister(port - 1)) {
        VcdChange(ns, kStatusId, (value & kStatusBit) ? 1 : 0, status_);
    }
    return value;
}

void PortTrace::PortWrite(std::uint32_t port, PortWidth width, std::uint32_t value) {
    inner_.PortWrite(port, width, value);
    const long long ns = Nanoseconds();
    if (text_) {
        *text_ << ns << ' ' << HexText(port) << ' ' << HexText(value) << '\n';
    }
    if (IsDataRegister(port)) {
        const LineState lines = LineState::Of(static_cast<std::uint8_t>(value));
        VcdChange(ns, kClockId, lines.clock, clock_);
        VcdChange(ns, kDataId, lines.data, data_);
    }
}

}  // namespace vaxo
