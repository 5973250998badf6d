#include "link/ui/portform.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>

#include "link/fake_port.h"
#include "settings/settings.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

using test::FakePort;

// Every test gets a settings file of its own.
class PortFormTest : public ::testing::Test {
  protected:
    PortFormTest() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        settings_ = std::filesystem::temp_directory_path() /
                    ("vexilo-port-form-" + std::to_string(::getpid()) + "-" + info->name());
        std::filesystem::remove(settings_);
        ::setenv("VEXILO_SETTINGS", settings_.c_str(), 1);

        auto owned = std::make_unique<FakePort>();
        port = owned.get();
        port->available = {1, 3};
        link = std::make_unique<Tnimbra_lib>(std::move(owned));
        form = std::make_unique<Tport_form>(*link);
    }
    ~PortFormTest() override {
        form.reset();
        link.reset();
        std::filesystem::remove(settings_);
    }

    // The link starts on `number`, at high speed so a change of port shows.
    void start_on(int number) {
        std::string error;
        port->set_port_number(number, error);
        ASSERT_TRUE(link->FormCreate());
        link->run_command("RSTRT", [] {});
        port->deliver("@\r");
        ASSERT_TRUE(link->high_speed());
    }

    QStringList lines() const {
        QStringList all;
        for (int i = 0; i < form->port_combox->count(); ++i)
            all << form->port_combox->itemText(i);
        return all;
    }

    void pick(const QString& line) {
        const int index = form->port_combox->findText(line);
        ASSERT_GE(index, 0);
        form->port_combox->setCurrentIndex(index);
        emit form->port_combox->activated(index);
    }

    static int stored_port() { return read_int_setting("Port", -1); }

    test::MessageRecorder messages;
    FakePort* port = nullptr;
    std::unique_ptr<Tnimbra_lib> link;
    std::unique_ptr<Tport_form> form;

  private:
    std::filesystem::path settings_;
};

