#include "print_listing.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "config/encoding.h"
#include "config/messages.h"
#include "listing.h"
#include "page_layout.h"

namespace vexilo {
namespace {

QString display_text(const std::string& program_text) {
    return QString::fromStdString(windows1252_to_utf8(program_text));
}

std::string program_text(const QString& text) {
    return utf8_to_windows1252(text.toUtf8().toStdString());
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

bool print_listing(QPrinter& printer, const std::vector<std::string>& lines) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString file = printer.outputFileName();
        show_error(file.isEmpty() ? "Cannot print on " + program_text(printer.printerName())
                                  : "Cannot create file " + program_text(file));
        return false;
    }
    painter.setFont(listing_font());
    const PageGeometry geometry = PageGeometry::of(printer.logicalDpiY(), printer.height());
    const std::vector<PrintedPage> pages = lay_out_pages(lines, geometry.lines_per_page);
    for (const PrintedPage& page : pages) {
        if (page.number > 1) printer.newPage();
        for (const PlacedLine& placed : page.lines) {
            const std::string& text = lines[placed.index];
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
    if (!print_listing(printer, listing.lines)) return false;
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
