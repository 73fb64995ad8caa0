// Runs of consecutive display sets of an epoch that show the same menu, as a
// stream repeats its composition at every acquisition point.
#pragma once

#include <vector>

#include "model/epoch.h"
#include "model/ig_object.h"

namespace tessel {

// Display sets first .. first + count - 1 of an epoch.
struct SDisplaySetRun {
    int first = 0;
    int count = 0;
};

// True when both display sets write the same composition body and their
// pages use the same graphic objects (same ids, the same objects).
bool SameDisplaySet(CDisplaySet& a, CDisplaySet& b);

// The epoch's display sets as runs of identical neighbours, in order; every
// display set lies in exactly one run.
std::vector<SDisplaySetRun> IdenticalDisplaySetRuns(CEpoch& epoch);

// The same for the epochs of a stream: neighbours whose display sets write
// the same compositions and show the same pictures (a repeated object shares
// its decoded picture) form one run.
std::vector<SDisplaySetRun> IdenticalEpochRuns(CIgObject& ig);

}  // namespace tessel
