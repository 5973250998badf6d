#include <QFile>
#include <QPageSize>
#include <QPrinter>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>

#include "cli.h"
#include "config/encoding.h"
#include "config/messages.h"
#include "config/text_file.h"
#include "printing/listing.h"
#include "printing/print_listing.h"

namespace vexilo::cli {
namespace {

struct ListingArgs {
    std::vector<std::string> files;
    std::string pdf;
    bool to_pdf = false;
};

// Empty text: the arguments are fine.
std::string parse(const Args& args, ListingArgs& out) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--pdf") {
            out.files.push_back(args[i]);
            continue;
        }
        if (out.to_pdf) return "listing takes one --pdf";
        if (i + 1 >= args.size() || args[i + 1].empty()) return "--pdf needs a file name";
        out.to_pdf = true;
        out.pdf = args[++i];
    }
    return {};
}

// Beside the target when that is a regular file or none (so that the target's next save
// removes it, should printing be killed), else in the temporary folder: never in /dev.
std::string print_file_name(const std::string& target) {
    std::error_code error;
    const auto kind = std::filesystem::status(target, error).type();
    if (kind == std::filesystem::file_type::regular ||
        kind == std::filesystem::file_type::not_found) {
        return temporary_file_name(target);
    }
    return temporary_file_name(
        (std::filesystem::temp_directory_path(error) / "vexilo-listing.pdf").string());
}

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A PDF that was written to its end: its header, and "%%EOF" as its last line.
bool complete_pdf(std::string_view bytes) {
    if (!bytes.starts_with("%PDF-")) return false;
    while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r' || bytes.back() == ' '))
        bytes.remove_suffix(1);
    return bytes.ends_with("%%EOF");
}

}  // namespace

bool listing_needs_gui(const Args& args) {
    ListingArgs parsed;
    return parse(args, parsed).empty() && parsed.to_pdf;
}

int listing(const Args& args, const Options&) {
    ListingArgs parsed;
    if (const std::string problem = parse(args, parsed); !problem.empty()) {
        return usage_error(problem);
    }
    if (parsed.files.empty()) {
        show_error(kNothingSelectedToPrint);
        return kFailed;
    }
    if (!parsed.to_pdf) {
        const Listing result = build_listing(system_paths(parsed.files));
        for (const std::string& line : result.lines)
            print_line(line);
        return result.complete ? kDone : kFailed;
    }
    // The PDF is printed into a temporary file and checked before it takes the place of OUT
    // through the safe writer: a full disk or a failed print leaves the old OUT as it was
    // and says so, instead of a cut file and a report of success.
    const std::string target = system_path(parsed.pdf);
    const std::string temporary = print_file_name(target);
    std::string done_status;
    bool printed = false;
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setResolution(600);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setOutputFileName(QFile::decodeName(QByteArray::fromStdString(temporary)));
        printed = print_lists(printer, system_paths(parsed.files), [&](const std::string& text) {
            if (text == "Module descriptions printed") {
                done_status = text;
            } else {
                print_status(text);
            }
        });
    }  // the printer finishes the file when it goes
    const std::string bytes = file_bytes(temporary);
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    if (!complete_pdf(bytes) || !write_file_atomically(target, bytes)) {
        show_error("Cannot create file " + parsed.pdf);
        return kFailed;
    }
    if (!done_status.empty()) print_status(done_status);
    return printed ? kDone : kFailed;
}

}  // namespace vexilo::cli
