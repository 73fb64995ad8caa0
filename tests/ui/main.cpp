// Runs one group of pane tests by name (all groups without a name); further
// arguments go to Qt Test.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>

#include "ui_test_support.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Settings written by the panes stay in a folder of the run.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());

    const char* wanted = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
    std::vector<char*> args(argv, argv + argc);
    if (wanted) args.erase(args.begin() + 1);
    int failures = 0;
    bool found = false;
    for (const auto& group : uitest::Groups()) {
        if (wanted && std::strcmp(group.name, wanted) != 0) continue;
        found = true;
        std::unique_ptr<QObject> test = group.make();
        failures += QTest::qExec(test.get(), static_cast<int>(args.size()), args.data());
    }
    if (!found) {
        std::fprintf(stderr, "no test group named %s\n", wanted ? wanted : "");
        return 2;
    }
    return failures ? 1 : 0;
}
