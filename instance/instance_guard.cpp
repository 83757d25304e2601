#include "instance/instance_guard.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "base/code_page.h"

namespace vaxo {
namespace {

// Later starts hand over absolute names (quoted when they hold a space);
// what is no such text, a block another program garbled say, loads nothing.
bool PlausibleHandOver(const std::string& line) {
    if (line.empty() || std::any_of(line.begin(), line.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        })) {
        return false;
    }
    const std::string_view name = std::string_view(line).substr(line.front() == '"' ? 1 : 0);
#ifdef _WIN32
    return name.size() > 2 && ((std::isalpha(static_cast<unsigned char>(name[0])) &&
                                name[1] == ':' && (name[2] == '\\' || name[2] == '/')) ||
                               name.substr(0, 2) == "\\\\");
#else
    return !name.empty() && name.front() == '/' && Utf8ToWindows1250(line).has_value();
#endif
}

std::string Unquoted(const std::string& line) {
    if (!line.empty() && line.front() == '"' && line.back() == '"') {
        return line.size() >= 2 ? line.substr(1, line.size() - 2) : "";
    }
    return line;
}

}  // namespace

bool InstanceGuard::Activate(const std::vector<std::string>& arguments, bool handOverAllowed,
                             const std::function<void()>& exit) {
    tellTail_ = std::make_unique<TTellTail>();
    tellTail_->MapFileName = kSharedBlockName;
    tellTail_->MutexName = kSharedLockName;
    tellTail_->Arguments = arguments;
    tellTail_->HandOverAllowed = handOverAllowed;
    tellTail_->OnMapFileFailure = [exit](TTellTail&) { exit(); };
    tellTail_->OnMutexFailure = [exit](TTellTail&) { exit(); };
    tellTail_->OnTerminate = exit;
    const bool first = tellTail_->Activate();
    tellTail_->MutexTimeOut = 250;
    return first;
}

std::vector<std::string> InstanceGuard::Warnings() const {
    return tellTail_ ? tellTail_->Warnings() : std::vector<std::string>{};
}

std::string InstanceGuard::HandedOverCommandLine() const {
    return tellTail_ ? TTellTail::BuildCommandLine(tellTail_->Arguments) : "";
}

std::string InstanceGuard::Failure() const {
    if (!tellTail_ || IsFirstInstance() || HandedOver() || FoundRunningCopy()) {
        return "";
    }
    return tellTail_->FailureText();
}

std::string InstanceGuard::BlockPath() const {
    return IsFirstInstance() ? tellTail_->BlockPath() : "";
}

std::optional<InstanceGuard::HandOver> InstanceGuard::TakeHandOver() {
    if (!tellTail_ || !tellTail_->Enabled || !tellTail_->CheckForData()) {
        return std::nullopt;
    }
    HandOver handOver;
    handOver.restore = tellTail_->RestoreMainInstance;
    const std::string& handed = tellTail_->ReceivedCommandLine();
    if (handed == "(empty)") {
        return handOver;
    }
    if (!PlausibleHandOver(handed)) {
        handOver.implausible = true;
        return handOver;
    }
    handOver.file = Unquoted(handed);
    return handOver;
}

}  // namespace vaxo
