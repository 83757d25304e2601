// vaxow: the control program's window.
#include <QApplication>
#include <QStyleFactory>

#include "link/port_layer.h"
#include "ui/tform1.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("vaxow");
    QApplication::setApplicationDisplayName("VAXO for Windows 3");
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setFont(QFont("DejaVu Sans", 8));

    vaxo::PortLayer portLayer(vaxo::SystemPortBackends());
    vaxo::SystemTiming timing;
    vaxo::ui::QtDialogs dialogs;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    vaxo::ui::TForm1 form({portLayer, portLayer, timing, dialogs, ""}, arguments);
    if (!form.IsFirstInstance()) {
        return 0;
    }
    form.show();
    return QApplication::exec();
}
