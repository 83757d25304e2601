// vaxow: the control program's window.
#include <signal.h>

#include <QApplication>
#include <QStyleFactory>
#include <cstdlib>
#include <iostream>
#include <string>

#include "base/product.h"
#include "platform/port_layer.h"
#include "ui/signal_watcher.h"
#include "ui/tform1.h"
#include "window/window_encoder.h"

namespace {

vaxo::ui::TForm1* runningForm = nullptr;

// When the display goes away the toolkit ends the process with exit(): the
// exit saves still run, once.
void SaveOnExit() {
    if (runningForm) {
        static_cast<void>(runningForm->Program().SaveOnExit());
    }
}

// Answered before the toolkit starts, so that they work without a display.
bool AnswersAtOnce(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--help" || first == "-h") {
        std::cout << "usage: vaxow [Qt options] [--simulate[=SCENARIO] [--memory-dump FILE]] "
                     "[STATION]\n"
                     "  the window program; STATION is a station file to load\n"
                     "  --simulate[=SCENARIO]  sends go to a simulated encoder (healthy, absent,\n"
                     "                         stuck-high, stuck-low, no-confirm, "
                     "confirm-second,\n"
                     "                         corrupt), as with vaxoctl run\n"
                     "  --memory-dump FILE     at the end, the simulated encoder's memory into "
                     "FILE\n"
                     "       vaxow --help | --version\n";
        return true;
    }
    if (first == "--version") {
        std::cout << "vaxow " << vaxo::kProductVersion << '\n';
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (AnswersAtOnce(argc, argv)) {
        return 0;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("vaxow");
    QGuiApplication::setDesktopFileName("vaxow");
    QApplication::setStyle(QStyleFactory::create("Fusion"));

    const vaxo::WindowOptions options =
        vaxo::ReadWindowOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.problem.empty()) {
        std::cerr << "vaxow: " << options.problem << '\n';
        return 2;
    }
    vaxo::WindowEncoder encoder(options);
    vaxo::SystemTiming timing;
    vaxo::ui::QtDialogs dialogs;
    vaxo::ui::TForm1 form(
        {encoder.Layer(), encoder.Layer(), timing, dialogs, "", "", encoder.ReadBack()},
        options.arguments);
    if (!form.IsFirstInstance()) {
        return 0;
    }
    // Logout, shutdown and a terminal closing end the program as its close box does.
    const vaxo::ui::SignalWatcher endSignals({SIGTERM, SIGINT, SIGHUP}, [&form] { form.close(); });
    runningForm = &form;
    std::atexit(SaveOnExit);
    QObject::connect(&application, &QCoreApplication::aboutToQuit,
                     [&form] { static_cast<void>(form.Program().SaveOnExit()); });
    form.show();
    const int status = QApplication::exec();
    runningForm = nullptr;
    encoder.SaveMemoryDump();
    return status;
}
