#pragma once
// The line between the program and the simulated instrument: it takes bytes from the
// pseudo-terminal, assembles command lines, hands them to the instrument and sends the
// replies, keeping the instrument's own line speed, XON/XOFF flow control, the pace of a
// real cable when asked, and the faults it was told to inject.

#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "faults.h"
#include "instrument.h"
#include "pty_port.h"

namespace vexilo::sim {

struct LineOptions {
    std::string link_path;   // a symbolic link kept pointing at the current port; may be empty
    std::string state_path;  // where the objects go when a session ends; may be empty
    std::vector<std::string> state_comments;
    bool line_rate = false;  // pace every byte at the current speed, 10 bits a byte
    int start_speed = LOW_SPEED;
};

class Simulator {
  public:
    Simulator(Instrument& instrument, Faults faults, LineOptions options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Answers until SIGTERM or SIGINT, then writes the state file. The exit status: 0, or
    // 1 when the line could not be opened or the state could not be written.
    int run();

  private:
    using Nanos = std::int64_t;
    enum class Garble : std::uint8_t { None, Speed, Echo };
    struct ReceivedByte {
        unsigned char byte;
        Garble garble;
        int client_speed;
        Nanos due;  // when the byte has fully arrived on the simulated line
    };
    struct SentByte {
        unsigned char byte;
        Nanos duration;
    };
    struct Command {
        std::string text;
        bool too_long = false;
    };
    struct DelayedReply {
        Reply reply;
        std::string command;
        Nanos due = 0;
    };

    bool open_line();
    void forget_line_state();
    void take_open_changes();
    void session_started();
    void session_ended(bool reopened_already);

    void process(Nanos now);
    std::optional<Nanos> next_deadline(Nanos now) const;
    void read_input(Nanos now);
    void take_received(Nanos now);
    void finish_line();
    void handle_command(Command command, Nanos now);
    void after_command(Nanos now);
    void send_reply(const Reply& reply, const std::string& command, Nanos now);
    void send_line(const std::string& text, Nanos now);
    void send_bytes(const std::string& bytes, Nanos now);
    void send_output(Nanos now);
    void hang_up();
    void set_speed(int speed, const std::string& why);
    void babble(Nanos now);
    void leave_early_answer();
    bool save_state();

    Instrument& instrument_;
    Faults faults_;
    LineOptions options_;
    PtyPort port_;
    int signal_fd_ = -1;
    bool stop_ = false;
    bool failed_ = false;

    int speed_ = LOW_SPEED;
    int clients_ = 0;

    std::deque<ReceivedByte> received_;
    Nanos receive_clock_ = 0;  // when the line in is free again
    std::string line_;
    Garble line_garble_ = Garble::None;
    int line_client_speed_ = 0;
    bool line_too_long_ = false;
    std::deque<Command> commands_;
    std::optional<DelayedReply> delayed_;

    std::deque<SentByte> output_;
    Nanos send_clock_ = 0;  // when the line out is free again
    bool paused_ = false;   // XOFF received
    bool blocked_ = false;  // the pseudo-terminal takes no more for now

    int commands_on_line_ = 0;
    bool hangup_pending_ = false;
    Nanos hangup_deadline_ = 0;
    std::mt19937 noise_{20240601};
    // A GET_CONFIG reply that never ends: bytes without CR, or data lines without an end.
    enum class Babbling : std::uint8_t { None, Bytes, Lines };
    Babbling babbling_ = Babbling::None;
    Nanos babble_clock_ = 0;
    std::size_t babble_line_ = 0;
};

}  // namespace vexilo::sim
