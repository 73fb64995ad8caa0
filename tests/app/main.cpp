// Runs one group of application tests by name (all groups without a name);
// further arguments go to Qt Test.
#include <QCoreApplication>

#include "support/qt_test_groups.h"

int main(int argc, char** argv) {
    return qttest::RunGroups(argc, argv, [] {
        QCoreApplication::setOrganizationName("Orvane");
        QCoreApplication::setApplicationName("Tessel");
    });
}
