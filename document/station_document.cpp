#include "document/station_document.h"

#include <cstdio>
#include <filesystem>

#include "stations/station_file.h"

namespace vaxo {

std::string BesideName(const std::string& name, LocalTime now) {
    const std::filesystem::path path(name);
    const auto seconds = std::chrono::floor<std::chrono::seconds>(now);
    const std::chrono::year_month_day day{std::chrono::floor<std::chrono::days>(seconds)};
    const std::chrono::hh_mm_ss time{seconds - std::chrono::floor<std::chrono::days>(seconds)};
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, ".autosave-%04d%02u%02u-%02ld%02ld%02ld",
                  static_cast<int>(day.year()), static_cast<unsigned>(day.month()),
                  static_cast<unsigned>(day.day()), static_cast<long>(time.hours().count()),
                  static_cast<long>(time.minutes().count()),
                  static_cast<long>(time.seconds().count()));
    return (path.parent_path() / (path.stem().string() + stamp + path.extension().string()))
        .string();
}

void StationDocument::TakeRemembered(const std::string& name) {
    name_ = name.empty() ? kUntitled : name;
    remembered_ = name_;
}

// What comes from outside the machine never reaches through a link planted
// in the working folder; what the operator chose here follows links.
FileLinks StationDocument::Links(bool fromOutside) const {
    return fromOutside || namedFromOutside_ ? FileLinks::Confined : FileLinks::Follow;
}

void StationDocument::Took(const RdsParameterSet& set, std::optional<std::uint64_t> fingerprint) {
    fingerprint_ = fingerprint;
    savedText_ = StationFileText(set);
}

StationChange StationDocument::Load(RdsParameterSet& set, const std::string& name, bool fromOutside,
                                    char decimalSeparator) {
    name_ = name;
    namedFromOutside_ = fromOutside;
    StationLoad load;
    try {
        load = LoadStationFile(set, name_, decimalSeparator, Links(fromOutside));
    } catch (const FileError&) {
        unreadable_ = name_;
        throw;
    }
    if (unreadable_ == name_) {
        unreadable_.clear();
    }
    if (load.change.cleared) {
        remembered_ = name_;
    }
    Took(set, load.fingerprint);
    return load.change;
}

StationChange StationDocument::Upload(RdsParameterSet& set, std::string_view text,
                                      const std::string& path, bool fromOutside,
                                      char decimalSeparator) {
    StationChange change = ApplyStationText(set, text, decimalSeparator);
    name_ = path;
    namedFromOutside_ = fromOutside;
    fingerprint_.reset();  // nothing on disk is this station's yet
    unreadable_.clear();
    return change;
}

void StationDocument::Save(const RdsParameterSet& set, bool fromOutside) {
    remembered_ = name_;
    Took(set, SaveStationFile(set, name_, Links(fromOutside)));
    unreadable_.clear();  // the operator chose to replace it
}

// A name from outside the machine (the page's Save as) is never written or
// read through a link, now or later.
void StationDocument::SaveAs(const RdsParameterSet& set, const std::string& path,
                             bool fromOutside) {
    const std::uint64_t fingerprint =
        SaveStationFile(set, path, fromOutside ? FileLinks::Confined : FileLinks::Follow);
    name_ = path;
    remembered_ = path;
    namedFromOutside_ = fromOutside;
    Took(set, fingerprint);
}

StationDocument::AutoSave StationDocument::SaveAtEnd(const RdsParameterSet& set,
                                                     ChangedStationChoice changed, LocalTime now) {
    if (Unreadable()) {
        return {AutoSaved::Unreadable, ""};
    }
    if (!ChangedOnDisk() || changed == ChangedStationChoice::Overwrite) {
        Took(set, SaveStationFile(set, name_, Links(false)));
        return {};
    }
    if (changed == ChangedStationChoice::LeaveAlone) {
        return {AutoSaved::LeftAlone, ""};
    }
    const std::string beside = BesideName(name_, now);
    static_cast<void>(SaveStationFile(set, beside, Links(false)));
    return {AutoSaved::WroteBeside, beside};
}

bool StationDocument::ChangedOnDisk() const {
    try {
        const auto text = ReadFileIfExists(name_, kSmallFileLimit, Links(false));
        return text && fingerprint_ != ContentFingerprint(*text);
    } catch (const FileError&) {
        return false;  // what cannot be read is left alone anyway
    }
}

bool StationDocument::HasUnsavedChanges(const RdsParameterSet& set) const {
    return StationFileText(set) != savedText_;
}

}  // namespace vaxo
