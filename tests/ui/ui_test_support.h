// Shared pieces of the pane tests: the group registry the test program runs
// by name, generated discs and the bundled sample disc.
#pragma once

#include <QObject>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "authoring/sample_disc.h"
#include "disc/disc_scan.h"

namespace uitest {

using GroupFactory = std::function<std::unique_ptr<QObject>()>;

struct SGroup {
    const char* name;
    GroupFactory make;
};
std::vector<SGroup>& Groups();

struct CRegisterGroup {
    CRegisterGroup(const char* name, GroupFactory make) { Groups().push_back({name, make}); }
};

#define TESSEL_UI_TEST_GROUP(Class, name)                     \
    static ::uitest::CRegisterGroup Class##Registration(name, \
                                                        [] { return std::make_unique<Class>(); })

// Removes full-frame background groups from every page, so that a click
// reaches the menu's buttons.
void StripBackgrounds(tessel::CIgObject& ig);

// A menu small enough to author quickly.
tessel::authoring::SMenuOptions SmallMenu(int pages = 2, int bogs = 2, int buttons = 2);
// A clip with one menu per PID, authored here without background groups.
tessel::authoring::SClipSpec Clip(int number, std::vector<uint16_t> pids,
                                  tessel::authoring::SMenuOptions menu = SmallMenu());

// A generated disc, written to a temporary folder and scanned.
class CScannedDisc {
public:
    explicit CScannedDisc(const tessel::authoring::SDiscOptions& options);
    // The bundled sample disc samples/demo/BDMV.
    CScannedDisc();

    bool ok = false;
    int result = -1;
    std::string error;
    tessel::CTlDisc disc;

private:
    QTemporaryDir dir_;
};

// Clip by number, or null.
tessel::CTlM2tsObject* FindClip(tessel::CTlDisc& disc, int number);

}  // namespace uitest
