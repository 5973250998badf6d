#include "link/ui/nimbra_lib_window.h"

#include <QListWidget>

#include "config/encoding.h"
#include "link/line_trace.h"

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
    cmd_box_ = add_view("cmd_box", kMargin, top, 281, kTopHeight);
    return_box_ = add_view("return_box", kMargin + 281 + 1, top, 221, kTopHeight);
    config_box_ = add_view("config_box", kMargin + 281 + 1 + 221 + 1, top, 269, kTopHeight);
    output_box_ = add_view("output_box", kMargin, middle, 773, 153);
    debug_box_ = add_view("debug_box", kMargin, bottom, 773, 85);
    for (const std::string& line : link.queue())
        add_line(*cmd_box_, line);
    listener_ = link.add_listener([this](const LinkEvent& event) { take(event); });
}

Tnimbra_lib_window::~Tnimbra_lib_window() {
    link_.remove_listener(listener_);
    if (auto* traced = dynamic_cast<TracedPort*>(&link_.port())) traced->set_line_listener({});
}

void Tnimbra_lib_window::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (auto* traced = dynamic_cast<TracedPort*>(&link_.port())) {
        traced->set_line_listener([this](const std::string& line) { add_line(*debug_box_, line); });
    }
}

void Tnimbra_lib_window::hideEvent(QHideEvent* event) {
    if (auto* traced = dynamic_cast<TracedPort*>(&link_.port())) traced->set_line_listener({});
    QWidget::hideEvent(event);
}

QListWidget* Tnimbra_lib_window::add_view(const char* name, int x, int y, int width, int height) {
    auto* view = new QListWidget(this);
    view->setObjectName(name);
    view->setGeometry(x, y, width, height);
    view->setUniformItemSizes(true);
    view->setSelectionMode(QAbstractItemView::NoSelection);
    return view;
}

void Tnimbra_lib_window::add_line(QListWidget& view, const std::string& line) {
    if (view.count() >= kMaxLines) delete view.takeItem(0);
    view.addItem(display_text(line));
}

void Tnimbra_lib_window::take(const LinkEvent& event) {
    using Kind = LinkEvent::Kind;
    switch (event.kind) {
        case Kind::Sent:
        case Kind::Note:
            add_line(*output_box_, event.text);
            break;
        case Kind::Received:
            add_line(*return_box_, event.text);
            break;
        case Kind::Queued:
            add_line(*cmd_box_, event.text);
            break;
        case Kind::QueueCleared:
            cmd_box_->clear();
            break;
        case Kind::ReplyStarted:
            return_box_->clear();
            break;
        case Kind::LogCleared:
            output_box_->clear();
            debug_box_->clear();
            break;
        case Kind::FileLines:
            config_box_->clear();
            if (event.lines != nullptr) {
                for (const std::string& line : *event.lines)
                    add_line(*config_box_, line);
            }
            break;
        case Kind::SentUnlogged:
        case Kind::Dropped:
            break;
    }
}

}  // namespace vexilo
