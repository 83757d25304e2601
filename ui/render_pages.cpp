// Renders a PNG of every page of the window, for the README and for review:
//   vaxow-render-pages [--dark] OUTPUT_FOLDER [PROGRAM_FOLDER]
// --dark gives the application a dark palette, as a dark desktop theme does.
// PROGRAM_FOLDER (default: a fresh temporary folder) stands for the program's
// folder, so a station, settings, language, help or picture file there is
// used; without it they are looked for beside the program as usual.
#include <QApplication>
#include <QDir>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <cstdio>
#include <string>

#include "link/encoder_simulator.h"
#include "platform/port_layer.h"
#include "ui/tform1.h"

void UseDarkPalette() {
    QPalette dark;
    for (auto role : {QPalette::Window, QPalette::Button, QPalette::AlternateBase}) {
        dark.setColor(role, QColor(53, 53, 53));
    }
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        dark.setColor(role, QColor(230, 230, 230));
    }
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    QApplication::setPalette(dark);
}

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    if (argc > 1 && std::string(argv[1]) == "--dark") {
        UseDarkPalette();
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: vaxow-render-pages [--dark] OUTPUT_FOLDER [PROGRAM_FOLDER]\n");
        return 2;
    }
    const QDir output(QDir(argv[1]).absolutePath());  // start-up changes the working folder
    QTemporaryDir scratch;
    const QString programDir = argc > 2 ? QString(argv[2]) : scratch.path();
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());

    vaxo::EncoderSimulator encoder;
    vaxo::PortLayer layer(vaxo::ForwardingPortBackends(encoder));
    vaxo::SystemTiming timing;
    vaxo::ui::HeadlessDialogs dialogs;
    std::vector<std::string> arguments;
    for (int i = 3; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    const std::string folder = QDir(programDir).absolutePath().toStdString() + "/";
    vaxo::ui::TForm1 form({layer, layer, timing, dialogs, folder, argc > 2 ? folder : ""},
                          arguments);
    form.show();
    QDir().mkpath(output.path());
    const char* names[] = {"general", "dynamic-ps", "radiotext", "settings", "help", "on-air"};
    for (int page = 0; page < form.Zalozky->count(); ++page) {
        form.Zalozky->setCurrentIndex(page);
        if (form.Zalozky->currentWidget() == form.OnAir) {
            form.OnAir->ONAIRNOW->click();  // nothing was sent: what a send would write
        }
        QApplication::processEvents();
        const QString path = output.filePath(QString("page-%1.png").arg(names[page]));
        if (!form.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
