// The History window over an audit trail into a PNG file, the chain checked and the newest
// record selected: history_shot OUT.png AUDIT.sqlite

#include <QApplication>
#include <cstdio>

#include "workbench/history_window.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: history_shot OUT.png AUDIT.sqlite\n");
        return 2;
    }
    QApplication app(argc, argv);
    vexilo::HistoryWindow window(QString::fromLocal8Bit(argv[2]));
    window.check_chain();
    window.show();
    QApplication::processEvents();
    return window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
