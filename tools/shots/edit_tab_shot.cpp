// Renders the "Edit Object Lists" page into a PNG file, as the operator sees it after loading a
// source, adding its objects and selecting some, so that layout faults (clipped captions,
// overlapping controls) can be seen: edit_tab_shot OUT.png [SOURCE.nol]

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>

#include "dialogs/comment_form.h"
#include "dialogs/message_boxes.h"
#include "dialogs/new_object.h"
#include "dialogs/object_description.h"
#include "dialogs/yes_to_all.h"
#include "workbench/edit_lists_tab.h"

namespace {

using namespace vexilo;

class OneFile final : public ListFileChooser {
  public:
    explicit OneFile(std::string path) : path_(std::move(path)) {}
    std::optional<std::string> open_list(const std::string&) override { return path_; }
    std::optional<std::string> save_list(const std::string&) override { return std::nullopt; }

  private:
    std::string path_;
};

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir settings_folder;
    qputenv("VEXILO_SETTINGS", settings_folder.filePath("settings").toLocal8Bit());
    qputenv("VEXILO_AUDIT", settings_folder.filePath("audit.sqlite").toLocal8Bit());
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: edit_tab_shot OUT.png [SOURCE.nol]\n");
        return 2;
    }
    MessageBoxHandler boxes;
    ScopedMessageHandler scope(boxes);
    EditState state;
    Tnew_object new_object(*state.destination);
    Tyes_to_all yes_to_all;
    Tcomment_form comment_form;
    Tobject_description description;
    OneFile files(argc > 2 ? argv[2] : "");
    EditListsTab tab(state);
    tab.set_dialogs({&new_object, &yes_to_all, &comment_form, &description});
    // No instrument: the page reads the list file itself.
    EditServices services;
    services.files = &files;
    tab.set_services(services);
    if (argc > 2) {
        tab.get_objects_buttonClick();
        tab.add_all_buttonClick();
        tab.object_box->item(1)->setSelected(true);
        tab.new_list_box->setCurrentRow(2);
        tab.load_progress->setValue(100);
        tab.send_progress->setValue(40);
    }
    tab.resize(596, 326);
    tab.show();
    QApplication::processEvents();
    if (!tab.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s\n", argv[1]);
    return 0;
}
