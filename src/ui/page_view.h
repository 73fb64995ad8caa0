// The page preview: the composed page over the background frame with the
// safe-area frames, centred in a larger window and scrolled in a smaller
// one; a click selects a button here and in the explorer tree.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <cstdint>

#include "model/bog.h"
#include "platform/bitmap.h"
#include "render/page_composer.h"

class CFileView;

namespace tessel {
class CPage;
}

class CTlPageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CTlPageView(QWidget* parent = nullptr);

    // The shown page (not owned; null for none), then recompose and redraw.
    void SetPage(tessel::CPage* page);
    tessel::CPage* Page() const { return composer_.Page(); }
    // Button state 0 Normal, 1 Selected, 2 Activated; recompose and redraw.
    void SetState(int state);
    int State() const { return composer_.State(); }
    // Zoom by index of kZoomFactors: recompose; a new factor resizes the
    // scroll range and redraws.
    void SetZoomIndex(int index);
    int ZoomIndex() const { return composer_.ZoomIndex(); }
    // Colour value 0x00BBGGRR behind the page; redraws.
    void SetBackground(uint32_t colourValue);
    uint32_t BackgroundColourValue() const;

    // Rebuilds the page bitmap and redraws.
    void Recompose();
    // Repaints from the composer's current page bitmap; call it after
    // changing the composer directly.
    void Redraw();

    // The tree's requests, each recomposing and redrawing when it changes
    // something: a button selected in the tree, a page, a group's page or a
    // button's page double-clicked.
    bool SelectFromTree(tessel::CBdButton& button);
    void ShowPage(tessel::CPage& page);
    bool ShowPageOf(tessel::CBog& bog);
    bool ShowButton(tessel::CBdButton& button);

    tessel::CPageComposer& Composer() { return composer_; }
    const tessel::CPageComposer& Composer() const { return composer_; }
    // The picture shown: the composer's view picture with the safe-area
    // frames, as ARGB32.
    QImage FrameImage() const;
    // Where the frame's top-left corner lies in the viewport (centring
    // offsets less the scroll position).
    QPoint FrameOrigin() const;

    // The explorer whose node follows a click (may be null).
    void SetExplorer(CFileView* explorer) { explorer_ = explorer; }
    // Selects the button's node in the explorer without the tree's own
    // selection handling.
    virtual void NotifySelection(tessel::CBdButton* button);

signals:
    // A click chose a button (after the page view and the tree followed).
    void buttonClicked(tessel::CBdButton* button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QPoint CentringOffset() const;
    void UpdateScrollBars();
    void RebuildPicture();

    tessel::CPageComposer composer_;
    CFileView* explorer_ = nullptr;
    tessel::Bitmap picture_;  // the view picture, rebuilt when it changes
    QImage pictureImage_;     // shares picture_'s pixels
};
