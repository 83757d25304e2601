#include "stations/derived_state.h"

namespace vaxo {

int RepeatPeriodSeconds(int step) {
    return (step + 1) * 28 / 10;
}

DerivedState DeriveState(const RdsParameterSet& set) {
    DerivedState state;
    state.radiotextFed = set.RTFF;
    state.dpsFed = set.PSFF;
    state.dpsFileInUse = set.PSFF && set.ENDPS;
    state.repeatSeconds = RepeatPeriodSeconds(set.DPSP);
    state.switchingMinutes = set.RTSAT;
    state.switching = set.RTSA;
    state.switchingInterval = std::chrono::minutes(set.RTSAT);
    return state;
}

}  // namespace vaxo
