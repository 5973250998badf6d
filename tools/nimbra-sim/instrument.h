#pragma once
// What the simulated instrument does with each command: its configuration, the objects it
// has received, and the reply it gives. The line (speed, pacing, faults on the wire) is the
// simulator's business; this is the instrument behind it.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/configuration.h"

namespace vexilo::sim {

inline constexpr int LOW_SPEED = 9600;
inline constexpr int HIGH_SPEED = 38400;

struct Reply {
    std::vector<std::string> lines;  // display text; the line turns it into instrument codes
    bool configuration = false;      // the configuration text and its end line
    int speed_after = 0;             // the line speed to take after the reply; 0 keeps it
    int delay_ms = 0;                // time the instrument takes before it answers
    std::string summary;             // for the log
};

class Instrument {
  public:
    // Takes the configuration as it was read from the configuration file.
    Instrument(std::unique_ptr<Configuration> config, int remove_delay_ms);

    // The reply to one command line (display text, without its CR).
    Reply answer(std::string_view command);

    const Configuration& configuration() const { return *config_; }

    // The configuration text that GET_CONFIG sends: the four sections and the end line.
    std::vector<std::string> configuration_text() const;

    // Checks a download line against the instrument's classes and stores the object,
    // replacing one of the same name. The refusal text, or nothing when it was stored.
    std::optional<std::string> download(std::string_view line);

    void remove_all_objects();

    // Changes one stored value of the named object (its first number or list choice moves
    // by one, or its first text gains a character), as a faulty memory would; the name of
    // the changed field, or nothing when none could change.
    std::optional<std::string> misstore(std::string_view name);

  private:
    std::optional<std::string> check_download(const std::vector<std::string_view>& fields,
                                              int class_index) const;
    bool make_room(int object_index, int class_index);
    void compact();

    std::unique_ptr<Configuration> config_;
    int remove_delay_ms_;
};

}  // namespace vexilo::sim
