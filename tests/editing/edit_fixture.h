#pragma once
// The "Edit Object Lists" page with its real dialogs, a fake instrument and scripted file
// dialogs, in a temporary folder.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/field_text.h"
#include "config/reader.h"
#include "dialogs/comment_form.h"
#include "dialogs/new_object.h"
#include "dialogs/object_description.h"
#include "dialogs/yes_to_all.h"
#include "link/fake_port.h"
#include "link/operations.h"
#include "support/message_recorder.h"
#include "support/modal_script.h"
#include "workbench/edit_lists_tab.h"

namespace vexilo::test {

#define EXPECT_SCRIPT_DONE(script) \
    EXPECT_TRUE((script).finished()) << (script).failures().join("; ").toStdString()

using Lines = std::vector<std::string>;

// Classes Pump (a Number with a range, a ListChoice, a Text) and Plain (no fields).
inline Lines list_file(const Lines& objects) {
    Lines lines{"[LISTS]",
                "0;3;Low;Medium;High",
                "[CLASSES]",
                "!Pump",
                "Volume;1;1000;10;1;ul",
                "#Speed;0;2;1;0",
                "&Label",
                "!Plain",
                "[OBJECTS]"};
    lines.insert(lines.end(), objects.begin(), objects.end());
    return lines;
}

inline void write_lines(const std::string& path, const Lines& lines) {
    std::ofstream out(path, std::ios::binary);
    for (const std::string& line : lines)
        out << line << "\r\n";
}

// The instrument behind the real link and instrument service, on a fake port already at
// high speed: the page calls the service, and the test answers as the instrument would.
class FakeInstrument final : private OperationObserver {
  public:
    FakeInstrument() {
        auto owned = std::make_unique<FakePort>();
        port = owned.get();
        link = std::make_unique<Tnimbra_lib>(std::move(owned));
        operations = std::make_unique<InstrumentOperations>(*link);
        link->FormCreate();
        link->run_command("HELLO", {});
        port->deliver("@\r");
        port->deliver("@\r");
        link->set_status_sink([this](const std::string& text) { statuses.push_back(text); });
        listener_ = link->add_listener([this](const LinkEvent& event) {
            if (event.kind != LinkEvent::Kind::Sent) return;
            if (event.text == "GET_CONFIG") ++requests;
            if (event.text.rfind("DLD_OBJ ", 0) == 0) sent.back().push_back(display_of(event.text));
        });
        operations->set_observer(this);
    }
    ~FakeInstrument() override { link->remove_listener(listener_); }

    // Answers whatever waits: the configuration with the reply, every other line with "@".
    void answer() {
        while (link->command_in_flight()) {
            if (port->sent.back().bytes != "GET_CONFIG\r") {
                port->deliver("@\r");
                continue;
            }
            std::string text;
            for (const std::string& line : reply)
                text += line + "\r";
            port->deliver(text + "|\r");
        }
    }

    FakePort* port = nullptr;
    std::unique_ptr<Tnimbra_lib> link;
    std::unique_ptr<InstrumentOperations> operations;
    int requests = 0;
    Lines reply;
    Lines statuses;
    std::vector<Lines> sent;  // per send, the objects that went out, as "Class:Object"

  private:
    void sending(const OperationStart&, const Configuration*, const Plan&) override {
        sent.emplace_back();
    }
    static std::string display_of(const std::string& command) {
        const std::size_t class_end = command.find(';');
        const std::size_t name_end = command.find(';', class_end + 1);
        return command.substr(8, class_end - 8) + ":" +
               command.substr(class_end + 1, name_end - class_end - 1);
    }

    int listener_ = 0;
};

class FakeFiles final : public ListFileChooser {
  public:
    std::optional<std::string> open_list(const std::string&) override { return next(opens); }
    std::optional<std::string> save_list(const std::string&) override { return next(saves); }

    std::deque<std::optional<std::string>> opens;
    std::deque<std::optional<std::string>> saves;

  private:
    static std::optional<std::string> next(std::deque<std::optional<std::string>>& answers) {
        if (answers.empty()) return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

class EditTabTest : public ::testing::Test {
  protected:
    EditTabTest() {
        // A modal window that no step of the script expects would block the test for good:
        // it is closed and reported instead. The last step's answer may be on its way to the
        // window under it (the copy question's answer closes the new object dialog), so only a
        // window still open at a second look, after the event loop has gone round and with no
        // step answered meanwhile, counts.
        guard_.setInterval(20);
        QObject::connect(&guard_, &QTimer::timeout, [this] {
            QWidget* window = QApplication::activeModalWidget();
            const qsizetype answered = script.seen().size();
            if (window == nullptr || !window->isVisible() || !script.finished()) {
                lingering_ = nullptr;
                return;
            }
            if (window != lingering_ || answered != lingering_answered_) {
                lingering_ = window;
                lingering_answered_ = answered;
                return;
            }
            lingering_ = nullptr;
            unexpected.push_back(window->windowTitle().toStdString());
            window->close();
        });
        guard_.start();
        tab.set_dialogs({&new_object, &yes_to_all, &comment_form, &description});
        EditServices services;
        services.operations = link.operations.get();
        services.files = &files;
        services.list_folder = [this] { return folder.path().toStdString(); };
        tab.set_services(services);
    }

    void TearDown() override {
        EXPECT_SCRIPT_DONE(script);
        EXPECT_TRUE(unexpected.empty()) << "unexpected window " << unexpected.front();
    }

    std::string file(const std::string& name) const {
        return folder.filePath(QString::fromStdString(name)).toStdString();
    }

    // Writes the list file and opens it as the source.
    void open_source(const std::string& name, const Lines& objects) {
        write_lines(file(name), list_file(objects));
        files.opens.push_back(file(name));
        tab.get_objects_buttonClick();
    }

    static Lines lines_of(const QListWidget& box) {
        Lines lines;
        for (int i = 0; i < box.count(); ++i)
            lines.push_back(box.item(i)->text().toStdString());
        return lines;
    }

    static void select(QListWidget& box, const std::vector<int>& rows) {
        box.clearSelection();
        for (int row : rows)
            box.item(row)->setSelected(true);
    }

    // The display line and the value texts of destination object i.
    Lines dest_object(int i) const {
        const Configuration& dest = *state.destination;
        Lines texts{display_line(dest, i)};
        const ClassRecord& cls = dest.classes[dest.objects[i].class_index];
        for (int f = 0; f < cls.field_count; ++f)
            texts.push_back(field_value_text(dest, dest.objects[i], f));
        return texts;
    }

    QTemporaryDir folder;
    MessageRecorder messages;
    ModalScript script;
    Lines unexpected;
    EditState state;
    Tnew_object new_object{*state.destination};
    Tyes_to_all yes_to_all;
    Tcomment_form comment_form;
    Tobject_description description;
    FakeInstrument link;
    FakeFiles files;
    EditListsTab tab{state};

  private:
    QTimer guard_;
    QPointer<QWidget> lingering_;
    qsizetype lingering_answered_ = 0;
};

}  // namespace vexilo::test
