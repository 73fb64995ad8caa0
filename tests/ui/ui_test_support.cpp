#include "ui_test_support.h"

#include "disc/disc_subs.h"
#include "platform/messages.h"

namespace uitest {

tessel::authoring::SMenuOptions SmallMenu(int pages, int bogs, int buttons) {
    tessel::authoring::SMenuOptions o;
    o.pages = pages;
    o.bogsPerPage = bogs;
    o.buttonsPerBog = buttons;
    o.buttonWidth = 48;
    o.buttonHeight = 24;
    return o;
}

void StripBackgrounds(tessel::CIgObject& ig) {
    for (const auto& epoch : ig.items)
        for (const auto& ds : epoch->items)
            for (const auto& page : ds->items)
                for (int g = page->GetSize() - 1; g >= 0; --g) {
                    const tessel::CBog& bog = *page->GetAt(g);
                    int l, t, r, b;
                    if (bog.GetSize() == 1 && bog.GetAt(0)->GetRect(l, t, r, b) &&
                        r - l >= ig.video.width && b - t >= ig.video.height)
                        page->RemoveAt(g);
                }
}

tessel::authoring::SClipSpec Clip(int number, std::vector<uint16_t> pids,
                                  tessel::authoring::SMenuOptions menu) {
    // The pictures stay while the program runs: the menus refer to them.
    static QTemporaryDir pictures;
    tessel::authoring::SClipSpec c;
    c.number = number;
    c.applicationType = 1;
    c.igPids = pids;
    c.menu = menu;
    for (size_t i = 0; i < pids.size(); ++i) {
        tessel::CIgObject ig;
        tessel::authoring::SMenuOptions m = menu;
        m.seed = number * 7 + static_cast<int>(i) * 3;
        const std::string folder =
            pictures.filePath(QString::asprintf("%05d_%d", number, pids[i])).toStdString();
        if (!tessel::authoring::AuthorMenu(m, folder, ig)) continue;
        StripBackgrounds(ig);
        tessel::authoring::MenuStream(ig, c.streams[pids[i]]);
    }
    return c;
}

namespace {
// Messages of a scan go to the test log, never to a box.
class CQuietSink : public tessel::IMessageSink {
public:
    explicit CQuietSink(std::string& last) : last_(last), previous_(tessel::SetMessageSink(this)) {}
    ~CQuietSink() override { tessel::SetMessageSink(previous_); }
    void ShowMessage(const std::string& text) override { last_ = text; }
    tessel::EAnswer Ask(const std::string& text) override {
        last_ = text;
        return tessel::EAnswer::Cancel;
    }

private:
    std::string& last_;
    tessel::IMessageSink* previous_;
};
}  // namespace

CScannedDisc::CScannedDisc(const tessel::authoring::SDiscOptions& options) {
    if (!dir_.isValid()) return;
    const std::string root = dir_.filePath(QStringLiteral("Film")).toStdString();
    tessel::authoring::SDiscOptions o = options;
    o.pictureFolder = dir_.filePath(QStringLiteral("pictures")).toStdString();
    if (const tessel::CResult r = tessel::authoring::WriteSampleDisc(root, o); !r) {
        error = r.Message();
        return;
    }
    CQuietSink quiet(error);
    result = tessel::ScanDisc(disc, root + "/BDMV/", nullptr);
    if (result == 0) result = tessel::ReadDiscSubtitles(disc, nullptr);
    ok = result == 0;
}

CScannedDisc::CScannedDisc() {
    CQuietSink quiet(error);
    result = tessel::ScanDisc(disc, TESSEL_SOURCE_DIR "/samples/demo/BDMV/", nullptr);
    ok = result == 0;
}

tessel::CTlM2tsObject* FindClip(tessel::CTlDisc& disc, int number) {
    for (const auto& clip : disc.clips)
        if (clip->id == number) return clip.get();
    return nullptr;
}

}  // namespace uitest
