// vaxow: the control program's window.
#include <signal.h>

#include <QApplication>
#include <QStyleFactory>
#include <cstdlib>

#include "platform/port_layer.h"
#include "ui/signal_watcher.h"
#include "ui/tform1.h"

namespace {

vaxo::ui::TForm1* runningForm = nullptr;

// When the display goes away the toolkit ends the process with exit(): the
// exit saves still run, once.
void SaveOnExit() {
    if (runningForm) {
        static_cast<void>(runningForm->Program().ExitApp());
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("vaxow");
    QGuiApplication::setDesktopFileName("vaxow");
    QApplication::setStyle(QStyleFactory::create("Fusion"));

    vaxo::PortLayer portLayer(vaxo::SystemPortBackends());
    vaxo::SystemTiming timing;
    vaxo::ui::QtDialogs dialogs;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    vaxo::ui::TForm1 form({portLayer, portLayer, timing, dialogs, ""}, arguments);
    if (!form.IsFirstInstance()) {
        return 0;
    }
    // Logout, shutdown and a terminal closing end the program as its close box does.
    const vaxo::ui::SignalWatcher endSignals({SIGTERM, SIGINT, SIGHUP}, [&form] { form.close(); });
    runningForm = &form;
    std::atexit(SaveOnExit);
    QObject::connect(&application, &QCoreApplication::aboutToQuit,
                     [&form] { static_cast<void>(form.Program().ExitApp()); });
    form.show();
    const int status = QApplication::exec();
    runningForm = nullptr;
    return status;
}
