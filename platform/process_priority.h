#pragma once

namespace vaxo {

// "High priority": the whole process runs at a raised scheduling priority,
// or back at the normal one. False when the system refuses.
[[nodiscard]] bool SetHighProcessPriority(bool high);

}  // namespace vaxo
