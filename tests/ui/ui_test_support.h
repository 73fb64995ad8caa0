// Shared pieces of the pane tests: the group registration, generated discs
// and the bundled sample disc.
#pragma once

#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QTreeWidgetItem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "authoring/sample_disc.h"
#include "disc/disc_scan.h"
#include "model/ig_object.h"
#include "support/qt_test_groups.h"
#include "ui/command_wnd.h"
#include "ui/explorer_tree.h"
#include "ui/page_view.h"
#include "ui/properties_wnd.h"
#include "ui/selection.h"

namespace uitest {

#define TESSEL_UI_TEST_GROUP(Class, name) TESSEL_QT_TEST_GROUP(Class, name)

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

// The panes over a generated disc (by default one clip with PID 0x1400, the
// small menu of Clip): tree, page view at zoom index 2, properties and
// commands, all following one selection.
struct SPanes {
    explicit SPanes(const tessel::authoring::SDiscOptions& options = Options()) : scanned(options) {
        view.SetSelection(&selection);
        commands.SetSelection(&selection);
        properties.SetSelection(&selection);
        tree.SetSelection(&selection);
        view.resize(1000, 700);
        view.SetZoomIndex(2);
        tree.FillTree(&scanned.disc);
    }
    static tessel::authoring::SDiscOptions Options() {
        tessel::authoring::SDiscOptions o;
        o.clips = {Clip(1, {0x1400})};
        return o;
    }
    tessel::CDisplaySet* Composition() const {
        return scanned.disc.clips[0]->igObjects[0]->GetAt(0)->GetAt(0);
    }
    tessel::CPage* Page(int p) const { return Composition()->GetAt(p); }
    tessel::CBdButton* Button(int p, int g, int b) const { return Page(p)->GetAt(g)->GetAt(b); }

    CScannedDisc scanned;
    ::CSelection selection;
    ::CFileView tree;
    ::CTlPageView view;
    ::CPropertiesWnd properties;
    ::CCmdWnd commands;
};

// Clip by number, or null.
tessel::CTlM2tsObject* FindClip(tessel::CTlDisc& disc, int number);

// The labels of a tree node's children, in order.
inline QStringList ChildLabels(const QTreeWidgetItem* item) {
    QStringList labels;
    for (int i = 0; i < item->childCount(); ++i) labels << item->child(i)->text(0);
    return labels;
}

}  // namespace uitest
