// Shared by the Qt Test programs of the desktop application and of its
// panes: the registry of test groups that a program runs by name, and the
// program's main, which keeps every setting in a folder of the run.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace qttest {

using GroupFactory = std::function<std::unique_ptr<QObject>()>;

struct SGroup {
    const char* name;
    GroupFactory make;
};
std::vector<SGroup>& Groups();

struct CRegisterGroup {
    CRegisterGroup(const char* name, GroupFactory make) { Groups().push_back({name, make}); }
};

// The folder of this run's settings (set before the application starts).
QString SettingsFolder();

// Runs the group named by the first argument (every group without one);
// further arguments go to Qt Test. The user's own settings are never read
// or written. setUp runs once the application object exists.
int RunGroups(int argc, char** argv, const std::function<void()>& setUp = {});

}  // namespace qttest

#define TESSEL_QT_TEST_GROUP(Class, name)                     \
    static ::qttest::CRegisterGroup Class##Registration(name, \
                                                        [] { return std::make_unique<Class>(); })
