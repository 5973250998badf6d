// The serial link's own cost, against the cable's: at 38400 baud a byte takes 260 us on the
// wire, so the link's handling per byte and per command must stay far below that.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <deque>
#include <memory>

#include "config/messages.h"
#include "design_limit.h"
#include "link/line_trace.h"
#include "link/nimbralib.h"

namespace vexilo {
namespace {

// A port that answers at once: what the link spends is all that is measured.
class InstantPort final : public SerialPort {
  public:
    int port_number() const override { return 1; }
    bool set_port_number(int, std::string&) override { return true; }
    bool open(std::string&) override { return true; }
    void close() override {}
    bool is_open() const override { return true; }
    bool can_open(int) override { return true; }
    std::string describe() const override { return "instant"; }
    int baud_rate() const override { return baud_; }
    void set_baud_rate(int baud) override { baud_ = baud; }
    void send(std::string_view bytes) override { sent_bytes += bytes.size(); }
    bool take_char(char& c) override {
        if (input_.empty()) return false;
        c = input_.front();
        input_.pop_front();
        return true;
    }
    std::size_t discard_input() override {
        const std::size_t waiting = input_.size();
        input_.clear();
        return waiting;
    }
    void set_data_handler(std::function<void(int)> handler) override { data_ = std::move(handler); }
    void set_lost_handler(std::function<void(const std::string&)>) override {}
    TimerHandle create_timer() override { return 0; }
    void start_timer(TimerHandle, int) override {}
    void stop_timer(TimerHandle) override {}
    void set_timer_handler(std::function<void(TimerHandle)>) override {}
    void pause(int) override {}

    // Delivers the bytes in notifications of `chunk` bytes, as a port's driver would.
    void deliver(const std::string& bytes, std::size_t chunk) {
        for (std::size_t at = 0; at < bytes.size(); at += chunk) {
            const std::size_t n = std::min(chunk, bytes.size() - at);
            input_.insert(input_.end(), bytes.begin() + static_cast<long>(at),
                          bytes.begin() + static_cast<long>(at + n));
            data_(static_cast<int>(n));
        }
    }

    std::size_t sent_bytes = 0;

  private:
    int baud_ = 9600;
    std::deque<char> input_;
    std::function<void(int)> data_;
};

struct QuietMessages final : MessageHandler {
    void show_error(const std::string&) override {}
    void show_info(const std::string&) override {}
    bool ask_yes_no(const std::string&) override { return false; }
};

// A configuration reply at the design limits, received and split into lines. Argument: 0 the
// port alone, 1 behind the trace's wrapper with no trace, 2 traced into a file.
void BM_ReceiveReply(benchmark::State& state) {
    std::string reply;
    for (const std::string& line : bench::design_limit_lines())
        reply += line + '\r';
    reply += "|\r";
    auto owned = std::make_unique<InstantPort>();
    InstantPort* port = owned.get();
    std::unique_ptr<SerialPort> linked = std::move(owned);
    const std::string trace_path = "/tmp/vexilo-bench-trace-" + std::to_string(::getpid());
    if (state.range(0) > 0) {
        auto traced = std::make_unique<TracedPort>(std::move(linked));
        std::string error;
        if (state.range(0) == 2 && !traced->start_file(trace_path, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        linked = std::move(traced);
    }
    Tnimbra_lib link(std::move(linked));
    // The reply's lines kept as the instrument operations keep them.
    std::vector<std::string> replies;
    link.add_listener([&replies](const LinkEvent& event) {
        if (event.kind == LinkEvent::Kind::Received) replies.push_back(event.text);
    });
    link.FormCreate();
    // At high speed, so each round is the request and its reply alone.
    link.run_command("GET_CONFIG", [] {});
    port->deliver("@\r", 2);
    port->deliver("|\r", 2);
    for (auto _ : state) {
        replies.clear();
        link.send_command("GET_CONFIG", [] {});
        port->deliver(reply, 64);
        benchmark::DoNotOptimize(replies.size());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(reply.size()));
    std::remove(trace_path.c_str());
}
BENCHMARK(BM_ReceiveReply)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// 500 queued download lines, each acknowledged at once.
void BM_QueueRoundTrips(benchmark::State& state) {
    QuietMessages quiet;
    ScopedMessageHandler scope(quiet);
    auto owned = std::make_unique<InstantPort>();
    InstantPort* port = owned.get();
    Tnimbra_lib link(std::move(owned));
    link.FormCreate();
    for (int i = 0; i < 500; ++i) {
        link.queue_command("DLD_OBJ Class3;Object" + std::to_string(i) +
                           ";12;3;Text;None;5;1;Other;None;7;2");
    }
    for (auto _ : state) {
        bool done = false;
        link.send_queue([&] { done = true; });
        while (!done)
            port->deliver("@\r", 2);
    }
    state.SetItemsProcessed(state.iterations() * 500);
}
BENCHMARK(BM_QueueRoundTrips)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vexilo

BENCHMARK_MAIN();
