#include "faults.h"

#include <charconv>

namespace vexilo::sim {
namespace {

// A whole decimal number in 0 .. 1000000, nothing else.
std::optional<int> count_of(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0 ||
        value > 1000000) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string_view command_word(std::string_view command_line) {
    return command_line.substr(0, command_line.find(' '));
}

std::optional<Fault> parse_fault(std::string_view fault_text, std::string& error) {
    Fault fault;
    // "@K" is taken from the end, so that a refusal text may itself contain "@".
    if (const auto at = fault_text.rfind('@'); at != std::string_view::npos) {
        const auto limit = count_of(fault_text.substr(at + 1));
        if (limit && *limit > 0) {
            fault.remaining = *limit;
            fault_text = fault_text.substr(0, at);
        } else if (fault_text.substr(0, fault_text.find(':')) != "refuse") {
            error = "the limit after \"@\" must be a whole number of at least 1";
            return std::nullopt;
        }
    }
    const std::string_view kind = fault_text.substr(0, fault_text.find(':'));
    const std::string_view rest =
        kind.size() < fault_text.size() ? fault_text.substr(kind.size() + 1) : std::string_view{};
    const bool has_argument = kind.size() < fault_text.size();

    if (kind == "silent" || kind == "refuse") {
        fault.kind = kind == "silent" ? FaultKind::Silent : FaultKind::Refuse;
        if (fault.kind == FaultKind::Refuse) {
            const auto colon = rest.find(':');
            if (colon == std::string_view::npos || colon + 1 == rest.size()) {
                error = "refuse needs a command and a text: refuse:CMD:TEXT";
                return std::nullopt;
            }
            fault.command = std::string(rest.substr(0, colon));
            fault.text = std::string(rest.substr(colon + 1));
        } else {
            fault.command = std::string(rest);
        }
        if (fault.command.empty()) {
            error = std::string(kind) + " needs a command: " + std::string(kind) + ":CMD";
            return std::nullopt;
        }
        return fault;
    }
    if (kind == "slow") {
        fault.kind = FaultKind::Slow;
        // The time comes last, so that the command may be a whole line with colons in it.
        const auto colon = rest.rfind(':');
        const auto ms =
            colon == std::string_view::npos ? std::nullopt : count_of(rest.substr(colon + 1));
        if (!ms || colon == 0) {
            error = "slow needs a command and milliseconds: slow:CMD:MS";
            return std::nullopt;
        }
        fault.command = std::string(rest.substr(0, colon));
        fault.count = *ms;
        return fault;
    }
    if (kind == "stall" || kind == "hangup") {
        fault.kind = kind == "stall" ? FaultKind::Stall : FaultKind::Hangup;
        const auto n = count_of(rest);
        const int least = fault.kind == FaultKind::Hangup ? 1 : 0;
        if (!has_argument || !n || *n < least) {
            error = std::string(kind) + " needs a whole number" + (least ? " of at least 1" : "") +
                    ": " + std::string(kind) + ":N";
            return std::nullopt;
        }
        fault.count = *n;
        return fault;
    }
    if (kind == "stray") {
        fault.kind = FaultKind::Stray;
        fault.command = std::string(rest);
        if (has_argument && fault.command.empty()) {
            error = "stray takes a command after the colon: stray:CMD";
            return std::nullopt;
        }
        return fault;
    }
    if (kind == "babble" || kind == "endless" || kind == "early") {
        if (has_argument) {
            error = std::string(kind) + " takes no argument";
            return std::nullopt;
        }
        fault.kind = kind == "babble"    ? FaultKind::Babble
                     : kind == "endless" ? FaultKind::Endless
                                         : FaultKind::Early;
        return fault;
    }
    if (kind == "misstore") {
        if (has_argument) {
            error = "misstore takes no argument";
            return std::nullopt;
        }
        fault.kind = FaultKind::Misstore;
        return fault;
    }
    if (kind == "lf" || kind == "noise" || kind == "reboot") {
        if (has_argument) {
            error = std::string(kind) + " takes no argument";
            return std::nullopt;
        }
        fault.kind = kind == "lf"      ? FaultKind::Lf
                     : kind == "noise" ? FaultKind::Noise
                                       : FaultKind::Reboot;
        return fault;
    }
    error = "unknown fault \"" + std::string(kind) +
            "\" (silent, refuse, slow, stall, lf, noise, hangup, reboot, babble, endless, "
            "stray, early, misstore)";
    return std::nullopt;
}

bool Faults::use(Fault& fault) {
    if (fault.remaining == 0) return false;
    if (fault.remaining > 0) --fault.remaining;
    return true;
}

const Fault* Faults::take_command_fault(std::string_view command_line) {
    for (Fault& fault : faults_) {
        if (fault.kind != FaultKind::Silent && fault.kind != FaultKind::Refuse) continue;
        if (fault.command != command_word(command_line) && fault.command != command_line) continue;
        if (use(fault)) return &fault;
    }
    return nullptr;
}

const Fault* Faults::take(FaultKind kind) {
    for (Fault& fault : faults_) {
        if (fault.kind == kind && use(fault)) return &fault;
    }
    return nullptr;
}

const Fault* Faults::take_for(FaultKind kind, std::string_view command_line) {
    for (Fault& fault : faults_) {
        if (fault.kind != kind) continue;
        if (!fault.command.empty() && fault.command != command_word(command_line) &&
            fault.command != command_line) {
            continue;
        }
        if (use(fault)) return &fault;
    }
    return nullptr;
}

const Fault* Faults::peek(FaultKind kind) const {
    for (const Fault& fault : faults_) {
        if (fault.kind == kind && fault.remaining != 0) return &fault;
    }
    return nullptr;
}

}  // namespace vexilo::sim
