#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
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

// A site address (0x23) or encoder address (0x27) element, as IEC 62106-10
// writes it: a configuration byte, then one address (a site's two bytes,
// high byte first; an encoder's one). Configuration 0 removes the address
// from its list, 1 adds it, 2 empties the list (the address is then present
// but means nothing).
struct AddressChange {
    enum class Kind { Remove, Add, Clear };
    bool sites = true;  // or the encoder list
    Kind kind = Kind::Add;
    int address = 0;
};

struct AddressChangeReading {
    std::optional<AddressChange> change;
    UecpCode code = UecpCode::Ok;  // when there is none, and why
    std::string why;
};
// `data` as the element reader cut it: three bytes for 0x23, two for 0x27.
AddressChangeReading ReadAddressChange(std::uint8_t mec, const std::vector<std::uint8_t>& data);

// Changes the lists; or why they cannot take it (too many), leaving them
// as they were.
std::optional<std::string> ApplyAddressChange(UecpAddressLists& lists, const AddressChange& change);

// "site addresses 100, 200", "encoder addresses: any", for the log.
std::string DescribeAddressList(bool sites, const UecpAddressLists& lists);

// The answer to a request for 0x23 or 0x27: one element per address of the
// list, each in the form that adds it (`23 01 SAhi SAlo`); an empty list,
// which takes every address, as the one element that empties it
// (`23 02 00 00`).
std::vector<std::vector<std::uint8_t>> AddressListElements(std::uint8_t mec,
                                                           const UecpAddressLists& lists);

// The lists a server provisioned are kept in the settings folder, with the
// start options they were provisioned over: a start with the same options
// takes them up again, a start with other options begins from those.
inline constexpr const char* kUecpAddressesFileName = "vaxow.uecp";
std::string UecpAddressesText(const UecpAddressLists& lists, const UecpAddressLists& start);
// The lists kept, or nothing when they were provisioned over other start
// options or cannot be read.
std::optional<UecpAddressLists> ReadUecpAddressesText(std::string_view text,
                                                      const UecpAddressLists& start);

// Why a change was refused, or whether a list is now different.
struct AddressBookChange {
    std::optional<std::string> refusal;
    bool changed = false;
};

// The lists every UECP client of one program shares, used on the program's
// thread. A change is saved before it takes effect, and one that cannot be
// kept is refused, the lists staying as they were; but the file is written
// at most once a second: a change within a second of the last write takes
// effect at once and is written when the second is over (Flush), so that a
// server toggling an address cannot wear the disk.
class UecpAddressBook {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // Asks for Flush after the given time, on the program's thread.
    using SaveLater = std::function<void(std::chrono::milliseconds)>;
    static constexpr std::chrono::seconds kSaveSpacing{1};

    // `file` empty: kept in memory only.
    UecpAddressBook(UecpAddressLists start, std::string file,
                    Clock clock = std::chrono::steady_clock::now);
    // Writes what is not written yet.
    ~UecpAddressBook();
    UecpAddressBook(const UecpAddressBook&) = delete;
    UecpAddressBook& operator=(const UecpAddressBook&) = delete;

    // Without it, every change is written at once.
    void SaveLaterWith(SaveLater later) { later_ = std::move(later); }

    const UecpAddressLists& Lists() const { return lists_; }
    AddressBookChange Change(const AddressChange& change);
    // Writes a change held back; why it could not (it is tried again later).
    std::optional<std::string> Flush();
    bool SavePending() const { return pending_; }

    // Where the lists in force came from, for the log at the start.
    enum class Source { Options, Kept, OptionsOverOtherKept };
    Source From() const { return source_; }
    // Why the lists kept could not be read (they start from the options then).
    const std::string& ReadTrouble() const { return readTrouble_; }

  private:
    void Save(const UecpAddressLists& lists);

    UecpAddressLists start_;
    UecpAddressLists lists_;
    std::string file_;
    Clock clock_;
    SaveLater later_;
    std::optional<std::chrono::steady_clock::time_point> lastSave_;
    bool pending_ = false;
    bool flushAsked_ = false;
    Source source_ = Source::Options;
    std::string readTrouble_;
};

// "site addresses 100, encoder addresses any, provisioned by a UECP server
// over these start options (vaxow.uecp)", for the log at the start.
std::string DescribeAddressesInForce(const UecpAddressBook& book);

}  // namespace vaxo
