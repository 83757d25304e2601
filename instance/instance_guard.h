#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/tell_tail.h"

namespace vaxo {

inline constexpr const char* kSharedBlockName = "{FE452E05-1244-4C53-B83E-21C4CEA4CAF8}";
inline constexpr const char* kSharedLockName = "{33DB9083-0BB9-443D-9434-EB23DAFBF3F1}";

// The program's one instance per user: the first start becomes it, a later
// one hands its command line over (or, told to hand nothing over, only
// finds it) and ends.
class InstanceGuard {
  public:
    // Decides which this start is; `exit` is called when a later start or a
    // failure of the block asks the program to end. Arguments are handed
    // over as they are (names already absolute).
    bool Activate(const std::vector<std::string>& arguments, bool handOverAllowed,
                  const std::function<void()>& exit);
    // What the block's folders made this start pass over, in words.
    std::vector<std::string> Warnings() const;

    bool Activated() const { return tellTail_ != nullptr; }
    bool IsFirstInstance() const { return tellTail_ && tellTail_->IsFirstInstance(); }
    // A start told to hand nothing over found the running copy.
    bool FoundRunningCopy() const { return tellTail_ && tellTail_->FoundFirstInstance(); }
    // A later start whose command line reached the running copy.
    bool HandedOver() const { return tellTail_ && tellTail_->HandedOver(); }
    // What a later start handed over: its arguments, names made absolute.
    std::string HandedOverCommandLine() const;
    // Why this start neither became the running copy nor handed over.
    std::string Failure() const;
    // The file a later start writes into, where it is a file.
    std::string BlockPath() const;

    // What a later start handed over since the last look.
    struct HandOver {
        bool restore = false;             // a minimised window comes back
        std::optional<std::string> file;  // the station file it names
        bool implausible = false;         // a command line that names no station file
    };
    // The first instance, when idle.
    std::optional<HandOver> TakeHandOver();

  private:
    std::unique_ptr<TTellTail> tellTail_;
};

}  // namespace vaxo
