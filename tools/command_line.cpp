#include "tools/command_line.h"

namespace vaxo::ctl {

ParsedOptions::ParsedOptions(const std::vector<std::string>& args, const OptionRules& rules) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0 || arg == "--") {
            positional_.push_back(arg);
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
        const bool inlineValue = equals != std::string::npos;
        std::string value;
        if (rules.valued.count(name)) {
            if (inlineValue) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                throw UsageError("option --" + name + " needs a value");
            }
        } else if (rules.switches.count(name) && !inlineValue) {
        } else if (rules.optionalValued.count(name)) {
            value = inlineValue ? arg.substr(equals + 1) : "";
        } else {
            throw UsageError("unknown option " + arg);
        }
        values_[name].push_back(value);
        inOrder_.emplace_back(name, std::move(value));
    }
}

std::optional<std::string> ParsedOptions::Value(const std::string& name) const {
    const auto found = values_.find(name);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return found->second.back();
}

std::vector<std::string> ParsedOptions::Values(const std::string& name) const {
    const auto found = values_.find(name);
    return found == values_.end() ? std::vector<std::string>{} : found->second;
}

}  // namespace vaxo::ctl
