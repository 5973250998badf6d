#include "options.h"

#include <charconv>
#include <cstdio>
#include <string_view>

namespace vexilo::sim {

std::optional<Options> parse_options(int argc, char** argv, const std::string& default_config,
                                     std::string& error) {
    Options options;
    options.config_path = default_config;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::optional<std::string_view> inline_value;
        if (arg.starts_with("--")) {
            if (const auto equals = arg.find('='); equals != std::string_view::npos) {
                inline_value = arg.substr(equals + 1);
                arg = arg.substr(0, equals);
            }
        }
        const auto value = [&](std::string_view& out) {
            if (inline_value) {
                out = *inline_value;
            } else if (i + 1 < argc) {
                out = argv[++i];
            } else {
                error = std::string(arg) + " needs a value";
                return false;
            }
            if (out.empty()) {
                error = std::string(arg) + " needs a value";
                return false;
            }
            return true;
        };
        std::string_view text;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--line-rate") {
            if (inline_value) {
                error = "--line-rate takes no value";
                return std::nullopt;
            }
            options.line_rate = true;
        } else if (arg == "--config") {
            if (!value(text)) return std::nullopt;
            options.config_path = text;
        } else if (arg == "--link") {
            if (!value(text)) return std::nullopt;
            options.link_path = text;
        } else if (arg == "--state") {
            if (!value(text)) return std::nullopt;
            options.state_path = text;
        } else if (arg == "--delay-ms") {
            if (!value(text)) return std::nullopt;
            int ms = -1;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), ms);
            if (ec != std::errc() || end != text.data() + text.size() || ms < 0 || ms > 600000) {
                error = "--delay-ms needs a whole number of milliseconds from 0 to 600000, not \"" +
                        std::string(text) + "\"";
                return std::nullopt;
            }
            options.delay_ms = ms;
        } else if (arg == "--speed") {
            if (!value(text)) return std::nullopt;
            if (text != "9600" && text != "38400") {
                error = "--speed takes 9600 or 38400, not \"" + std::string(text) + "\"";
                return std::nullopt;
            }
            options.speed = text == "9600" ? 9600 : 38400;
        } else if (arg == "--fault") {
            if (!value(text)) return std::nullopt;
            std::string reason;
            auto fault = parse_fault(text, reason);
            if (!fault) {
                error = "bad fault \"" + std::string(text) + "\": " + reason;
                return std::nullopt;
            }
            options.faults.add(std::move(*fault));
        } else if (arg.starts_with("-")) {
            error = "unknown option " + std::string(arg);
            return std::nullopt;
        } else {
            error = "unexpected argument \"" + std::string(arg) + "\"";
            return std::nullopt;
        }
    }
    return options;
}

void print_help(const std::string& default_config) {
    std::printf(
        "Usage: nimbra-sim [--config FILE] [--link PATH] [--state FILE] [--line-rate]\n"
        "                  [--delay-ms N] [--speed 9600|38400] [--fault FAULT]...\n"
        "       nimbra-sim --help\n\n"
        "Simulates the Nimbra instrument on a pseudo-terminal. Prints \"port: DEVICE\" on\n"
        "stdout once the port is ready, answers until SIGTERM or SIGINT, and logs every\n"
        "command and its reply, and every change of its line speed, on stderr.\n\n"
        "  --config FILE   the instrument's configuration, an object list file\n"
        "                  (default: %s)\n"
        "  --link PATH     keep a symbolic link at PATH pointing at the port\n"
        "  --state FILE    write the instrument's configuration and objects to FILE as an\n"
        "                  object list file whenever the last client closes the port, at a\n"
        "                  hang-up and when stopping\n"
        "  --line-rate     pace every byte sent and received at the line speed\n"
        "                  (10 bits a byte), as a real cable does\n"
        "  --delay-ms N    RES_OBJECTS answers after N milliseconds (default 0)\n"
        "  --speed RATE    the line speed at start, 9600 (default) or 38400: an instrument\n"
        "                  that a session ended without switching back left at 38400\n"
        "  --fault FAULT   inject a fault; may be given several times:\n"
        "      silent:CMD        never answer CMD\n"
        "      refuse:CMD:TEXT   answer CMD with \"@TEXT\" and do nothing\n"
        "      slow:CMD:MS       do CMD at once, but answer it only after MS milliseconds\n"
        "      stall:N           stop the GET_CONFIG reply after N lines\n"
        "      lf                send LF after each CR\n"
        "      noise             send a line of random bytes after each reply\n"
        "      hangup:N          close the port after answering N commands; a new port\n"
        "                        follows (new \"port:\" line, the link moves with it)\n"
        "      reboot            return to 9600 baud after answering RSTRT\n"
        "      babble            answer GET_CONFIG with bytes without CR that never stop\n"
        "      endless           answer GET_CONFIG with data lines that never stop, no\n"
        "                        end line\n"
        "      stray[:CMD]       send an extra \"@\" right after the last line of a reply\n"
        "                        (to CMD only, when given), in the same burst\n"
        "      early             leave an \"@\" waiting on the line for the next client\n"
        "                        that opens the port\n"
        "      misstore          acknowledge a DLD_OBJ with \"@\" but store the object with\n"
        "                        one value changed (its first number, choice or text)\n"
        "    CMD is a command word (GET_CONFIG, DLD_OBJ, SET_BAUD, ...) or a whole command\n"
        "    line (\"SET_BAUD 9600\"). FAULT@K applies the fault to its first K occurrences\n"
        "    only. Of several faults for the same command, the first one given that still\n"
        "    has occurrences left applies.\n\n"
        "Exit status: 0 stopped by a signal, 1 the configuration did not read or the port\n"
        "or state file failed, 2 wrong usage.\n",
        default_config.c_str());
}

}  // namespace vexilo::sim
