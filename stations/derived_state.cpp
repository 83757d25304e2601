#include "stations/derived_state.h"

namespace vaxo {

void DerivedState::RTFFClick(const RdsParameterSet& set) {
    rtLocked = set.RTFF;
}

void DerivedState::FollowFileLocks(const RdsParameterSet& set) {
    dpsLocked = set.PSFF;
    psFileLocked = set.PSFF && set.ENDPS;
}

void DerivedState::PSFFClick(const RdsParameterSet& set) {
    FollowFileLocks(set);
}

void DerivedState::ENDPSClick(const RdsParameterSet& set) {
    FollowFileLocks(set);
}

void DerivedState::RTSAClick(const RdsParameterSet& set) {
    timer2Running = set.RTSA;
}

void DerivedState::TrackBar1Change(const RdsParameterSet& set) {
    repeatLabel = std::to_string((set.DPSP + 1) * 28 / 10) + " s";
}

void DerivedState::TrackBar2Change(const RdsParameterSet& set) {
    switchLabel = std::to_string(set.RTSAT) + " min";
    timer2IntervalMs = set.RTSAT * 60000;
}

void DerivedState::FollowAll(const RdsParameterSet& set) {
    RTFFClick(set);
    PSFFClick(set);
    TrackBar1Change(set);
    TrackBar2Change(set);
    RTSAClick(set);
    ENDPSClick(set);
}

void EFCHARExit(RdsParameterSet& set) {
    if (set.EFCHAR.empty()) {
        set.EFCHAR = "*";
    }
}

}  // namespace vaxo