TEST_F(PortFormTest, ListsAvailablePortsWithTheLinksPortSelectedAndOkAppliesThePick) {
    start_on(3);
    form->show();
    EXPECT_EQ(form->windowTitle(), "Choose Serial Port");
    EXPECT_EQ(lines(), (QStringList{"COM1", "COM3"}));
    EXPECT_EQ(form->port_combox->currentText(), "COM3");

    pick("COM1");
    QTest::mouseClick(form->ok_button, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(link->port_number(), 1);
    EXPECT_FALSE(link->high_speed());
    EXPECT_EQ(stored_port(), 1);
}

TEST_F(PortFormTest, EachLineStandsForThePortItNames) {
    start_on(1);
    form->show();
    pick("COM3");
    QTest::mouseClick(form->ok_button, Qt::LeftButton);
    EXPECT_EQ(link->port_number(), 3);
    EXPECT_EQ(stored_port(), 3);
}

TEST_F(PortFormTest, EnterTakesWhatWasPickedOrTyped) {
    start_on(3);
    form->show();
    QTest::keyClick(form->port_combox, Qt::Key_Up);
    EXPECT_EQ(form->port_combox->currentText(), "COM1");
    QTest::keyClick(form->port_combox, Qt::Key_Return);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(link->port_number(), 1);
    EXPECT_EQ(stored_port(), 1);

    const auto type_device = [this](const char* device) {
        form->show();
        form->device_edit->clear();
        QTest::keyClicks(form->device_edit, device);
    };
    type_device("/dev/ttyUSB0");
    QTest::keyClick(form->device_edit, Qt::Key_Return);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(read_port_mapping(1), "/dev/ttyUSB0");

    // Enter on a focused Cancel is Cancel.
    type_device("/dev/ttyUSB1");
    QTest::keyClick(form->cancel_button, Qt::Key_Return);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(read_port_mapping(1), "/dev/ttyUSB0");
}

TEST_F(PortFormTest, CancelAndEscapeApplyTheRememberedPort) {
    start_on(3);
    // Without a pick: the port stays, and is stored again.
    form->show();
    QTest::mouseClick(form->cancel_button, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(link->port_number(), 3);
    EXPECT_TRUE(link->high_speed());
    EXPECT_EQ(stored_port(), 3);

    // After a pick the remembered port has followed it.
    form->show();
    pick("COM1");
    QTest::mouseClick(form->cancel_button, Qt::LeftButton);
    EXPECT_EQ(link->port_number(), 1);
    EXPECT_EQ(stored_port(), 1);

    form->show();
    pick("COM3");
    QTest::keyClick(form->port_combox, Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(link->port_number(), 3);
    EXPECT_EQ(stored_port(), 3);
}

TEST_F(PortFormTest, PortThatVanishedBeforeThePickIsNotTaken) {
    start_on(3);
    std::set<int> available{1, 3};
    form->set_availability([&](int n) { return available.count(n) > 0; });
    form->show();
    available.erase(1);
    pick("COM1");
    EXPECT_EQ(form->port_combox->currentText(), "COM3");
    EXPECT_EQ(form->remembered_port(), 3);
    QTest::mouseClick(form->ok_button, Qt::LeftButton);
    EXPECT_EQ(link->port_number(), 3);
}

TEST_F(PortFormTest, OkWithNothingSelectedAppliesTheRememberedPort) {
    port->available = {1, 3, 5};
    start_on(5);
    form->set_availability([](int n) { return n == 1 || n == 3; });
    form->show();
    EXPECT_EQ(lines(), (QStringList{"COM1", "COM3", "COM5 (not available)"}));
    EXPECT_EQ(form->port_combox->currentText(), "COM5 (not available)");
    QTest::mouseClick(form->ok_button, Qt::LeftButton);
    EXPECT_EQ(link->port_number(), 5);
    EXPECT_TRUE(link->high_speed());
    EXPECT_EQ(stored_port(), 5);
}

TEST_F(PortFormTest, ChangedDeviceIsStoredAndTheSamePortReconnected) {
    start_on(1);
    form->show();
    EXPECT_EQ(form->device_edit->text().toStdString(), port_device_name(1));
    form->device_edit->setText("/dev/ttyUSB0");
    port->events.clear();
    QTest::mouseClick(form->ok_button, Qt::LeftButton);
    EXPECT_EQ(read_port_mapping(1), "/dev/ttyUSB0");
    EXPECT_EQ(port->events, (std::vector<std::string>{"baud 9600", "port 1", "discard"}));
    EXPECT_TRUE(port->is_open());
    EXPECT_FALSE(link->high_speed());

    // Untouched, the device changes nothing; emptied, the map entry goes.
    form->show();
    port->events.clear();
    QTest::mouseClick(form->ok_button, Qt::LeftButton);
    EXPECT_TRUE(port->events.empty());
    form->show();
    form->device_edit->clear();
    QTest::mouseClick(form->ok_button, Qt::LeftButton);
    EXPECT_EQ(read_port_mapping(1), "");

    // A network address is stored as an address; a mistyped one is refused with the reason,
    // the dialog stays open with the text, and nothing is stored.
    form->show();
    form->device_edit->setText(" RFC2217://lab-nimbra:2217/ ");
    QTest::mouseClick(form->ok_button, Qt::LeftButton);
    EXPECT_EQ(read_port_mapping(1), "rfc2217://lab-nimbra:2217");
    form->show();
    form->device_edit->setText("socket://lab-nimbra");
    QTest::mouseClick(form->ok_button, Qt::LeftButton);
    EXPECT_EQ(messages.errors, std::vector<std::string>{"'socket://lab-nimbra' is no network "
                                                        "port: the port number is missing"});
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->device_edit->text(), "socket://lab-nimbra");
    EXPECT_EQ(read_port_mapping(1), "rfc2217://lab-nimbra:2217");
}

TEST_F(PortFormTest, LinkCreationAsksAgainAfterOkAndGivesUpOnCancel) {
    port->available = {2};
    link->set_port_problem_handler(ask_with_port_form(*form));
    // Each answer in turn: OK on the port that fails (the dialog says why), then Cancel;
    // later COM2, picked and taken with keys.
    std::vector<std::function<void(Tport_form&)>> answers = {
        [this](Tport_form& d) {
            EXPECT_TRUE(d.reason_label->isVisible());
            EXPECT_EQ(d.reason_label->text(), "COM1 does not exist");
            EXPECT_EQ(lines(), (QStringList{"COM1 (not available)", "COM2"}));
            EXPECT_EQ(d.port_combox->currentIndex(), 0);
            QTest::mouseClick(d.ok_button, Qt::LeftButton);
        },
        [](Tport_form& d) { QTest::mouseClick(d.cancel_button, Qt::LeftButton); },
        [](Tport_form& d) {
            QTest::keyClick(d.port_combox, Qt::Key_Down);
            QTest::keyClick(d.port_combox, Qt::Key_Enter);
        }};
    std::size_t shown = 0;
    std::function<void()> answer = [&] {
        auto* dialog = qobject_cast<Tport_form*>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(10, answer);
            return;
        }
        answers[shown++](*dialog);
        if (shown == 1) QTimer::singleShot(10, answer);
    };
    QTimer::singleShot(0, answer);
    EXPECT_FALSE(link->FormCreate());
    EXPECT_EQ(shown, 2u);
    EXPECT_FALSE(port->is_open());

    QTimer::singleShot(0, answer);
    EXPECT_TRUE(link->open_port());
    EXPECT_EQ(shown, 3u);
    EXPECT_TRUE(port->is_open());
    EXPECT_EQ(link->port_number(), 2);
    EXPECT_EQ(stored_port(), 2);
    EXPECT_TRUE(messages.errors.empty());
    // Asked for from the menu, the dialog gives no stale reason.
    form->show();
    EXPECT_FALSE(form->reason_label->isVisible());
}

}  // namespace
}  // namespace vexilo

