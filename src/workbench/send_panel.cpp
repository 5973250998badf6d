#include "workbench/send_panel.h"

#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include "link/ui/progress_bar_sink.h"
#include "workbench/folder_tree.h"

namespace vexilo {
namespace {

template <class Widget>
Widget* placed(Widget* widget, const SendPanel::Place& place) {
    widget->setObjectName(QLatin1String(place.name));
    if (place.width < 0) {
        widget->adjustSize();
        widget->move(place.left, place.top);
    } else {
        widget->setGeometry(place.left, place.top, place.width, place.height);
    }
    return widget;
}

// A caption centred over the control below it, its left edge where the window's design puts
// it when the text is as wide as the design's font makes it.
void centre_over(QLabel* caption, const QWidget* control) {
    caption->adjustSize();
    const int centre = control->x() + control->width() / 2;
    caption->move(centre - caption->width() / 2, caption->y());
}

}  // namespace

const SendPanel::Layout SendPanel::kSendTab = {"send_tab",
                                               {"directory_label", 7, 2, 581, 23},
                                               {"StaticText1", 63, 24},
                                               {"StaticText2", 343, 24},
                                               {"PTShellTree1", 16, 40, 245, 217},
                                               {"file_box", 280, 40, 289, 217},
                                               {"send_modules_button", 304, 271, 245, 25},
                                               {"send_mod_progress", 304, 304, 245, 13}};

const SendPanel::Layout SendPanel::kStandAlone = {"send_panel",
                                                  {"directory_label_1", 8, 6, 581, 20},
                                                  {"StaticText3", 64, 24},
                                                  {"StaticText4", 344, 24},
                                                  {"PTShellTree2", 12, 44, 245, 241},
                                                  {"file_box_1", 284, 44, 289, 241},
                                                  {"send_modules_button_1", 308, 287, 245, 25},
                                                  {"send_mod_progress_1", 308, 328, 245, 13}};

SendPanel::SendPanel(const Layout& layout, QWidget* parent) : QWidget(parent) {
    setObjectName(QLatin1String(layout.name));
    folder_label_ = placed(new QLabel(this), layout.folder_label);
    folder_label_->setAlignment(Qt::AlignCenter);
    tree_ = placed(new FolderTree(this), layout.tree);
    lists_ = placed(new QListWidget(this), layout.lists);
    lists_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lists_->setMouseTracking(true);
    lists_->viewport()->setMouseTracking(true);
    lists_->setUniformItemSizes(true);
    centre_over(
        placed(new QLabel(QStringLiteral("Choose Object List Folder"), this), layout.tree_caption),
        tree_);
    centre_over(placed(new QLabel(QStringLiteral("Object Lists"), this), layout.list_caption),
                lists_);
    send_button_ =
        placed(new QPushButton(QStringLiteral("&Send selected Object Lists to Nimbra"), this),
               layout.send_button);
    bar_ = placed(new QProgressBar(this), layout.bar);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    progress_ = std::make_unique<ProgressBarSink>(*bar_);
    connect(send_button_, &QPushButton::clicked, this, &SendPanel::send_clicked);
}

SendPanel::~SendPanel() = default;

void SendPanel::show_folder(const QString& caption) {
    folder_label_->setText(caption);
}

ProgressSink& SendPanel::progress() {
    return *progress_;
}

}  // namespace vexilo
