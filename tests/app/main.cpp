// Runs one group of application tests by name (all groups without a name);
// further arguments go to Qt Test. Settings live in a folder of the run, so
// the user's own settings are never read or written.
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app_test_support.h"

namespace {
QString g_settingsFolder;
}

QString apptest::SettingsFolder() {
    return g_settingsFolder;
}

int main(int argc, char** argv) {
    QTemporaryDir settingsDir;
    g_settingsFolder = settingsDir.path();
    qputenv("XDG_CONFIG_HOME", settingsDir.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Orvane");
    QCoreApplication::setApplicationName("Tessel");

    const char* wanted = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
    std::vector<char*> args(argv, argv + argc);
    if (wanted) args.erase(args.begin() + 1);
    int failures = 0;
    bool found = false;
    for (const auto& group : apptest::Groups()) {
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
