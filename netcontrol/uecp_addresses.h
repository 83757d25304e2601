#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "netcontrol/uecp_frame.h"

namespace vaxo {

inline constexpr int kUecpSiteLimit = 1023;            // ten bits
inline constexpr int kUecpEncoderLimit = 63;           // six bits
inline constexpr std::size_t kUecpAddressesKept = 32;  // in each list

// The site and encoder addresses this encoder answers to besides 0, in the
// order they were given. A frame is for it when its site address is 0 or
// in the site list and its encoder address 0 or in the encoder list
// (IEC 62106-10); an empty list takes every address, as an encoder never
// given one always has.
struct UecpAddressLists {
    std::vector<int> sites;
    std::vector<int> encoders;

    bool Accepts(int site, int encoder) const;
    // The addresses its own frames go out with: the first of each list.
    int FirstSite() const { return sites.empty() ? 0 : sites.front(); }
    int FirstEncoder() const { return encoders.empty() ? 0 : encoders.front(); }
    bool operator==(const UecpAddressLists&) const = default;
};

// A site address (0x23) or encoder address (0x27) element's data: its
// configuration byte, 0 to remove the addresses that follow, 1 to add them,
// 2 to clear the list (nothing follows); a site address is two bytes (high
// byte first), an encoder address one.
struct AddressChange {
    enum class Kind { Remove, Add, Clear };
    bool sites = true;  // or the encoder list
    Kind kind = Kind::Add;
    std::vector<int> addresses;
};

struct AddressChangeReading {
    std::optional<AddressChange> change;
    UecpCode code = UecpCode::Ok;  // when there is none, and why
    std::string why;
};
AddressChangeReading ReadAddressChange(std::uint8_t mec, const std::vector<std::uint8_t>& data);

// Changes the lists; or why they cannot take it (too many), leaving them
// as they were.
std::optional<std::string> ApplyAddressChange(UecpAddressLists& lists, const AddressChange& change);

// "site addresses 100, 200", "encoder addresses: any", for the log.
std::string DescribeAddressList(bool sites, const UecpAddressLists& lists);

// The answer to a request for 0x23 or 0x27: the element that adds every
// address of the list (MEL 1 with configuration 1 when it is empty).
std::vector<std::uint8_t> AddressListElement(std::uint8_t mec, const UecpAddressLists& lists);

// The lists a server provisioned are kept in the settings folder, with the
// start options they were provisioned over: a start with the same options
// takes them up again, a start with other options begins from those.
inline constexpr const char* kUecpAddressesFileName = "vaxow.uecp";
std::string UecpAddressesText(const UecpAddressLists& lists, const UecpAddressLists& start);
UecpAddressLists ReadUecpAddressesText(std::string_view text, const UecpAddressLists& start);

// Why a change was refused, or whether a list is now different.
struct AddressBookChange {
    std::optional<std::string> refusal;
    bool changed = false;
};

// The lists every UECP client of one program shares, used on the program's
// thread. A change is saved before it takes effect: one that cannot be
// kept is refused, and the lists stay as they were.
class UecpAddressBook {
  public:
    // `file` empty: kept in memory only.
    UecpAddressBook(UecpAddressLists start, std::string file);

    const UecpAddressLists& Lists() const { return lists_; }
    AddressBookChange Change(const AddressChange& change);
    // Why the lists kept could not be read (they start from the options then).
    const std::string& ReadTrouble() const { return readTrouble_; }

  private:
    UecpAddressLists start_;
    UecpAddressLists lists_;
    std::string file_;
    std::string readTrouble_;
};

}  // namespace vaxo
