#include "workbench/send_panel.h"

#include <cstdio>

#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include "config/text_fields.h"
#include "link/operations.h"
#include "link/ui/progress_bar_sink.h"
#include "workbench/folder_tree.h"

namespace vexilo {
namespace {

// Where a control stands in its panel, and its name there.
struct Place {
    const char* name;
    int left;
    int top;
    int width = -1;  // -1: as wide as its text
    int height = -1;
};

enum Control {
    FolderLabel,
    TreeCaption,
    ListCaption,
    Tree,
    Lists,
    SendButton,
    Bar,
    ChangedOnly,
    Controls
};

// Each control in the send tab and in the stand-alone panel.
const Place kPlaces[Controls][2] = {
    {{"directory_label", 7, 2, 581, 23}, {"directory_label_1", 8, 6, 581, 20}},
    {{"StaticText1", 63, 24}, {"StaticText3", 64, 24}},
    {{"StaticText2", 343, 24}, {"StaticText4", 344, 24}},
    {{"PTShellTree1", 16, 40, 245, 217}, {"PTShellTree2", 12, 44, 245, 241}},
    {{"file_box", 280, 40, 289, 217}, {"file_box_1", 284, 44, 289, 241}},
    {{"send_modules_button", 304, 271, 245, 25}, {"send_modules_button_1", 308, 287, 245, 25}},
    {{"send_mod_progress", 304, 304, 245, 13}, {"send_mod_progress_1", 308, 328, 245, 13}},
    // Under the tree, beside the send button.
    {{"changed_only_label", 16, 275, 245, 17}, {"changed_only_label_1", 12, 291, 245, 17}},
};

template <class Widget>
Widget* placed(Widget* widget, const Place& place) {
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

std::string download_summary(const OperationResult& result, const std::vector<std::string>& names) {
    constexpr std::size_t kNamesShown = 3;
    std::string text = decimal(result.total) + " objects";
    if (!names.empty()) {
        text += " of ";
        for (std::size_t i = 0; i < names.size() && i < kNamesShown; ++i)
            text += (i > 0 ? ", " : "") + names[i];
        if (names.size() > kNamesShown) {
            text += " and " + decimal(static_cast<std::int64_t>(names.size() - kNamesShown)) +
                    " more lists";
        }
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", result.seconds);
    text += " downloaded in " + std::string(seconds) + " s";
    if (result.unchanged >= 0) text += ", " + decimal(result.unchanged) + " already in the Nimbra";
    // The summary replaces the service's last status; a read-back must not vanish with it.
    if (result.verification.state == Verification::State::Passed)
        text += ", " + decimal(result.verification.verified) + " objects verified";
    return text;
}

SendPanel::SendPanel(Presentation presentation, QWidget* parent) : QWidget(parent) {
    const int column = presentation == Presentation::SendTab ? 0 : 1;
    const auto at = [column](Control control) { return kPlaces[control][column]; };
    setObjectName(QLatin1String(column == 0 ? "send_tab" : "send_panel"));
    folder_label_ = placed(new QLabel(this), at(FolderLabel));
    folder_label_->setAlignment(Qt::AlignCenter);
    tree_ = placed(new FolderTree(this), at(Tree));
    lists_ = placed(new QListWidget(this), at(Lists));
    lists_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lists_->setMouseTracking(true);
    lists_->viewport()->setMouseTracking(true);
    lists_->setUniformItemSizes(true);
    centre_over(
        placed(new QLabel(QStringLiteral("Choose Object List Folder"), this), at(TreeCaption)),
        tree_);
    centre_over(placed(new QLabel(QStringLiteral("Object Lists"), this), at(ListCaption)), lists_);
    auto* send_button =
        placed(new QPushButton(QStringLiteral("&Send selected Object Lists to Nimbra"), this),
               at(SendButton));
    auto* bar = placed(new QProgressBar(this), at(Bar));
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    progress_ = std::make_unique<ProgressBarSink>(*bar);
    changed_only_label_ =
        placed(new QLabel(QStringLiteral("Only changed objects are sent"), this), at(ChangedOnly));
    changed_only_label_->setAlignment(Qt::AlignCenter);
    changed_only_label_->setVisible(false);
    connect(send_button, &QPushButton::clicked, this, &SendPanel::send_clicked);
}

SendPanel::~SendPanel() = default;

void SendPanel::show_folder(const QString& caption) {
    folder_label_->setText(caption);
}

void SendPanel::show_changed_only(bool on) {
    changed_only_label_->setVisible(on);
}

ProgressBarSink& SendPanel::progress() {
    return *progress_;
}

}  // namespace vexilo
