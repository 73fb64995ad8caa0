#include "support/qt_test_groups.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>

namespace qttest {

namespace {
QString g_settingsFolder;
}

std::vector<SGroup>& Groups() {
    static std::vector<SGroup> groups;
    return groups;
}

QString SettingsFolder() {
    return g_settingsFolder;
}

int RunGroups(int argc, char** argv, const std::function<void()>& setUp) {
    QTemporaryDir settingsDir;
    g_settingsFolder = settingsDir.path();
    qputenv("XDG_CONFIG_HOME", settingsDir.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    QApplication app(argc, argv);
    if (setUp) setUp();

    const char* wanted = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
    std::vector<char*> args(argv, argv + argc);
    if (wanted) args.erase(args.begin() + 1);
    int failures = 0;
    bool found = false;
    for (const auto& group : Groups()) {
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

}  // namespace qttest
