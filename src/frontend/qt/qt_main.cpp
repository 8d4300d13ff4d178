#include "frontend/qt/qt_main.h"

#include "frontend/qt/main_window.h"
#include "frontend/qt/qt_host.h"
#include "frontend/startup.h"
#include "machine/loop.h"

#include <QApplication>

int qt_main(int argc, char** argv, const std::string& program_file)
{
    QApplication app(argc, argv);
    QtHost qt_host;
    host = &qt_host;
    std::string config;
    for (int i = 1; i < argc && config.empty(); i++)
        if (argv[i][0] != '-')
            config = argv[i];
    bool started = start_machine(program_file, config);
    if (started)
        qt_host.window()->show();
    run_loop();
    Terminate();
    host = nullptr;
    return started ? 0 : 1;
}
