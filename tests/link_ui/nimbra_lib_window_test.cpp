#include "link/ui/nimbra_lib_window.h"

#include <gtest/gtest.h>

#include <QListWidget>

#include "link/fake_port.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

QStringList items(const QListWidget* view) {
    QStringList all;
    for (int i = 0; i < view->count(); ++i)
        all << view->item(i)->text();
    return all;
}

TEST(NimbraLibWindow, KeepsItsOwnCappedCopyOfWhatTheLinkReports) {
    test::MessageRecorder messages;
    auto owned = std::make_unique<test::FakePort>();
    test::FakePort& port = *owned;
    Tnimbra_lib link(std::move(owned));
    link.queue_command("DLD_OBJ Pump;P1");
    Tnimbra_lib_window window(link);
    const auto view = [&window](const char* name) {
        return window.findChild<QListWidget*>(QString::fromLatin1(name));
    };
    EXPECT_EQ(window.windowTitle(), "nimbra_lib");
    EXPECT_EQ(window.size(), QSize(791, 519));
    EXPECT_EQ(view("cmd_box")->size(), QSize(281, 237));
    EXPECT_EQ(view("output_box")->size(), QSize(773, 153));
    EXPECT_EQ(view("debug_box")->size(), QSize(773, 85));
    EXPECT_EQ(items(view("cmd_box")), QStringList{"DLD_OBJ Pump;P1"});

    ASSERT_TRUE(link.FormCreate());
    link.show_file("a.nol", {"[LISTS]"});
    link.set_receive_progress(nullptr);
    link.run_command("GET_CONFIG", [] {});
    port.deliver("@\r");
    port.deliver("5\x9dl\r|\r");
    link.note("adding to download list: Pump;P1");
    link.clear_queue();
    EXPECT_EQ(items(view("config_box")), QStringList{"[LISTS]"});
    EXPECT_EQ(items(view("return_box")),
              (QStringList{"@", QString::fromUtf8("5\u00b5l"), "|"}));
    EXPECT_EQ(items(view("output_box")),
              (QStringList{"SET_BAUD 38400", "GET_CONFIG", "adding to download list: Pump;P1"}));
    EXPECT_EQ(view("cmd_box")->count(), 0);

    // However long the line talks, each list keeps its newest lines only.
    for (int i = 0; i < Tnimbra_lib_window::kMaxLines + 10; ++i)
        link.note("note " + std::to_string(i));
    EXPECT_EQ(view("output_box")->count(), Tnimbra_lib_window::kMaxLines);
    EXPECT_EQ(view("output_box")->item(Tnimbra_lib_window::kMaxLines - 1)->text(),
              QString("note %1").arg(Tnimbra_lib_window::kMaxLines + 9));
}

}  // namespace
}  // namespace vexilo
