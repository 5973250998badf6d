#include <QCoreApplication>
#include <QGuiApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

#include "cli.h"
#include "cli_messages.h"
#include "config/encoding.h"
#include "link/ending_signals.h"

namespace vexilo::cli {
namespace {

struct Command {
    int (*run)(const Args&, const Options&);
    const char* synopsis;
    const char* help;
    // Commands that draw (printing into a PDF) need a GUI application; the rest run with a
    // core application and never need a display.
    bool (*needs_gui)(const Args&) = nullptr;
};

const std::map<std::string, Command>& commands() {
    static const std::map<std::string, Command> table = {
        {"check",
         {check, "check FILE",
          "Read FILE (an object list file or a saved configuration reply) and print each\n"
          "      object's display line (Class:Object)."}},
        {"rewrite",
         {rewrite, "rewrite IN OUT",
          "Read IN and write it to OUT with the object list writer, keeping IN's comment\n"
          "      block."}},
        {"comments",
         {comments, "comments FILE [--set TEXTFILE]",
          "Print FILE's comment block (the lines before [LISTS]), or replace it with the\n"
          "      lines of TEXTFILE, keeping every other line."}},
        {"convert",
         {convert, "convert SOURCE DEST -o OUT [--object NAME]... [--log]",
          "Carry SOURCE's objects (all, or the named ones) into DEST's lists and classes\n"
          "      with the careful add, overwriting same-named objects, and write OUT with\n"
          "      DEST's comment block. Refused objects are reported as info lines. --log\n"
          "      prints the conversion's report lines on stdout (without time stamps)."}},
        {"download-lines",
         {download_lines, "download-lines --instrument CONFIG FILE...",
          "The download of the object list FILEs as a dry run against the instrument\n"
          "      configuration in CONFIG: the DLD_OBJ lines on stdout. When anything does\n"
          "      not fit: nothing on stdout, the message, status Download cancelled, exit 1."}},
        {"listing",
         {listing, "listing FILE... [--pdf OUT]",
          "Print the description listing of the object list FILEs: its lines on stdout, or\n"
          "      with --pdf the printed pages (two columns, page numbers) into the PDF file OUT.",
          listing_needs_gui}},
        {"describe",
         {describe, "describe FILE OBJECT",
          "Describe OBJECT of the object list FILE: one line per field, the field's name,\n"
          "      value text and units text separated by tabs."}},
        {"ports",
         {ports, "ports [COMn DEVICE]",
          "List the devices behind COM1 to COM9 and the serial devices present (description,\n"
          "      maker, serial number, stable name, latency timer), or set the device behind\n"
          "      COMn (an adapter's stable name is stored where it has one; an empty DEVICE\n"
          "      returns COMn to its default). DEVICE may be a device server on the network,\n"
          "      rfc2217://HOST:PORT or socket://HOST:PORT."}},
        {"get-config",
         {get_config, "get-config [-o OUT]",
          "Read the instrument's configuration (GET_CONFIG) and save it as the object list\n"
          "      file OUT, or without -o print each object's display line."}},
        {"send",
         {send, "send [--changed-only] [--verify] FILE...",
          "Send every object of the object list FILEs, as the operator's send of lists:\n"
          "      the instrument's configuration first, then each object checked against it.\n"
          "      Nothing is sent when any object does not fit. --changed-only sends only\n"
          "      the objects the instrument does not already hold as the lists have them.\n"
          "      --verify reads the configuration back after the send: every sent object\n"
          "      must be stored as sent and no other object changed (exit 1 naming each\n"
          "      object and field that differs, sent -> stored)."}},
        {"plan",
         {plan, "plan [--json] [--instrument SAVED] FILE...",
          "Compare the object list FILEs with the instrument's configuration (or with\n"
          "      SAVED, written by get-config -o, without a port) and print each object as\n"
          "      new, changed (fields with old -> new values), unchanged, misfit or only on\n"
          "      the instrument, then the counts. Sends nothing. Exit 1 on a misfit."}},
        {"send-objects",
         {send_objects, "send-objects [--verify] FILE [--object NAME]...",
          "Send the named objects of the object list FILE (all of them without --object),\n"
          "      each checked against the instrument's configuration. --verify as for send."}},
        {"remove-all",
         {remove_all, "remove-all --yes",
          "Remove all objects from the instrument (RES_OBJECTS). Without --yes the\n"
          "      question is answered No and nothing is sent."}},
        {"restart", {restart, "restart", "Restart the instrument (RSTRT)."}},
        {"audit",
         {audit, "audit list|show|verify|export ...",
          "The audit trail of every instrument operation: 'audit list [--since DATE]\n"
          "      [--json]' one line per operation, newest first; 'audit show ID [--before\n"
          "      -o FILE]' one record with its changes field by field (--before: the\n"
          "      configuration read before the send, written as a list file); 'audit\n"
          "      verify' checks every record and the hash chain (exit 1 naming the first\n"
          "      that does not match); 'audit export --csv FILE' or '--pdf FILE'.",
          audit_needs_gui}},
    };
    return table;
}

void print_help() {
    std::printf(
        "Usage: vexilo-cli [--yes] [--port PORT] [--trace FILE] [--reason TEXT] COMMAND [ARGUMENTS]\n"
        "       vexilo-cli --help | --version\n\n"
        "The Vexilo workbench without a window: one command per operator task.\n\n"
        "Commands:\n");
    for (const auto& [name, command] : commands()) {
        std::printf("  %s\n      %s\n", command.synopsis, command.help);
    }
    std::printf(
        "\nOptions:\n"
        "  --yes        answer Yes to every question\n"
        "  --port PORT  the instrument's serial port: COMn, n, a device path, or a device\n"
        "               server on the network: rfc2217://HOST:PORT (RFC 2217, the speed\n"
        "               switch works) or socket://HOST:PORT (raw TCP, every command at\n"
        "               9600 baud) (default: the port stored in the settings)\n"
        "  --trace FILE add every line sent and received to FILE, with millisecond time\n"
        "               stamps and the hex of bytes outside printable ASCII\n"
        "  --reason TEXT\n"
        "               why: kept with the operation's record in the audit trail (a\n"
        "               change without one is refused when reasons are required)\n\n"
        "Messages go to stderr as \"error: \", \"info: \", \"question: \" and \"status: \" lines.\n"
        "Exit status: 0 done, 1 the operation failed or stopped, 2 wrong usage,\n"
        "128 + the signal's number when SIGINT, SIGTERM or SIGHUP stopped an instrument\n"
        "command (after the command in flight was answered and the line set back to 9600).\n"
        "A signal ignored at start (nohup, a script's background job) stays ignored.\n");
}

// The first failed write to stdout (its errno), 0 while every write went through.
int stdout_error = 0;

void note_stdout_error() {
    if (stdout_error == 0) stdout_error = errno != 0 ? errno : EIO;
}

// What the command's status becomes once its output is known to be out (or not).
int settle_stdout(int status) {
    // Also a failure of output that did not go through print_line.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) note_stdout_error();
    if (stdout_error == 0) return status;
    std::fprintf(stderr, "error: Cannot write to standard output: %s\n",
                 std::strerror(stdout_error));
    return status == kDone ? kFailed : status;
}

}  // namespace

std::string terminal_text(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    const auto escape = [&out](unsigned char code) {
        static constexpr char kHex[] = "0123456789abcdef";
        if (code == '\n' || code == '\r') {
            out += code == '\n' ? "\\n" : "\\r";
        } else {
            out += "\\x";
            out += kHex[code >> 4];
            out += kHex[code & 0xF];
        }
    };
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            escape(c);
        } else if (c == 0xC2 && next >= 0x80 && next < 0xA0) {
            escape(next);
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int usage_error(const std::string& text) {
    std::fprintf(stderr, "error: %s (see vexilo-cli --help)\n", terminal_text(text).c_str());
    return kUsage;
}

void print_line(const std::string& text) {
    // Once stdout has failed (a reader that went away), the rest is not written either.
    if (stdout_error != 0) return;
    const std::string out = terminal_text(windows1252_to_utf8(text)) + '\n';
    errno = 0;
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) note_stdout_error();
}

void print_status(const std::string& text) {
    std::fprintf(stderr, "status: %s\n", terminal_text(windows1252_to_utf8(text)).c_str());
    std::fflush(stderr);
}

// A command that draws gets a GUI application; without a platform chosen it draws
// offscreen, since vexilo-cli never shows a window.
std::unique_ptr<QCoreApplication> make_application(int& argc, char** argv, bool gui) {
    if (!gui) return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

int run(int& argc, char** argv) {
    ignore_write_signals();
    Options options;
    std::string name;
    Args args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (name.empty() && (arg == "--help" || arg == "-h")) {
            print_help();
            return kDone;
        }
        if (name.empty() && arg == "--version") {
            std::printf("vexilo-cli %s\n", VEXILO_VERSION_TEXT);
            return kDone;
        }
        if (arg == "--yes") {
            options.yes = true;
        } else if (arg == "--port") {
            if (i + 1 >= argc) return usage_error("--port needs a value");
            options.port = argv[++i];
        } else if (arg == "--reason") {
            if (i + 1 >= argc) return usage_error("--reason needs a text");
            options.reason = argv[++i];
        } else if (arg == "--trace") {
            if (i + 1 >= argc) return usage_error("--trace needs a file");
            options.trace = argv[++i];
        } else if (name.empty()) {
            name = arg;
        } else {
            // Device paths of "ports" stay the system's bytes.
            args.push_back(name == "ports" ? arg : program_argument(arg));
        }
    }
    if (name.empty()) return usage_error("no command given");
    const auto found = commands().find(name);
    if (found == commands().end()) return usage_error("unknown command '" + name + "'");
    const Command& command = found->second;
    const auto app = make_application(argc, argv, command.needs_gui && command.needs_gui(args));
    QCoreApplication::setApplicationName("vexilo-cli");
    QCoreApplication::setApplicationVersion(VEXILO_VERSION_TEXT);
    CliMessages messages(options.yes);
    ScopedMessageHandler scope(messages);
    int status = settle_stdout(command.run(args, options));
    // A signal that came after its command's event loop had ended counts only when the
    // command failed: one that comes while a finished command prints or returns the line to
    // 9600 baud stopped nothing.
    if (const int signal_number = EndingSignals::caught(); signal_number != 0 && status != kDone) {
        status = kSignalBase + signal_number;
    }
    return status;
}

}  // namespace vexilo::cli

int main(int argc, char** argv) {
    return vexilo::cli::run(argc, argv);
}
