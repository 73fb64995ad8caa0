// What the main window shows on request: the first page, a button, a
// subtitle event, a button of the map or a finding's place; and what a
// start-up script drives besides (keys, play, zoom).
#include <QComboBox>

#include "app/main_frame.h"
#include "disc/disc_scan.h"
#include "model/ic_data.h"
#include "model/page.h"
#include "subtitle/pg_stream.h"
#include "ui/explorer_tree.h"
#include "ui/page_view.h"
#include "ui/selection.h"

bool CMainFrame::ShowFirstPage() {
    tessel::CPage* page = FirstPageOfDisc(app_.Disc());
    if (!page) return false;
    pageView_->SetPage(page);
    selection_->Choose(page);
    return true;
}

bool CMainFrame::SelectButton(int id) {
    tessel::CPage* page = pageView_->Page();
    if (!page) return false;
    for (tessel::CBdButton* button : page->AllButtons())
        if (button->id == id) {
            explorer_->SelectNode(button);
            explorer_->HandleSelection(explorer_->FindNode(button));
            return true;
        }
    return false;
}

bool CMainFrame::ShowSubtitle(int index) {
    for (const auto& clip : app_.Disc().clips) {
        if (clip->pgStreams.empty()) continue;
        const tessel::CPgEventObject* event = clip->pgStreams.front()->GetAt(index);
        QTreeWidgetItem* node = explorer_->FindNode(event);
        if (!node) return false;
        explorer_->SelectNode(event);
        explorer_->HandleSelection(node);
        return true;
    }
    return false;
}

void CMainFrame::ShowMapButton(const tessel::CIcData* composition, int pageId, int buttonId) {
    if (!composition) return;
    tessel::CBdButton* button = nullptr;
    for (const auto& page : *composition)
        if (page->id == pageId)
            for (tessel::CBdButton* b : page->AllButtons())
                if (b->id == buttonId) button = b;
    if (!button) return;
    pageView_->ShowButton(*button);
    // The view marks it, the tree selects its node, the panes list it.
    selection_->Choose(button);
}

void CMainFrame::ShowProblem(const tessel::CIcData* composition, int pageId, int buttonId) {
    if (!composition) return;
    if (buttonId >= 0) return ShowMapButton(composition, pageId, buttonId);
    for (const auto& page : *composition)
        if (page->id == pageId) {
            pageView_->SetPage(page.get());
            selection_->Choose(page.get());
            return;
        }
}

int CMainFrame::SubtitleEvents() const {
    for (const auto& clip : app_.Disc().clips)
        if (!clip->pgStreams.empty()) return clip->pgStreams.front()->GetSize();
    return -1;
}

void CMainFrame::SetPlaying(bool playing) {
    pageView_->SetPlaying(playing);
}

void CMainFrame::PlayTo(double seconds) {
    pageView_->PlayTo(seconds);
}

void CMainFrame::SetStartZoom(int index) {
    zoomBox_->setCurrentIndex(index);
}

void CMainFrame::WalkKeys(const QStringList& keys) {
    for (const QString& key : keys) {
        tessel::EMenuKey k;
        if (key == "home")
            pageView_->RestartWalk();
        else if (tessel::ParseMenuKey(key.toStdString(), k))
            pageView_->PressMenuKey(k);
    }
}
