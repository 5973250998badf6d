// How the window starts without a port and how it ends: Cancel in the port dialog opens it
// offline, a bad stored port is reported once, and closing the main window ends the program
// even while the link window (KVX) is open.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include "link/fake_port.h"
#include "link/ui/nimbra_lib_window.h"
#include "settings/settings.h"
#include "settings/settings_backend.h"
#include "support/message_recorder.h"
#include "support/modal_script.h"
#include "support/nimbra_sim_process.h"
#include "workbench/main_form.h"
#include "workbench/workbench.h"

namespace vexilo {
namespace {

TEST(WorkbenchEnding, OfflineStartWithABadPortThenClosingEndsTheEventLoop) {
    QTemporaryDir dir;
    ::setenv("VEXILO_SETTINGS", dir.filePath(QStringLiteral("settings")).toLocal8Bit(), 1);
    settings_backend().open_key(main_key_path)->write_text("Port", "COM2");
    test::MessageRecorder messages;

    auto owned = std::make_unique<test::FakePort>();
    test::FakePort& port = *owned;
    port.available.clear();  // no port can be opened
    test::ModalScript script;
    script.press("Choose Serial Port", "Cancel");
    Workbench workbench({"KVX"}, std::move(owned));
    EXPECT_TRUE(script.finished()) << script.failures().join(", ").toStdString();
    EXPECT_FALSE(workbench.port_opened());
    EXPECT_FALSE(port.is_open());
    TMainForm& form = workbench.main_form();
    EXPECT_EQ(form.status_text(), Workbench::kOfflineStatus);

    form.show();
    for (int i = 0; i < 3; ++i) {
        QEvent activation(QEvent::WindowActivate);
        QApplication::sendEvent(&form, &activation);
    }
    EXPECT_EQ(messages.errors, std::vector<std::string>{"Invalid data type for 'Port'"});
    EXPECT_EQ(workbench.link().port_number(), 1);
    ASSERT_NE(form.dialogs.link_window, nullptr);
    EXPECT_TRUE(form.dialogs.link_window->isVisible());

    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [] { QApplication::exit(99); });
    limit.start(test::kWaitMs);
    QTimer::singleShot(0, &form, [&form] { form.Exit1->trigger(); });
    EXPECT_EQ(QApplication::exec(), 0) << "closing the main window must end the event loop";
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.dialogs.link_window->isVisible());
    ::unsetenv("VEXILO_SETTINGS");
}

}  // namespace
}  // namespace vexilo
