// Runs one group of pane tests by name (all groups without a name); further
// arguments go to Qt Test.
#include "support/qt_test_groups.h"

int main(int argc, char** argv) {
    return qttest::RunGroups(argc, argv);
}
