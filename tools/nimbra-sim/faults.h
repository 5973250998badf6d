#pragma once
// Faults the simulator injects on request, so that the link's handling of a misbehaving
// instrument can be exercised: silence, refusals, stalled replies, stray line feeds, noise,
// hang-ups, a restart that drops the line speed, babbling replies and answers nobody asked for.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexilo::sim {

enum class FaultKind {
    Silent,
    Refuse,
    Stall,
    Lf,
    Noise,
    Hangup,
    Reboot,
    Babble,
    Endless,
    Stray,
    Early,
    Slow,
    Misstore
};

struct Fault {
    FaultKind kind = FaultKind::Silent;
    std::string command;  // Silent, Refuse, Stray, Slow: the command word, or a whole line
    std::string text;     // Refuse: the instrument's message
    // Stall: lines sent; Hangup: commands answered before the hang-up; Slow: milliseconds
    int count = 0;
    int remaining = -1;  // occurrences left; -1 for no limit
};

// One --fault FAULT: silent:CMD, refuse:CMD:TEXT, slow:CMD:MS, stall:N, lf, noise, hangup:N,
// reboot, babble, endless, stray[:CMD], early or misstore, each optionally followed by @K (only the
// first K occurrences). On failure the error says what is wrong with the text.
std::optional<Fault> parse_fault(std::string_view fault_text, std::string& error);

class Faults {
  public:
    void add(Fault fault) { faults_.push_back(std::move(fault)); }

    // The first silent or refuse fault that matches the command line (its command word, or
    // the whole line) and has an occurrence left; the occurrence is used up.
    const Fault* take_command_fault(std::string_view command_line);

    // The first fault of the kind with an occurrence left; the occurrence is used up.
    const Fault* take(FaultKind kind);
    // As take, for a fault that may name the command it applies to (none: every command).
    const Fault* take_for(FaultKind kind, std::string_view command_line);

    // As take, without using an occurrence up.
    const Fault* peek(FaultKind kind) const;

  private:
    static bool use(Fault& fault);
    std::vector<Fault> faults_;
};

std::string_view command_word(std::string_view command_line);

}  // namespace vexilo::sim
