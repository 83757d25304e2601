#pragma once

#include <string>

#include "record/rds_parameter_set.h"

namespace vaxo {

// What follows from the set's options and is shown, not stored: which fields
// a feed locks, the two period labels, and the radiotext switching timer.
// The window mirrors it; the handlers run on every change of their field,
// whoever makes it.
class DerivedState {
  public:
    void RTFFClick(const RdsParameterSet& set);
    void PSFFClick(const RdsParameterSet& set);
    void ENDPSClick(const RdsParameterSet& set);
    void RTSAClick(const RdsParameterSet& set);
    void TrackBar1Change(const RdsParameterSet& set);
    void TrackBar2Change(const RdsParameterSet& set);
    // All of them, as after a station file is loaded.
    void FollowAll(const RdsParameterSet& set);

    bool rtLocked = false;      // RT and RTFILE
    bool dpsLocked = false;     // DPS1..DPS8
    bool psFileLocked = false;  // PSFILE
    std::string repeatLabel = "39 s";
    std::string switchLabel = "5 min";
    bool timer2Running = false;
    int timer2IntervalMs = 300000;

  private:
    void FollowFileLocks(const RdsParameterSet& set);
};

// Leaving the effect-character field empty puts "*" back.
void EFCHARExit(RdsParameterSet& set);

}  // namespace vaxo
