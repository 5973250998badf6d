// nimbra-sim: the instrument simulator, for the demo, the tests and the benchmarks.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "config/messages.h"
#include "config/object_list_file.h"
#include "config/reader.h"
#include "config/text_file.h"
#include "instrument.h"
#include "options.h"
#include "sim_log.h"
#include "simulator.h"

namespace {

// Messages of the configuration core go to the log; the simulator asks no questions.
class LogMessages final : public vexilo::MessageHandler {
  public:
    void show_error(const std::string& text) override {
        last = text;
        log("error: " + text);
    }
    void show_info(const std::string& text) override { log("info: " + text); }
    bool ask_yes_no(const std::string& question) override {
        log("question (answered No): " + question);
        return false;
    }
    std::string last;

  private:
    static void log(const std::string& text) {
        vexilo::sim::log_line(vexilo::sim::printable(text));
    }
};

}  // namespace

int main(int argc, char** argv) {
    using namespace vexilo;
    using namespace vexilo::sim;
    const std::string default_config = NIMBRA_SIM_DEFAULT_CONFIG;

    std::string error;
    std::optional<Options> options = parse_options(argc, argv, default_config, error);
    if (!options) {
        log_line(error + " (see nimbra-sim --help)");
        return 2;
    }
    if (options->help) {
        print_help(default_config);
        return 0;
    }

    // A state file that cannot be written should be known now, not after a whole session.
    if (!options->state_path.empty()) {
        const std::filesystem::path folder =
            std::filesystem::absolute(options->state_path).parent_path();
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec)) {
            log_line("the folder of the state file " + options->state_path + " does not exist");
            return 1;
        }
    }

    LogMessages messages;
    ScopedMessageHandler scope(messages);

    auto lines = read_text_lines(options->config_path);
    if (!lines) {
        log_line("cannot read the configuration " + options->config_path);
        return 1;
    }
    LineOptions line_options;
    line_options.link_path = options->link_path;
    line_options.state_path = options->state_path;
    line_options.line_rate = options->line_rate;
    line_options.start_speed = options->speed;
    const int last_comment = last_comment_line(*lines);
    line_options.state_comments.assign(lines->begin(), lines->begin() + (last_comment + 1));

    auto config = std::make_unique<Configuration>();
    clear_configuration(*config);
    if (!read_configuration(*config, *lines)) {
        log_line("the configuration " + options->config_path +
                 " does not read: " + printable(messages.last));
        return 1;
    }
    log_line("configuration " + options->config_path + ": " + std::to_string(config->class_count) +
             " classes, " + std::to_string(config->object_count) + " objects");

    Instrument instrument(std::move(config), options->delay_ms);
    Simulator simulator(instrument, std::move(options->faults), std::move(line_options));
    return simulator.run();
}
