// tessel-gui: the desktop application.
#include <QApplication>
#include <cstdio>
#include <memory>
#include <new>

#include "app/gui_cli_parser.h"
#include "app/tessel_app.h"
#include "platform/messages.h"

namespace {

// An event handler that runs out of memory stops that action, not the
// application.
class CGuardedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::bad_alloc&) {
            tessel::ShowMessage("Out of memory: the last action was stopped.");
            return false;
        }
    }
};

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

    CGuardedApplication qapp(argc, argv);
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
