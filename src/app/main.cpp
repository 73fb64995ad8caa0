// tessel-gui: the desktop application.
#include <QApplication>
#include <cstdio>

#include "app/gui_cli_parser.h"
#include "app/tessel_app.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QCoreApplication::setApplicationName(CTesselApp::kProduct);
    QCoreApplication::setApplicationVersion(CTesselApp::Version());

    SGuiOptions options;
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

    CTesselApp app;
    app.InitInstance(options);
    const int result = qapp.exec();
    app.ExitInstance();
    return result;
}
