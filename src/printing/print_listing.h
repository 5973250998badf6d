#pragma once
// Printing the description listing of object list files: the menu action of the main
// window, and the same printing for vexilo-cli's PDF output.

#include <QFont>
#include <functional>
#include <string>
#include <vector>

class QPrinter;
class QWidget;

namespace vexilo {

struct Listing;

// Receives the status texts; the main window passes the link's set_status.
using StatusCallback = std::function<void(const std::string&)>;

inline constexpr const char* kNothingSelectedToPrint =
    "No modules selected -- no descriptions printed!";

// "Courier New" 10 points, or the system's fixed-pitch font in 10 points where that is missing.
QFont listing_font();

// The lines broken so that none is longer than the given number of characters; the pieces
// after the first are indented by two blanks. Empty lines and short lines stay as they are.
std::vector<std::string> fit_to_width(const std::vector<std::string>& lines, int columns);

// Sets the listing on the printer as one document, laid out at 600 dots per inch and scaled to
// the printer's resolution and printable page; a list that goes on in another column repeats
// its name there. False, with a message shown, when the printer cannot start the document.
bool print_listing(QPrinter& printer, const Listing& listing);

// Builds the listing of the lists at the paths and prints it, with the status texts "Printing
// modules" and "Module descriptions printed". True when every list was read and the
// document was printed.
bool print_lists(QPrinter& printer, const std::vector<std::string>& paths,
                 const StatusCallback& status);

// The menu command: the paths of the selected lists; nothing selected gives an error, the
// print dialog lets the operator choose the printer, and cancelling it changes nothing.
void print_selected_lists(const std::vector<std::string>& paths, QWidget* parent,
                          const StatusCallback& status);

}  // namespace vexilo
