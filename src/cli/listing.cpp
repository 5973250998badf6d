#include <QFile>
#include <QPageSize>
#include <QPrinter>
#include <cstdio>

#include "cli.h"
#include "config/encoding.h"
#include "config/messages.h"
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
        const Listing result = build_listing(parsed.files);
        for (const std::string& line : result.lines)
            print_line(line);
        return result.complete ? kDone : kFailed;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(600);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setOutputFileName(QFile::decodeName(QByteArray::fromStdString(parsed.pdf)));
    return print_lists(printer, parsed.files, print_status) ? kDone : kFailed;
}

}  // namespace vexilo::cli
