// Start-up to a shown window, and the CPU the idle window uses with both
// live-text feeds on. Run with QT_QPA_PLATFORM=offscreen or under Xvfb.
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include "link/encoder_simulator.h"
#include "platform/port_layer.h"
#include "ui/tform1.h"

namespace {

// Seconds since this process was started by the system.
double SecondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i < 22; ++i) {
        fields >> field;
    }
    unsigned long long startTicks = 0;
    fields >> startTicks;
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9 -
           static_cast<double>(startTicks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void RunEventLoopFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QTemporaryDir programDir, runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QFile station(programDir.filePath("feeds.rds"));
    station.open(QIODevice::WriteOnly);
    station.write("CLEAR\r\nRTFF=1\r\nDPSE=1\r\nDPSFF=1\r\n");
    station.close();
    QFile rt(programDir.filePath("rt.txt")), dps(programDir.filePath("dps.txt"));
    rt.open(QIODevice::WriteOnly);
    rt.write("Unchanged radiotext\n");
    dps.open(QIODevice::WriteOnly);
    dps.write("UNCHANGED DPS\n");
    rt.close();
    dps.close();

    vaxo::EncoderSimulator encoder;
    vaxo::PortLayer layer(vaxo::ForwardingPortBackends(encoder));
    vaxo::SystemTiming timing;
    vaxo::ui::HeadlessDialogs dialogs;
    vaxo::ui::TForm1 form({layer, layer, timing, dialogs, programDir.path().toStdString() + "/"},
                          {programDir.filePath("feeds.rds").toStdString()});
    form.show();
    QApplication::processEvents();
    std::printf("start-up to a shown window: %.0f ms\n", SecondsSinceProcessStart() * 1000);

    // The first tick sends once (the files are new to the program); measure after it.
    RunEventLoopFor(6000);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    const double cpuBefore = CpuSeconds();
    RunEventLoopFor(seconds * 1000);
    const double cpu = CpuSeconds() - cpuBefore;
    std::printf("idle with both feeds on: %.3f s CPU in %d s = %.2f %% of one core\n", cpu, seconds,
                100.0 * cpu / seconds);
    return 0;
}
