#include "netcontrol/uecp_addresses.h"

#include <algorithm>
#include <charconv>

#include "base/file_io.h"
#include "base/text_lines.h"
#include "netcontrol/uecp_elements.h"

namespace vaxo {
namespace {

constexpr std::size_t kAddressesFileLimit = 16 * 1024;

bool Listed(const std::vector<int>& list, int address) {
    return std::find(list.begin(), list.end(), address) != list.end();
}

int Limit(bool sites) {
    return sites ? kUecpSiteLimit : kUecpEncoderLimit;
}

std::string Joined(const std::vector<int>& list, const char* separator = ",") {
    std::string text;
    for (const int address : list) {
        text += (text.empty() ? "" : separator) + std::to_string(address);
    }
    return text;
}

std::string StartText(const UecpAddressLists& start) {
    return Joined(start.sites) + "/" + Joined(start.encoders);
}

// "100,200" as a list within 1..limit, each once; nothing for anything else.
std::optional<std::vector<int>> ListFrom(std::string_view text, int limit) {
    std::vector<int> list;
    while (!text.empty()) {
        const std::size_t comma = std::min(text.find(','), text.size());
        const std::string_view item = text.substr(0, comma);
        int address = 0;
        const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), address);
        if (error != std::errc{} || end != item.data() + item.size() || address < 1 ||
            address > limit || Listed(list, address) || list.size() == kUecpAddressesKept) {
            return std::nullopt;
        }
        list.push_back(address);
        text.remove_prefix(std::min(comma + 1, text.size()));
    }
    return list;
}

}  // namespace

bool UecpAddressLists::Accepts(int site, int encoder) const {
    return (site == 0 || sites.empty() || Listed(sites, site)) &&
           (encoder == 0 || encoders.empty() || Listed(encoders, encoder));
}

AddressChangeReading ReadAddressChange(std::uint8_t mec, const std::vector<std::uint8_t>& data) {
    const bool sites = mec == kMecSiteAddress;
    const std::size_t width = sites ? 2 : 1;
    if (data.empty() || data[0] > 2) {
        return {std::nullopt, UecpCode::ParameterOutOfRange,
                data.empty()
                    ? "no configuration byte"
                    : "configuration " + std::to_string(data[0]) + " is none of 0, 1 and 2"};
    }
    AddressChange change{sites, static_cast<AddressChange::Kind>(data[0]), {}};
    const std::size_t count = data.size() - 1;
    const bool clear = change.kind == AddressChange::Kind::Clear;
    if (clear ? count != 0 : count == 0 || count % width != 0) {
        return {std::nullopt, UecpCode::ElementLengthError,
                clear ? "no address follows configuration 2"
                      : "the addresses are " + std::to_string(width) + " bytes each"};
    }
    for (std::size_t at = 1; at < data.size(); at += width) {
        const int address = sites ? (data[at] << 8 | data[at + 1]) : data[at];
        if (address < 1 || address > Limit(sites)) {
            return {std::nullopt, UecpCode::ParameterOutOfRange,
                    (sites ? "a site address is 1 to 1023, not "
                           : "an encoder address is 1 to 63, not ") +
                        std::to_string(address)};
        }
        change.addresses.push_back(address);
    }
    return {std::move(change), UecpCode::Ok, {}};
}

std::optional<std::string> ApplyAddressChange(UecpAddressLists& lists,
                                              const AddressChange& change) {
    std::vector<int>& list = change.sites ? lists.sites : lists.encoders;
    switch (change.kind) {
        case AddressChange::Kind::Clear:
            list.clear();
            break;
        case AddressChange::Kind::Remove:
            std::erase_if(list, [&](int address) { return Listed(change.addresses, address); });
            break;
        case AddressChange::Kind::Add: {
            std::vector<int> fresh;
            for (const int address : change.addresses) {
                if (!Listed(list, address) && !Listed(fresh, address)) {
                    fresh.push_back(address);
                }
            }
            if (list.size() + fresh.size() > kUecpAddressesKept) {
                return "this encoder keeps at most " + std::to_string(kUecpAddressesKept) +
                       (change.sites ? " site addresses" : " encoder addresses");
            }
            list.insert(list.end(), fresh.begin(), fresh.end());
            break;
        }
    }
    return std::nullopt;
}

std::string DescribeAddressList(bool sites, const UecpAddressLists& lists) {
    const std::vector<int>& list = sites ? lists.sites : lists.encoders;
    std::string text = sites ? "site addresses " : "encoder addresses ";
    return text + (list.empty() ? std::string("any") : Joined(list, ", "));
}

std::vector<std::uint8_t> AddressListElement(std::uint8_t mec, const UecpAddressLists& lists) {
    const bool sites = mec == kMecSiteAddress;
    const std::vector<int>& list = sites ? lists.sites : lists.encoders;
    std::vector<std::uint8_t> element{mec, 0, 1};
    for (const int address : list) {
        if (sites) {
            element.push_back(static_cast<std::uint8_t>(address >> 8));
        }
        element.push_back(static_cast<std::uint8_t>(address & 0xFF));
    }
    element[1] = static_cast<std::uint8_t>(element.size() - 2);
    return element;
}

std::string UecpAddressesText(const UecpAddressLists& lists, const UecpAddressLists& start) {
    return JoinLinesCrLf({"# The UECP addresses an RDS server provisioned; START names the",
                          "# --uecp-site/--uecp-encoder values they were provisioned over.",
                          "START=" + StartText(start), "SITES=" + Joined(lists.sites),
                          "ENCODERS=" + Joined(lists.encoders)});
}

UecpAddressLists ReadUecpAddressesText(std::string_view text, const UecpAddressLists& start) {
    bool sameStart = false;
    std::optional<std::vector<int>> sites;
    std::optional<std::vector<int>> encoders;
    ForEachLine(text, [&](std::string_view line) {
        const std::size_t equals = line.find('=');
        const std::string_view key = line.substr(0, equals);
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : line.substr(equals + 1);
        if (key == "START") {
            sameStart = value == StartText(start);
        } else if (key == "SITES") {
            sites = ListFrom(value, kUecpSiteLimit);
        } else if (key == "ENCODERS") {
            encoders = ListFrom(value, kUecpEncoderLimit);
        }
        return true;
    });
    if (!sameStart || !sites || !encoders) {
        return start;
    }
    return {std::move(*sites), std::move(*encoders)};
}

UecpAddressBook::UecpAddressBook(UecpAddressLists start, std::string file)
    : start_(std::move(start)), lists_(start_), file_(std::move(file)) {
    if (file_.empty()) {
        return;
    }
    try {
        if (const auto text = ReadFileIfExists(file_, kAddressesFileLimit)) {
            lists_ = ReadUecpAddressesText(*text, start_);
        }
    } catch (const FileError& error) {
        readTrouble_ = file_ + ": " + error.what();
    }
}

AddressBookChange UecpAddressBook::Change(const AddressChange& change) {
    UecpAddressLists changed = lists_;
    if (auto refusal = ApplyAddressChange(changed, change)) {
        return {std::move(refusal), false};
    }
    if (changed == lists_) {
        return {};
    }
    if (!file_.empty()) {
        try {
            SaveFile(file_, UecpAddressesText(changed, start_));
        } catch (const FileError& error) {
            return {std::string("the addresses cannot be kept: ") + error.what(), false};
        }
    }
    lists_ = std::move(changed);
    return {std::nullopt, true};
}

}  // namespace vaxo
