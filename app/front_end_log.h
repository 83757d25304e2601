#pragma once

#include <string>

#include "app/commands.h"
#include "record/refusal.h"

namespace vaxo {

// Where a front end tells the log what it did without a command: a line,
// frame or call it refused before it could become one, or a setting of its
// own it changed (the UECP addresses). Told as the program tells the
// commands from outside: each change at once, refusals gathered.
class FrontEndLog {
  public:
    virtual ~FrontEndLog() = default;
    // `shown`: what was received, as the log shows it ("PS=NEWS FM", "frame 5").
    virtual void Refused(const Origin& origin, const std::string& shown,
                         const Refusal& refusal) = 0;
    // `now`: what the setting is now ("site addresses 100, 200").
    virtual void Changed(const Origin& origin, const std::string& shown,
                         const std::string& now) = 0;
};

}  // namespace vaxo
