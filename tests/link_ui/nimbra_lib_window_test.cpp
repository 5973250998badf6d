#include "link/ui/nimbra_lib_window.h"

#include <gtest/gtest.h>

#include <QListWidget>

#include "link/fake_port.h"

namespace vexilo {
namespace {

QStringList items(const QListWidget* view) {
    QStringList all;
    for (int i = 0; i < view->count(); ++i)
        all << view->item(i)->text();
    return all;
}

TEST(NimbraLibWindow, ShowsTheLinksListsAsTheyChange) {
    Tnimbra_lib link(std::make_unique<test::FakePort>());
    link.config_box.add("[LISTS]");
    Tnimbra_lib_window window(link);
    EXPECT_EQ(window.windowTitle(), "nimbra_lib");
    EXPECT_EQ(window.size(), QSize(791, 519));
    EXPECT_EQ(window.cmd_box->size(), QSize(281, 237));
    EXPECT_EQ(window.output_box->size(), QSize(773, 153));
    EXPECT_EQ(window.debug_box->size(), QSize(773, 85));
    EXPECT_EQ(items(window.config_box), QStringList{"[LISTS]"});

    link.queue_command("DLD_OBJ Pump;P1");
    link.return_box.add("5\xb5l");
    link.output_box.add("adding to download list: Pump;P1");
    EXPECT_EQ(items(window.cmd_box), QStringList{"DLD_OBJ Pump;P1"});
    EXPECT_EQ(items(window.return_box), QStringList{QString::fromUtf8("5\u00b5l")});
    EXPECT_EQ(items(window.output_box).size(), 1);
    link.clear_queue();
    EXPECT_EQ(window.cmd_box->count(), 0);
}

}  // namespace
}  // namespace vexilo
