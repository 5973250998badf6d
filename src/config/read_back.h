#pragma once
// Read-back verification: after a send, the instrument's configuration as read back is set
// against what the send should have left there (the configuration before, with every sent
// line applied). An "@" only says that the instrument took a line; this says what it stored.

#include <string>
#include <vector>

#include "configuration.h"

namespace vexilo {

struct ReadBackDifference {
    std::string class_name;
    std::string object_name;
    bool sent = false;     // a sent object; else one the send should have left alone
    std::string field;     // empty: the object as a whole (missing, or there unasked)
    std::string expected;  // sent: the value sent; else the value before the send
    std::string stored;    // the value read back
};

struct ReadBack {
    int sent = 0;      // distinct objects sent
    int verified = 0;  // of those, read back exactly as sent
    std::vector<ReadBackDifference> differences;
    bool ok() const { return differences.empty(); }
};

// Compares the configuration read back (after) with before plus the sent download commands
// ("DLD_OBJ " lines or bare lines), in order. Every sent object must read back as sent and
// every other object as it was; an object that appeared is a difference too.
ReadBack compare_read_back(const Configuration& before, const std::vector<std::string>& sent,
                           const Configuration& after);

// One difference as the operator reads it: "Pump:PumpA: Volume: sent 250 -> stored 251".
std::string read_back_line(const ReadBackDifference& difference);

}  // namespace vexilo
