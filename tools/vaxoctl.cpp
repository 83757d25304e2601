#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "tools/command_line.h"
#include "tools/commands.h"

namespace {

constexpr const char* kUsage = "usage: vaxoctl show [--decimal-separator C] STATION\n";

}  // namespace

int main(int argc, char** argv) {
    using Command =
        std::function<int(const std::vector<std::string>&, std::ostream&, std::ostream&)>;
    const std::map<std::string, Command> commands{
        {"show", vaxo::ctl::ShowCommand},
        {"image", vaxo::ctl::ImageCommand},
        {"send", [](const auto& a, auto& o, auto& e) { return vaxo::ctl::SendCommand(a, o, e); }},
        {"run", [](const auto& a, auto& o, auto& e) { return vaxo::ctl::RunCommand(a, o, e); }},
    };
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || !commands.count(args.front())) {
        std::cerr << kUsage;
        return 2;
    }
    const Command& command = commands.at(args.front());
    args.erase(args.begin());
    try {
        return command(args, std::cout, std::cerr);
    } catch (const vaxo::ctl::UsageError& error) {
        std::cerr << "vaxoctl: " << error.what() << '\n' << kUsage;
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "vaxoctl: " << error.what() << '\n';
        return 1;
    }
}
