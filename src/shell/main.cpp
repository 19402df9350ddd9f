// reelgrab: the download manager's window.
#include "shell/gui_app.h"

int main(int argc, char** argv) {
    return rg::run_gui(argc, argv);
}
