// Renders every dialog, filled as the operator meets it, into PNG files, so that layout faults
// (clipped texts, crowded controls) can be seen: dialog_shots OUT_FOLDER [instrument.nol]

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "config/field_text.h"
#include "config/reader.h"
#include "config/text_file.h"
#include "dialogs/about_form.h"
#include "dialogs/comment_form.h"
#include "dialogs/copy_dialog.h"
#include "dialogs/editcomm_form.h"
#include "dialogs/folder_form.h"
#include "dialogs/new_object.h"
#include "dialogs/object_description.h"
#include "dialogs/yes_to_all.h"
#include "settings/settings.h"

namespace {

QString out_folder;

void shoot(QWidget& window, const QString& name) {
    window.show();
    QApplication::processEvents();
    const QString path = QDir(out_folder).filePath(name + ".png");
    window.grab().save(path);
    std::printf("%s\n", qPrintable(path));
    window.hide();
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir settings_folder;
    qputenv("VEXILO_SETTINGS", settings_folder.filePath("settings").toLocal8Bit());
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: dialog_shots OUT_FOLDER [instrument.nol]\n");
        return 2;
    }
    out_folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out_folder);
    using namespace vexilo;

    auto config = std::make_unique<Configuration>();
    clear_configuration(*config);
    if (argc > 2) {
        auto lines = read_text_lines(argv[2]);
        if (!lines || !read_configuration(*config, *lines)) {
            std::fprintf(stderr, "cannot read %s\n", argv[2]);
            return 1;
        }
    }

    Tcopy_dialog copy_dialog;
    copy_dialog.old_name = "Tray1";
    copy_dialog.new_name = "Tray2";
    shoot(copy_dialog, "copy_dialog");

    Tyes_to_all yes_to_all;
    yes_to_all.Question->setText(
        QString::fromStdString(overwrite_question_text("AVeryLongObjectNameOf24Ch")));
    shoot(yes_to_all, "yes_to_all");

    store_folder_list({"/home/operator/lists", "/srv/nimbra/object lists/bench 2", "/tmp"});
    Tfolder_form folder_form;
    shoot(folder_form, "folder_form");

    Tcomment_form comment_form;
    comment_form.comments_memo->setPlainText("Pumps and valves of bench 2\nChecked 2024-03-01");
    shoot(comment_form, "comment_form");

    Teditcommform editcommform;
    editcommform.Memo1->setPlainText("Wash programme\nUse after every assay");
    shoot(editcommform, "editcommform");

    Tabout_form about_form;
    shoot(about_form, "about_form");

    Tobject_description description;
    for (int i = 0; i < config->object_count; ++i) {
        const ObjectRecord& object = config->objects[i];
        const ClassRecord& cls = config->classes[object.class_index];
        DescriptionGrid& grid = description.grid();
        grid.set_grid_size(cls.field_count, 3);
        grid.set_column_width(0, 100);
        grid.set_column_width(1, 60);
        grid.set_column_width(2, 40);
        for (int f = 0; f < cls.field_count; ++f) {
            grid.set_cell(0, f, std::string(text_of(cls.fields[f].name)));
            grid.set_cell(1, f, field_value_text(*config, object, f));
            grid.set_cell(2, f, field_units_text(cls.fields[f]));
        }
        description.show_description(display_line(*config, i));
        shoot(description, "object_description_" + QString::number(i));
    }

    Tnew_object new_object(*config);
    for (int c = 0; c < config->class_count; ++c) {
        new_object.target_index = -1;
        new_object.show();
        new_object.object_class->setCurrentIndex(c);
        new_object.object_name->setText("New" + QString::number(c));
        shoot(new_object, "new_object_class_" +
                              QString::fromLatin1(
                                  text_of(config->classes[c].name).data(),
                                  static_cast<qsizetype>(text_of(config->classes[c].name).size())));
    }
    for (int i = 0; i < config->object_count; ++i) {
        new_object.target_index = i;
        shoot(new_object, "new_object_edit_" + QString::number(i));
    }

    // The widest case: 24 fields of every kind with the longest names and texts.
    auto wide = std::make_unique<Configuration>();
    clear_configuration(*wide);
    std::vector<std::string> lines = {"[LISTS]", "1;2;AVeryLongEntryNameOf24C;Short", "[CLASSES]",
                                      "!AClassNameOfTwentyFour24"};
    for (int f = 1; f <= 24; ++f) {
        const std::string name = "FieldNameOfLength24Chr" + std::to_string(10 + f);
        switch (f % 4) {
            case 0:
                lines.push_back(name + ";-2147483648;2147483647;0;1;mm/s");
                break;
            case 1:
                lines.push_back("#" + name + ";0;1;0;1");
                break;
            case 2:
                lines.push_back("&" + name);
                break;
            case 3:
                lines.push_back(name + ";AClassNameOfTwentyFour24");
                break;
        }
    }
    lines.push_back("[OBJECTS]");
    std::string object = "AClassNameOfTwentyFour24;ObjectNameOfLength24Chr";
    for (int f = 1; f <= 24; ++f) {
        switch (f % 4) {
            case 0:
                object += ";-2147483648";
                break;
            case 1:
                object += ";0";
                break;
            case 2:
                object += ";WWWWWWWWWWWWWWW";
                break;
            case 3:
                object += ";None";
                break;
        }
    }
    lines.push_back(object);
    if (!read_configuration(*wide, lines)) return 1;
    Tnew_object wide_object(*wide);
    wide_object.target_index = 0;
    shoot(wide_object, "new_object_24_fields");
    return 0;
}
