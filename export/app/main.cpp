// ixan-export: without arguments the tray dialog, with arguments the command line.

#include <cstdio>

#include "export/app/export_app.h"

int main(int argc, char** argv) {
    if (argc > 1) {
        // The headless export (--from YYYY-MM-DD --to YYYY-MM-DD FILE) goes here.
        std::fputs("ixan-export: command-line export not available yet\n", stderr);
        return 2;
    }
    ixan::CEVexportApp app(argc, argv);
    return app.InitInstance();
}
