#pragma once

#include <string>

namespace vaxo {

// Why the encoder link could not do its work. A failed send shows "Error";
// this says why, for the operator and the log.
enum class LinkFault {
    None,
    NoParallelPort,         // the kernel lists no parallel port for the choice
    PpdevNotLoaded,         // the port exists, its /dev/parportN does not
    PortNotPermitted,       // /dev/parportN refused (the user is not in group lp)
    PortBusy,               // another program holds the port
    PortHeldByAnotherCopy,  // another copy of this program drives the port
    EncoderStuckHigh,       // the status line never went low
    EncoderStuckLow,        // the status line never went high
    WriteNotConfirmed,      // the status line did not confirm a write, retries included
    Abandoned,              // the program ended while the send ran
};

struct LinkProblem {
    LinkFault fault = LinkFault::None;
    // What the fault is about: the device or port name ("/dev/parport0", "LPT2").
    std::string subject = {};

    explicit operator bool() const { return fault != LinkFault::None; }
};

// The operator's words for a problem, for example
// "/dev/parport0 not permitted: add the user to group lp and log in again".
std::string DescribeLinkProblem(const LinkProblem& problem);

}  // namespace vaxo
