#include "platform/link_fault.h"

namespace vaxo {

std::string DescribeLinkProblem(const LinkProblem& problem) {
    const std::string& subject = problem.subject;
    switch (problem.fault) {
        case LinkFault::None:
            return "";
        case LinkFault::NoParallelPort:
            return "no parallel port found for " + subject;
        case LinkFault::PpdevNotLoaded:
            return subject + " missing: ppdev not loaded (sudo modprobe ppdev)";
        case LinkFault::PortNotPermitted:
            return subject + " not permitted: add the user to group lp and log in again";
        case LinkFault::PortBusy:
            return subject + " is held by another program";
        case LinkFault::PortHeldByAnotherCopy:
            return subject + " is driven by another copy of this program";
        case LinkFault::EncoderStuckHigh:
            return "the encoder did not answer: status line stuck high";
        case LinkFault::EncoderStuckLow:
            return "the encoder did not answer: status line stuck low";
        case LinkFault::WriteNotConfirmed:
            return "the encoder did not confirm the write, retries included";
        case LinkFault::Abandoned:
            return "the send was abandoned: the program is ending";
    }
    return "";
}

}  // namespace vaxo
