#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace vaxo::ctl {

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Options of one subcommand: "--name VALUE" or "--name=VALUE" for valued
// options, "--name" for switches, "--name[=VALUE]" for optional values.
struct OptionRules {
    std::set<std::string> valued = {};
    std::set<std::string> switches = {};
    std::set<std::string> optionalValued = {};
};

class ParsedOptions {
  public:
    ParsedOptions(const std::vector<std::string>& args, const OptionRules& rules);

    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    // The last value given; Values gives each, in order (repeated options).
    std::optional<std::string> Value(const std::string& name) const;
    std::vector<std::string> Values(const std::string& name) const;
    const std::vector<std::string>& Positional() const { return positional_; }
    // Every option as given, name and value, for options whose meaning
    // depends on the one before.
    const std::vector<std::pair<std::string, std::string>>& InOrder() const { return inOrder_; }

  private:
    std::map<std::string, std::vector<std::string>> values_;
    std::vector<std::string> positional_;
    std::vector<std::pair<std::string, std::string>> inOrder_;
};

}  // namespace vaxo::ctl
