#include "print_listing.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>
#include <string_view>

#include "config/encoding.h"
#include "config/messages.h"
#include "listing.h"
#include "page_layout.h"

namespace vexilo {
namespace {

constexpr int kLayoutDpi = 600;
// However narrow the page, a wrapped line keeps a readable piece on each line.
constexpr int kLeastColumnChars = 12;
constexpr const char* kContinuation = "  ";
constexpr std::string_view kChangeMark = " Last Change ";
constexpr std::string_view kContinuedMark = " (continued)";

QString display_text(const std::string& program_text) {
    return QString::fromStdString(windows1252_to_utf8(program_text));
}

std::string program_text(const QString& text) {
    return utf8_to_windows1252(text.toUtf8().toStdString());
}

// "NAME (continued)", the name cut short when the whole would not fit the column.
std::string continued_title(const std::string& name, std::size_t room) {
    if (name.size() + kContinuedMark.size() <= room) return name + std::string(kContinuedMark);
    const std::size_t keep =
        room > kContinuedMark.size() + 3 ? room - kContinuedMark.size() - 3 : 0;
    return name.substr(0, keep) + "..." + std::string(kContinuedMark);
}

// Positions are the tops of the lines, as the layout counts them.
void draw_at(QPainter& painter, int x, int top, const QString& text) {
    painter.drawText(x, top + painter.fontMetrics().ascent(), text);
}

}  // namespace

QFont listing_font() {
    // The system may stand in a metric twin for "Courier New" (Liberation Mono on Debian);
    // any fixed-pitch match keeps the columns, anything else falls back to the fixed font.
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    if (!QFontInfo(font).fixedPitch()) font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(10);
    font.setFixedPitch(true);
    return font;
}

std::vector<std::string> fit_to_width(const std::vector<std::string>& lines, int columns) {
    const std::size_t room = static_cast<std::size_t>(std::max(columns, kLeastColumnChars));
    std::vector<std::string> fitted;
    fitted.reserve(lines.size());
    for (const std::string& line : lines) {
        if (line.size() <= room) {
            fitted.push_back(line);
            continue;
        }
        // A header keeps its date in one piece: it breaks before " Last Change". Other lines
        // break at the last blank that leaves at least half a line, else at the edge. The rest
        // goes on indented, so it reads as the same line continued.
        std::string_view rest(line);
        std::size_t width = room;
        std::string indent;
        while (rest.size() > width) {
            std::size_t cut = rest.rfind(kChangeMark, width);
            if (cut == std::string_view::npos || cut == 0) {
                cut = rest.rfind(' ', width);
                if (cut == std::string_view::npos || cut < width / 2) cut = width;
            }
            fitted.push_back(indent + std::string(rest.substr(0, cut)));
            rest.remove_prefix(cut);
            while (!rest.empty() && rest.front() == ' ')
                rest.remove_prefix(1);
            indent = kContinuation;
            width = room - indent.size();
        }
        if (!rest.empty()) fitted.push_back(indent + std::string(rest));
    }
    return fitted;
}

bool print_listing(QPrinter& printer, const Listing& listing) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString file = printer.outputFileName();
        show_error(file.isEmpty() ? "Cannot print on " + program_text(printer.printerName())
                                  : "Cannot create file " + program_text(file));
        return false;
    }
    // The page is laid out at a fixed resolution and scaled to the printer's, so it looks the
    // same on every printer; sizes below are in layout dots.
    const double scale_x = printer.logicalDpiX() / double(kLayoutDpi);
    const double scale_y = printer.logicalDpiY() / double(kLayoutDpi);
    painter.scale(scale_x, scale_y);
    const int page_width = static_cast<int>(printer.width() / scale_x);
    const int page_height = static_cast<int>(printer.height() / scale_y);
    painter.setClipRect(0, 0, page_width, page_height);

    QFont font = listing_font();
    font.setPixelSize(10 * kLayoutDpi / 72);  // 10 points
    painter.setFont(font);
    const PageGeometry geometry = PageGeometry::of(kLayoutDpi, page_height);

    // A line that is wider than its column wraps instead of running into the next column or
    // off the page.
    const int char_width = std::max(1, painter.fontMetrics().horizontalAdvance(QLatin1Char('M')));
    const int left_room = geometry.column_x(1) - geometry.column_x(0) - char_width;
    const int right_room = page_width - geometry.column_x(1);
    const int room = std::min(left_room, right_room) / char_width;
    // Each piece of a wrapped line stays with its list.
    std::vector<std::string> fitted;
    std::vector<int> list_of_line;
    for (std::size_t i = 0; i < listing.lines.size(); ++i) {
        for (std::string& piece : fit_to_width({listing.lines[i]}, room)) {
            fitted.push_back(std::move(piece));
            list_of_line.push_back(i < listing.list_of_line.size() ? listing.list_of_line[i] : -1);
        }
    }

    const std::vector<PrintedPage> pages =
        lay_out_pages(fitted, geometry.lines_per_page, list_of_line);
    for (const PrintedPage& page : pages) {
        if (page.number > 1) printer.newPage();
        for (const PlacedLine& placed : page.lines) {
            std::string text = fitted[placed.index];
            if (placed.continued) {
                const int list = list_of_line[placed.index];
                text = continued_title(listing.names.at(static_cast<std::size_t>(list)),
                                       static_cast<std::size_t>(std::max(room, kLeastColumnChars)));
            }
            if (text.empty()) continue;
            draw_at(painter, geometry.column_x(placed.column), geometry.y_of(placed.line),
                    display_text(text));
        }
        draw_at(painter, geometry.page_number_x(), geometry.y_of(geometry.page_number_line()),
                QString::number(page.number));
    }
    return painter.end();
}

bool print_lists(QPrinter& printer, const std::vector<std::string>& paths,
                 const StatusCallback& status) {
    status("Printing modules");
    const Listing listing = build_listing(paths);
    if (!print_listing(printer, listing)) return false;
    status("Module descriptions printed");
    return listing.complete;
}

void print_selected_lists(const std::vector<std::string>& paths, QWidget* parent,
                          const StatusCallback& status) {
    if (paths.empty()) {
        show_error(kNothingSelectedToPrint);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted) return;
    print_lists(printer, paths, status);
}

}  // namespace vexilo
