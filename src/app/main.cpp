// tessel-gui: the desktop application.
#include <QApplication>
#include <cstdio>
#include <memory>

#include "app/gui_cli_parser.h"
#include "app/tessel_app.h"

namespace {

// The command line read before any window: help, version and mistakes need
// no display. 0 or 2 to exit with, -1 to start the window.
int ReadCommandLine(int argc, char** argv, SGuiOptions& options) {
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(CTesselApp::kProduct);
    QCoreApplication::setApplicationVersion(CTesselApp::Version());
    QString error;
    QString help;
    if (!ParseGuiCommandLine(QCoreApplication::arguments(), options, error, &help)) {
        std::fprintf(stderr, "tessel-gui: %s\n%s", error.toLocal8Bit().constData(),
                     help.toLocal8Bit().constData());
        return 2;
    }
    if (options.help) {
        std::fputs(help.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("tessel-gui %s\n", CTesselApp::Version());
        return 0;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    SGuiOptions options;
    if (const int exitCode = ReadCommandLine(argc, argv, options); exitCode >= 0) return exitCode;

    QApplication qapp(argc, argv);
    QCoreApplication::setApplicationName(CTesselApp::kProduct);
    QCoreApplication::setApplicationVersion(CTesselApp::Version());
    CTesselApp app;
    if (!app.InitInstance(options)) {
        // A scripted start that failed has said why on stderr.
        app.ExitInstance();
        return 2;
    }
    const int result = qapp.exec();
    app.ExitInstance();
    return result;
}
