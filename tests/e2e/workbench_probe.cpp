// The workbench program as the operator starts it, with one click added: once the window is
// up, every listed object list is selected and sent. Lets a test end a real workbench process
// in the middle of a send.

#include <QListWidget>
#include <QPushButton>

#include "app/workbench_main.h"
#include "workbench/main_form.h"
#include "workbench/workbench.h"

int main(int argc, char** argv) {
    return vexilo::workbench_main(argc, argv, [](vexilo::Workbench& workbench) {
        vexilo::TMainForm& form = workbench.main_form();
        form.findChild<QListWidget*>(QStringLiteral("file_box_1"))->selectAll();
        form.findChild<QPushButton*>(QStringLiteral("send_modules_button_1"))->click();
    });
}
