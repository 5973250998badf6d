#include "workbench/multinst.h"

#include <gtest/gtest.h>

#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <QWidget>

#include "settings/settings.h"
#include "support/nimbra_sim_process.h"

namespace vexilo {
namespace {

QString unique_name() {
    return QStringLiteral("vexilo-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

TEST(MultInst, LaterCopyRestoresTheFirstCopysWindowAndIsToldToEnd) {
    const QString name = unique_name();
    MultInst first(name);
    EXPECT_FALSE(first.another_copy());
    QWidget window;
    window.showMinimized();
    ASSERT_TRUE(window.isMinimized());
    first.set_main_window(&window);

    MultInst second(name);
    EXPECT_TRUE(second.another_copy());
    QSignalSpy answered(&second, &MultInst::answered);
    EXPECT_TRUE(answered.wait(10000));
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(answered.count(), 1);
}

TEST(MultInst, GuardIsFreeAgainOnceTheFirstCopyEnds) {
    const QString name = unique_name();
    { MultInst first(name); }
    MultInst again(name);
    EXPECT_FALSE(again.another_copy());
}

// Real copies of the program, each with the simulator on its port and a guard of their own.
class TwoCopies : public ::testing::Test {
  protected:
    TwoCopies() {
        const QString settings = dir.filePath(QStringLiteral("settings"));
        ::setenv("VEXILO_SETTINGS", settings.toLocal8Bit(), 1);
        environment.insert(QStringLiteral("VEXILO_SETTINGS"), settings);
        environment.insert(QStringLiteral("VEXILO_INSTANCE"), name);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    ~TwoCopies() override { ::unsetenv("VEXILO_SETTINGS"); }

    std::unique_ptr<QProcess> start_copy() {
        auto copy = std::make_unique<QProcess>();
        copy->setProcessEnvironment(environment);
        copy->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        copy->start(QStringLiteral(VEXILO_PROGRAM), {});
        return copy;
    }

    // True once a first copy answers on the guard's socket.
    bool first_copy_listening() {
        for (int tries = 0; tries < 200; ++tries) {
            QLocalSocket probe;
            probe.connectToServer(name);
            if (probe.waitForConnected(50)) return true;
            QTest::qWait(50);
        }
        return false;
    }

    const QString name = unique_name();
    test::TempDir sim_dir;
    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(TwoCopies, SecondStartEndsAndACrashedCopyDoesNotBlockTheNext) {
    test::SimProcess sim(NIMBRA_SIM_PROGRAM, {"--config", EXAMPLES_DIR "/instrument.nol"}, sim_dir);
    const auto device = sim.port();
    ASSERT_TRUE(device);
    store_port_mapping(1, *device);
    store_text_setting("Root Folder", EXAMPLES_DIR "/lists");
    store_text_setting("List Folder", EXAMPLES_DIR "/lists");

    auto first = start_copy();
    ASSERT_TRUE(first->waitForStarted());
    ASSERT_TRUE(first_copy_listening());

    auto second = start_copy();
    ASSERT_TRUE(second->waitForFinished(20000)) << "a second copy must end by itself";
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);

    // A crash leaves the lock file behind; the next start takes over.
    first->kill();
    ASSERT_TRUE(first->waitForFinished(10000));
    auto next = start_copy();
    ASSERT_TRUE(next->waitForStarted());
    ASSERT_TRUE(first_copy_listening());
    EXPECT_FALSE(next->waitForFinished(500)) << "the next start runs as the first copy";
    next->kill();
    next->waitForFinished(10000);
}

}  // namespace
}  // namespace vexilo
