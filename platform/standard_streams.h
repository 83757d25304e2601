#pragma once

namespace vaxo {

// Standard output and error carry exactly the bytes written: on Windows they
// would otherwise turn every line feed into CR LF, so that station files and
// images printed there differ from the ones Linux prints.
void UseBinaryStandardStreams();

}  // namespace vaxo
