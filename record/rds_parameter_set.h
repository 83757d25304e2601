#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include "base/bounded_text.h"
#include "record/field_id.h"

namespace vaxo {

// The lengths of the station's texts (IEC 62106: a PS of 8 characters, a
// radiotext of 64).
inline constexpr std::size_t kPsLength = 8;
inline constexpr std::size_t kRadiotextLength = 64;
// The fallback dynamic PS, a line as the dynamic-PS file gives one.
inline constexpr std::size_t kDpsFallbackLength = 128;
inline constexpr std::size_t kAfTextLength = 5;  // "107.9"
// What a station carries here: seven alternative frequencies (one AF group's
// worth of method A), four radiotexts and eight dynamic PS texts.
inline constexpr std::size_t kAfCount = 7;
inline constexpr std::size_t kRadiotextCount = 4;
inline constexpr std::size_t kDpsCount = 8;

inline constexpr std::size_t kLastSentLines = 28;
// What the last successful send to one bank sent, as key=value lines.
using LastSentRecord = std::array<std::string, kLastSentLines>;

using DecoderId = std::array<bool, 4>;  // index n is DI flag n (0 = Stereo)

// Four "1"/"0" characters, flag 3 first: 0001 means stereo only.
std::string DecoderIdText(const DecoderId& di);

// PI is held in capitals: a letter a..z written into it becomes A..Z.
class PiText : public BoundedText<4> {
  public:
    PiText() = default;
    PiText(std::string_view text) { assign(text); }  // NOLINT: implicit by design
    PiText& operator=(std::string_view text) {
        assign(text);
        return *this;
    }
    void assign(std::string_view text);
};

// What a station file holds: the RDS content and the station's options.
struct StationContent {
    // RDS content
    PiText PI{"FFFF"};
    BoundedText<kPsLength> PS{"FM RADIO"};
    int PTY = 0;  // 0..31, the RDS PTY code
    int TP = 1;
    int TA = 0;
    int MS = 1;  // 0 = Speech, 1 = Music
    DecoderId DI{};
    std::array<BoundedText<kAfTextLength>, kAfCount> AF{};  // AF1..AF7
    BoundedText<kRadiotextLength> RT, RT2, RT3, RT4;
    std::array<BoundedText<kPsLength>, kDpsCount> DPS{};  // DPS1..DPS8

    // Station options
    int SELRT = 1;  // 1..4, 0 when no radiotext is selected
    bool ABSW = false;
    bool RTFF = false;
    std::string RTFILE = "rt.txt";
    bool UPCH = true;
    bool RTSA = false;
    int RTSAT = 5;  // 1..30 minutes
    bool ENDPS = false;
    bool PSFF = false;
    std::string PSFILE = "dps.txt";
    bool UPCHPS = true;
    bool DPSA = true;
    bool DPSC = false;
    BoundedText<1> EFCHAR{"*"};
    // What goes on air in place of a followed file's text that has not
    // changed for its limit (minutes; 0: no limit): these texts, or where
    // one is empty, the station's own.
    BoundedText<kRadiotextLength> RTFB;
    std::string DPSFB;  // a line as the dynamic-PS file gives one
    int RTSTALE = 0;
    int DPSSTALE = 0;
    int DPSP = 13;  // 7..65
    int STB = 1;    // memory bank 1 or 2
    bool AUTBSW = false;
    bool SEND = false;
    bool EXAL = false;

    // A UECP server's texts as it sent them, in the RDS character table, by
    // field: they go on air in place of the field's Windows-1250 while the
    // field holds what they read as (a letter Windows-1250 lacks, è, is e
    // there). Any other change of the field drops them; files never hold them.
    std::map<FieldId, std::string> serverTexts;

    bool operator==(const StationContent&) const = default;
};

// The program's own options, kept in the settings files only.
struct ProgramOptions {
    int PORT = 0;  // 0 = LPT1 (0x378), 1 = LPT2 (0x278)
    bool AUTOSAVE = false;
    bool HIPRI = false;
    bool ALONTOP = false;
    // The encoder's memory: every page written by each send, not only the
    // changed ones; the least time between the starts of two sends to one
    // bank that are not the operator's, in seconds; the endurance its pages
    // are rated for; the years they are to last (0: no budget of writes).
    bool WRITEALL = false;
    int MINSEND = 3;
    int ENDURANCE = 1'000'000;
    int WEARYEARS = 5;
    // The minutes TA may stay on before the program turns it off (0: as
    // long as it is set).
    int TALIMIT = 5;
    // What "both banks in loop" (MBS) resets to: on when the settings file
    // has it on.
    bool BothBanksDefault = false;
};

// A station and the program's options: what the station files and the
// settings files hold. The program keeps one; a send works on a copy taken
// when it starts. What a run keeps beside it (the A/B flag, the last-sent
// records, the station's file) is the send side's and the document's.
class RdsParameterSet : public StationContent, public ProgramOptions {
  public:
    // Sets every station field to its reset value (PS eight spaces, AUTBSW
    // from BothBanksDefault); nothing else changes.
    void ResetStation();

    // The radiotext SELRT selects; empty when none is selected.
    const std::string& ActualRT() const;

  private:
    const BoundedText<kRadiotextLength>* SelectedRadiotext() const;
};

}  // namespace vaxo
