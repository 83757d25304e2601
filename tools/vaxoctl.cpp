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
    const char* options = "";  // each option explained, for COMMAND --help
};

constexpr const char* kRunOptions =
    "\noptions:\n"
    "  --simulate[=SCENARIO]   a simulated encoder instead of the port; SCENARIO healthy\n"
    "                          (default), absent, stuck-high, stuck-low, no-confirm,\n"
    "                          confirm-second or corrupt, or a timeline of them, each\n"
    "                          from its second of the run: healthy,absent@20,healthy@60\n"
    "  --memory-dump FILE      at the end, the simulated encoder's memory into FILE\n"
    "  --trace FILE            every port access into FILE\n"
    "  --text-tcp HOST:PORT    line commands (PS=..., TEXT=..., STATUS?) over TCP\n"
    "  --text-udp HOST:PORT    line commands, one datagram each\n"
    "  --text-replies WORDS    the last text listener's replies: signs (+ - ! /),\n"
    "                          ok-no (OK NO) or brackets ([OK] [ERR])\n"
    "  --uecp-tcp HOST:PORT    UECP frames (IEC 62106-10) over TCP\n"
    "  --uecp-udp HOST:PORT    UECP frames over UDP; HOST may be a multicast group\n"
    "  --allow CIDR            clients beyond this machine that may connect (repeatable);\n"
    "                          needed for any listener beyond loopback\n"
    "  --uecp-site N           a site address this encoder answers to (repeatable)\n"
    "  --uecp-encoder N        an encoder address this encoder answers to (repeatable)\n"
    "  --uecp-provision CIDR   an RDS server that may change the site and encoder\n"
    "                          addresses (repeatable); without one, nobody may\n"
    "  --uecp-psn N            a UECP programme service number taken as this station\n"
    "  --web HOST:PORT         the web page (repeatable); set its password first with\n"
    "                          vaxoctl passwd\n"
    "  --web-cert FILE, --web-key FILE\n"
    "                          HTTPS with this certificate and key\n"
    "  --web-insecure          plain HTTP beyond this machine (its password readable)\n"
    "  --web-password-file FILE  the passwords (default: vaxow.passwd beside the settings)\n"
    "  --metrics HOST:PORT     the state in the Prometheus text format at /metrics\n"
    "  --snmp-agentx SOCKET    serve VAXO-MIB through snmpd's AgentX socket and send\n"
    "                          its notifications (\"/var/agentx/master\")\n"
    "  --min-send-interval S   sends not the operator's wait S s after the last (default 3)\n"
    "  --wear-target-years Y   spread the memory's writes to last Y years (default 5;\n"
    "                          0: no budget)\n"
    "  --endurance N           the memory's writes per page (default 1,000,000)\n"
    "  --ta-limit MINUTES      TA on longer than this is turned off (default 5; 0: never)\n"
    "  --alert-webhook URL     POST each alarm's raise and clear as JSON to URL\n"
    "  --alert-smtp URL        mail them through smtps://HOST or smtp://HOST (STARTTLS)\n"
    "  --alert-mail-from A, --alert-mail-to A\n"
    "                          the mail's sender and recipients\n"
    "  --alert-smtp-user NAME, --alert-smtp-password-file FILE\n"
    "                          the mail server's login (the file only its owner reads)\n"
    "  STATION                 the station file (default: the one remembered)\n"
    "\nThe window and vaxoctl run are one instance per user: a start while one runs\n"
    "hands its station over; a start with listeners or the web page ends instead,\n"
    "since the running one keeps its own (the window's are in vaxow.listen).\n";

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
          "            [--allow CIDR]... [--uecp-site N] [--uecp-encoder N] [--uecp-provision "
          "CIDR]...\n"
          "            [--uecp-psn N]...\n"
          "            [--web HOST:PORT]... [--web-cert FILE --web-key FILE] [--web-insecure]\n"
          "            [--web-password-file FILE] [--metrics HOST:PORT]... [--min-send-interval "
          "S]\n"
          "            [--snmp-agentx SOCKET] [--wear-target-years Y] [--endurance N]\n"
          "            [--ta-limit MINUTES]\n"
          "            [--alert-webhook URL]... [--alert-smtp URL --alert-mail-from ADDRESS\n"
          "             --alert-mail-to ADDRESS... [--alert-smtp-user NAME\n"
          "             --alert-smtp-password-file FILE]] [STATION]\n"
          "  the program without its window: live text, switching and sends until a signal;\n"
          "  text commands and UECP from the network on the listeners named; the web page\n",
          kRunOptions}},
        {"wear",
         {vaxo::ctl::WearCommand,
          "vaxoctl wear [--json] [--endurance N]\n"
          "  the page writes the encoder's memory took (the ledger beside the settings)\n"
          "  and the years it lasts at the rate of the last week\n"}},
        {"alarms",
         {vaxo::ctl::AlarmsCommand,
          "vaxoctl alarms [--json] [--all]\n"
          "  the alarms that stand and the latest of their history (--all: all of it),\n"
          "  as the program on these settings keeps them\n"}},
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
        std::cout << "usage: " << command.usage << command.options;
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
