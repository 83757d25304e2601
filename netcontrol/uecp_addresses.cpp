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
    if (data.size() != (sites ? 3U : 2U)) {
        return {std::nullopt, UecpCode::ElementLengthError,
                sites ? "a site address element is a configuration byte and two address bytes"
                      : "an encoder address element is a configuration byte and an address byte"};
    }
    if (data[0] > 2) {
        return {std::nullopt, UecpCode::ParameterOutOfRange,
                "configuration " + std::to_string(data[0]) + " is none of 0, 1 and 2"};
    }
    AddressChange change{sites, static_cast<AddressChange::Kind>(data[0]),
                         sites ? (data[1] << 8 | data[2]) : data[1]};
    if (change.kind == AddressChange::Kind::Clear) {
        change.address = 0;
    } else if (change.address < 1 || change.address > Limit(sites)) {
        return {
            std::nullopt, UecpCode::ParameterOutOfRange,
            (sites ? "a site address is 1 to 1023, not " : "an encoder address is 1 to 63, not ") +
                std::to_string(change.address)};
    }
    return {change, UecpCode::Ok, {}};
}

std::optional<std::string> ApplyAddressChange(UecpAddressLists& lists,
                                              const AddressChange& change) {
    std::vector<int>& list = change.sites ? lists.sites : lists.encoders;
    switch (change.kind) {
        case AddressChange::Kind::Clear:
            list.clear();
            break;
        case AddressChange::Kind::Remove:
            std::erase(list, change.address);
            break;
        case AddressChange::Kind::Add:
            if (Listed(list, change.address)) {
                break;
            }
            if (list.size() == kUecpAddressesKept) {
                return "this encoder keeps at most " + std::to_string(kUecpAddressesKept) +
                       (change.sites ? " site addresses" : " encoder addresses");
            }
            list.push_back(change.address);
            break;
    }
    return std::nullopt;
}

std::string DescribeAddressList(bool sites, const UecpAddressLists& lists) {
    const std::vector<int>& list = sites ? lists.sites : lists.encoders;
    std::string text = sites ? "site addresses " : "encoder addresses ";
    return text + (list.empty() ? std::string("any") : Joined(list, ", "));
}

std::vector<std::vector<std::uint8_t>> AddressListElements(std::uint8_t mec,
                                                           const UecpAddressLists& lists) {
    const bool sites = mec == kMecSiteAddress;
    const auto element = [&](std::uint8_t configuration, int address) {
        std::vector<std::uint8_t> bytes{mec, configuration};
        if (sites) {
            bytes.push_back(static_cast<std::uint8_t>(address >> 8));
        }
        bytes.push_back(static_cast<std::uint8_t>(address & 0xFF));
        return bytes;
    };
    const std::vector<int>& list = sites ? lists.sites : lists.encoders;
    if (list.empty()) {
        return {element(2, 0)};
    }
    std::vector<std::vector<std::uint8_t>> elements;
    elements.reserve(list.size());
    for (const int address : list) {
        elements.push_back(element(1, address));
    }
    return elements;
}

std::string UecpAddressesText(const UecpAddressLists& lists, const UecpAddressLists& start) {
    return JoinLinesCrLf({"# The UECP addresses an RDS server provisioned; START names the",
                          "# --uecp-site/--uecp-encoder values they were provisioned over.",
                          "START=" + StartText(start), "SITES=" + Joined(lists.sites),
                          "ENCODERS=" + Joined(lists.encoders)});
}

std::optional<UecpAddressLists> ReadUecpAddressesText(std::string_view text,
                                                      const UecpAddressLists& start) {
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
        return std::nullopt;
    }
    return UecpAddressLists{std::move(*sites), std::move(*encoders)};
}

UecpAddressBook::UecpAddressBook(UecpAddressLists start, std::string file, Clock clock)
    : start_(std::move(start)), lists_(start_), file_(std::move(file)), clock_(std::move(clock)) {
    if (file_.empty()) {
        return;
    }
    try {
        if (const auto text = ReadOwnFile(file_, kAddressesFileLimit)) {
            const auto kept = ReadUecpAddressesText(*text, start_);
            lists_ = kept.value_or(start_);
            source_ = kept ? Source::Kept : Source::OptionsOverOtherKept;
        }
    } catch (const FileError& error) {
        readTrouble_ = file_ + ": " + error.what();
    }
}

UecpAddressBook::~UecpAddressBook() {
    static_cast<void>(Flush());
}

void UecpAddressBook::Save(const UecpAddressLists& lists) {
    SaveOwnFile(file_, UecpAddressesText(lists, start_));
    lastSave_ = clock_();
}

AddressBookChange UecpAddressBook::Change(const AddressChange& change) {
    UecpAddressLists changed = lists_;
    if (auto refusal = ApplyAddressChange(changed, change)) {
        return {std::move(refusal), false};
    }
    if (changed == lists_) {
        return {};
    }
    const auto now = clock_();
    if (!file_.empty() && later_ && (pending_ || (lastSave_ && now - *lastSave_ < kSaveSpacing))) {
        lists_ = std::move(changed);
        pending_ = true;
        if (!flushAsked_) {
            flushAsked_ = true;
            later_(std::chrono::duration_cast<std::chrono::milliseconds>(*lastSave_ + kSaveSpacing -
                                                                         now));
        }
        return {std::nullopt, true};
    }
    if (!file_.empty()) {
        try {
            Save(changed);
        } catch (const FileError& error) {
            return {std::string("the addresses cannot be kept: ") + error.what(), false};
        }
    }
    lists_ = std::move(changed);
    return {std::nullopt, true};
}

std::optional<std::string> UecpAddressBook::Flush() {
    flushAsked_ = false;
    if (!pending_) {
        return std::nullopt;
    }
    try {
        Save(lists_);
        pending_ = false;
        return std::nullopt;
    } catch (const FileError& error) {
        lastSave_ = clock_();  // tried: again a second later
        if (later_) {
            flushAsked_ = true;
            later_(kSaveSpacing);
        }
        return std::string("the UECP addresses cannot be kept: ") + error.what();
    }
}

std::string DescribeAddressesInForce(const UecpAddressBook& book) {
    const UecpAddressLists& lists = book.Lists();
    std::string text = DescribeAddressList(true, lists) + ", " + DescribeAddressList(false, lists);
    switch (book.From()) {
        case UecpAddressBook::Source::Options:
            return text + ", as the start options give them";
        case UecpAddressBook::Source::Kept:
            return text + ", as a UECP server provisioned them over these start options (" +
                   kUecpAddressesFileName + ")";
        case UecpAddressBook::Source::OptionsOverOtherKept:
            return text + ", as the start options give them (" + kUecpAddressesFileName +
                   " was provisioned over other options and is set aside)";
    }
    return text;
}

}  // namespace vaxo
