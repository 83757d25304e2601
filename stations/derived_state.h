#pragma once

#include <chrono>

#include "record/rds_parameter_set.h"

namespace vaxo {

// What follows from the set's options and is shown, not stored: which fields
// a feed writes (so nobody else may), the dynamic PS repeat period, and the
// radiotext switching. It always agrees with the set it was derived from.
struct DerivedState {
    bool radiotextFed = false;  // RT and its feed's file name
    bool dpsFed = false;        // DPS1..DPS8
    bool dpsFileInUse = false;  // the dynamic PS feed's file name
    int repeatSeconds = 39;     // the repeat step as a period
    int switchingMinutes = 5;
    bool switching = false;  // the radiotexts rotate
    std::chrono::milliseconds switchingInterval{300000};

    bool operator==(const DerivedState&) const = default;
};

DerivedState DeriveState(const RdsParameterSet& set);

// The period a dynamic PS repeat step stands for, in whole seconds: 22 at 7,
// 39 at 13, 184 at 65.
int RepeatPeriodSeconds(int step);

}  // namespace vaxo
