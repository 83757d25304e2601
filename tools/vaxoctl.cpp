#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "base/product.h"
#include "platform/standard_streams.h"
#include "tools/command_line.h"
#include "tools/commands.h"

namespace {

using Command = std::function<int(const std::vector<std::string>&, std::ostream&, std::ostream&)>;

struct CommandEntry {
    Command run;
    const char* usage;
};

const std::map<std::string, CommandEntry>& Commands() {
    static const std::map<std::string, CommandEntry> commands{
        {"show",
         {vaxo::ctl::ShowCommand,
          "vaxoctl show STATION\n"
          "  print the station file a save of STATION would write\n"}},
        {"image",
         {vaxo::ctl::ImageCommand,
          "vaxoctl image [--at \"YYYY-MM-DD HH:MM:SS\"] [--ab 0|1] [--decimal-separator C]\n"
          "              [--groups] STATION\n"
          "  print the encoder memory image a send of STATION would write\n"}},
        {"preview",
         {vaxo::ctl::PreviewCommand,
          "vaxoctl preview [--at \"YYYY-MM-DD HH:MM:SS\"] [--ab 0|1] [--decimal-separator C]\n"
          "                [--json] STATION\n"
          "vaxoctl preview --image FILE|- [--bank 1|2] [--json]\n"
          "  what a receiver gets from STATION, or from a memory dump, and the checks\n"}},
        {"send",
         {[](const auto& a, auto& o, auto& e) { return vaxo::ctl::SendCommand(a, o, e); },
          "vaxoctl send [--bank 1|2] [--port lpt1|lpt2] [--simulate[=SCENARIO]] [--trace FILE]\n"
          "             [--vcd FILE] [--full] STATION\n"
          "  send STATION to the encoder once, as the Send button does; it writes every\n"
          "  page (--full says so), counted in the wear ledger unless simulated\n"}},
        {"run",
         {[](const auto& a, auto& o, auto& e) { return vaxo::ctl::RunCommand(a, o, e); },
          "vaxoctl run [--simulate[=SCENARIO] [--memory-dump FILE]] [--trace FILE]\n"
          "            [--text-tcp|--text-udp|--uecp-tcp|--uecp-udp HOST:PORT]...\n"
          "            [--allow CIDR]... [--uecp-site N] [--uecp-encoder N] [--uecp-psn N]...\n"
          "            [--web HOST:PORT]... [--web-cert FILE --web-key FILE] [--web-insecure]\n"
          "            [--web-password-file FILE] [--min-send-interval S]\n"
          "            [--wear-target-years Y] [--endurance N] [STATION]\n"
          "  the program without its window: live text, switching and sends until a signal;\n"
          "  text commands and UECP from the network on the listeners named; the web page\n"}},
        {"wear",
         {vaxo::ctl::WearCommand,
          "vaxoctl wear [--json] [--endurance N]\n"
          "  the page writes the encoder's memory took (the ledger beside the settings)\n"
          "  and the years it lasts at the rate of the last week\n"}},
        {"passwd",
         {[](const auto& a, auto& o, auto& e) {
              return vaxo::ctl::PasswdCommand(a, o, e, std::cin);
          },
          "vaxoctl passwd [--file FILE] [--read-only]\n"
          "  set the web page's password (typed twice without echo, or the first line of\n"
          "  standard input); --read-only sets a second one that may only look\n"}},
    };
    return commands;
}

void PrintUsage(std::ostream& out) {
    out << "usage:\n";
    for (const auto& [name, command] : Commands()) {
        out << "  " << command.usage;
    }
    out << "  vaxoctl --help | --version\n";
}

bool AsksForHelp(const std::vector<std::string>& args) {
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    vaxo::UseBinaryStandardStreams();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args.front() == "--help" || args.front() == "-h")) {
        PrintUsage(std::cout);
        return 0;
    }
    if (!args.empty() && args.front() == "--version") {
        std::cout << "vaxoctl " << vaxo::kProductVersion << '\n';
        return 0;
    }
    const auto found = args.empty() ? Commands().end() : Commands().find(args.front());
    if (found == Commands().end()) {
        PrintUsage(std::cerr);
        return 2;
    }
    args.erase(args.begin());
    const CommandEntry& command = found->second;
    if (AsksForHelp(args)) {
        std::cout << "usage: " << command.usage;
        return 0;
    }
    try {
        return command.run(args, std::cout, std::cerr);
    } catch (const vaxo::ctl::UsageError& error) {
        std::cerr << "vaxoctl: " << error.what() << "\nusage: " << command.usage;
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "vaxoctl: " << error.what() << '\n';
        return 1;
    }
}