namespace vexilo {
namespace {

TEST_F(PortFormTest, DevicesAreOfferedByWhatTheyAreAndAPickStoresTheStableName) {
    const std::string stable = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0";
    int asked = 0;
    form->set_device_lister([&] {
        ++asked;
        return std::vector<SerialDevice>{
            {"/dev/ttyS0", "", "", "", "", -1},
            {"/dev/ttyUSB1", stable, "FT232R USB UART", "FTDI", "A12345", 16}};
    });
    start_on(1);
    form->show();
    ASSERT_EQ(form->device_combox->count(), 2);
    EXPECT_EQ(form->device_combox->itemText(1), "FT232R USB UART FTDI A12345 (/dev/ttyUSB1)");
    EXPECT_EQ(form->device_combox->itemText(0), "/dev/ttyS0");

    form->device_combox->setCurrentIndex(1);
    emit form->device_combox->activated(1);
    EXPECT_EQ(form->device_edit->text().toStdString(), stable);
    QTest::mouseClick(form->ok_button, Qt::LeftButton);
    EXPECT_EQ(read_port_mapping(1), stable);

    // Shown again (the list is asked afresh), the port's device is the one selected, whether
    // the map names it by its stable name or by the name the system gave it.
    form->show();
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(form->device_combox->currentIndex(), 1);
    form->hide();
    store_port_mapping(1, "/dev/ttyUSB1");
    form->show();
    EXPECT_EQ(form->device_combox->currentIndex(), 1);
    form->hide();
    store_port_mapping(1, "/dev/pts/4");
    form->show();
    EXPECT_EQ(form->device_combox->currentIndex(), -1);
    EXPECT_EQ(form->device_edit->text(), "/dev/pts/4");
}

}  // namespace
}  // namespace vexilo
