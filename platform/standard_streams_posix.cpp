#include "platform/standard_streams.h"

namespace vaxo {

void UseBinaryStandardStreams() {}  // streams carry bytes as they are

}  // namespace vaxo
