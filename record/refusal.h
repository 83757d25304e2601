#pragma once

#include <string>

namespace vaxo {

// Why something asked for changed nothing, as a code each front end answers
// in its own terms (a UECP acknowledgement, an HTTP status, a text reply).
enum class RefusalCode {
    OutOfRange,   // a value beyond what the field takes
    TooLong,      // a text longer than its field
    Malformed,    // not of the form asked for
    Unknown,      // no such command, field or element
    NotCarried,   // what other encoders carry and this one does not
    NotAllowed,   // not from this client or front end
    Stale,        // another has changed it since the caller looked
    NotFound,     // no station file of that name
    Exists,       // a file of that name is there already
    FileTrouble,  // a file could not be read or written
};

struct Refusal {
    RefusalCode code = RefusalCode::Malformed;
    std::string why;  // in words, for the caller and the log
};

}  // namespace vaxo
