#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/file_io.h"
#include "base/local_time.h"
#include "record/rds_parameter_set.h"
#include "stations/field_changes.h"

namespace vaxo {

// What Auto Save does with a station file another hand changed on disk.
enum class ChangedStationChoice { SaveBeside, Overwrite, LeaveAlone };

// The station's file as the program sees it: its name, the station the
// settings remember for the next start, what the file held when it was last
// loaded or saved (so that a change by another hand is noticed and never
// written over unasked), and whether it was named from outside the machine
// (the web page), in which case it is never read or written through a link.
class StationDocument {
  public:
    static constexpr const char* kUntitled = "untitled.rds";

    const std::string& Name() const { return name_; }
    const std::string& Remembered() const { return remembered_; }
    // The station the settings file remembers: the one loaded at start.
    void TakeRemembered(const std::string& name);
    // The station the next start opens.
    void Remember(const std::string& name) { remembered_ = name; }
    // The file named could not be read: Auto Save leaves it alone.
    bool Unreadable() const { return !unreadable_.empty() && unreadable_ == name_; }
    bool NamedFromOutside() const { return namedFromOutside_; }

    // Names the station `name` and applies its file onto the set; a missing
    // file changes nothing. A file that cannot be read throws FileError and
    // leaves the set as it was, under the new name.
    StationChange Load(RdsParameterSet& set, const std::string& name, bool fromOutside,
                       char decimalSeparator);
    // Station-file bytes from outside, taken as a load takes a file; the
    // station is then named `path`, a file not written yet.
    StationChange Upload(RdsParameterSet& set, std::string_view text, const std::string& path,
                         bool fromOutside, char decimalSeparator);
    // Writes the set to the station's file; it becomes the remembered one.
    void Save(const RdsParameterSet& set, bool fromOutside);
    // Writes the set to `path`, which becomes the station's name; a save
    // that fails leaves the name as it was.
    void SaveAs(const RdsParameterSet& set, const std::string& path, bool fromOutside);

    enum class AutoSaved { Saved, WroteBeside, LeftAlone, Unreadable };
    struct AutoSave {
        AutoSaved what = AutoSaved::Saved;
        std::string beside;  // WroteBeside: the file written beside the station's
    };
    // Auto Save at the end: a file another hand changed since it was loaded
    // or saved is overwritten only when `changed` says so.
    AutoSave SaveAtEnd(const RdsParameterSet& set, ChangedStationChoice changed, LocalTime now);

    // The file on disk is not what it was when it was last loaded or saved.
    bool ChangedOnDisk() const;
    // The set differs from what it was last loaded from or saved as.
    bool HasUnsavedChanges(const RdsParameterSet& set) const;

  private:
    FileLinks Links(bool fromOutside) const;
    void Took(const RdsParameterSet& set, std::optional<std::uint64_t> fingerprint);

    std::string name_ = kUntitled;
    std::string remembered_;
    std::string unreadable_;  // the name of a file this run could not read
    std::optional<std::uint64_t> fingerprint_;
    std::string savedText_;  // the station as it was last loaded or saved
    bool namedFromOutside_ = false;
};

// "station.rds" beside which Auto Save writes "station.autosave-20261208-143210.rds".
std::string BesideName(const std::string& name, LocalTime now);

}  // namespace vaxo
