// vexilo: the workbench window.

#include "app/workbench_main.h"

int main(int argc, char** argv) {
    return vexilo::workbench_main(argc, argv);
}
