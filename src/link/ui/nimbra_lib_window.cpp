#include "link/ui/nimbra_lib_window.h"

#include <QListWidget>

#include "config/encoding.h"

namespace vexilo {
namespace {

constexpr int kMargin = 8;
constexpr int kTopHeight = 237;

QString display_text(const std::string& line) {
    return QString::fromStdString(windows1252_to_utf8(line));
}

}  // namespace

Tnimbra_lib_window::Tnimbra_lib_window(Tnimbra_lib& link, QWidget* parent)
    : QWidget(parent, Qt::Window), link_(link) {
    setObjectName("nimbra_lib");
    setWindowTitle("nimbra_lib");
    resize(791, 519);

    const int top = kMargin;
    const int middle = top + kTopHeight + kMargin;
    const int bottom = middle + 153 + kMargin;
    cmd_box = add_view("cmd_box", link.cmd_box, kMargin, top, 281, kTopHeight);
    return_box = add_view("return_box", link.return_box, kMargin + 281 + 1, top, 221, kTopHeight);
    config_box =
        add_view("config_box", link.config_box, kMargin + 281 + 1 + 221 + 1, top, 269, kTopHeight);
    output_box = add_view("output_box", link.output_box, kMargin, middle, 773, 153);
    debug_box = add_view("debug_box", link.debug_box, kMargin, bottom, 773, 85);
}

Tnimbra_lib_window::~Tnimbra_lib_window() {
    for (LineBox* box : {&link_.cmd_box, &link_.return_box, &link_.config_box, &link_.output_box,
                         &link_.debug_box}) {
        box->remove_observer(this);
    }
}

QListWidget* Tnimbra_lib_window::add_view(const char* name, LineBox& box, int x, int y, int width,
                                          int height) {
    auto* view = new QListWidget(this);
    view->setObjectName(name);
    view->setGeometry(x, y, width, height);
    view->setUniformItemSizes(true);
    view->setSelectionMode(QAbstractItemView::NoSelection);
    for (const std::string& line : box.lines())
        view->addItem(display_text(line));
    views_[&box] = view;
    box.add_observer(this);
    return view;
}

void Tnimbra_lib_window::line_added(const LineBox& box, const std::string& line) {
    const auto found = views_.find(&box);
    if (found != views_.end()) found->second->addItem(display_text(line));
}

void Tnimbra_lib_window::box_cleared(const LineBox& box) {
    const auto found = views_.find(&box);
    if (found != views_.end()) found->second->clear();
}

}  // namespace vexilo
