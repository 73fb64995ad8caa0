// The "Menu map" pane: the map of a composition (every state its keys reach
// from the start, laid out and drawn by Graphviz) in a scroll area, fitted
// to the pane or zoomed; the map is made on a worker thread. A click on a
// button's node asks for that page and button.
#pragma once

#include <QImage>
#include <QWidget>
#include <memory>
#include <thread>

#include "model/ic_data.h"  // complete for the signal's meta type
#include "player/menu_map.h"

class QCheckBox;
class QLabel;
class QScrollArea;
class QToolButton;
class CMapCanvas;

class CMenuMapWnd : public QWidget {
    Q_OBJECT
public:
    // States one map explores at most.
    static constexpr int kStateBound = 20000;

    explicit CMenuMapWnd(QWidget* parent = nullptr);
    // Waits for a running map.
    ~CMenuMapWnd() override;

    // The composition to map (not owned; null for none). The worker reads
    // it until its map is made; a null composition waits for the worker, so
    // give one before the composition goes away.
    void ShowComposition(const tessel::CIcData* composition);
    const tessel::CIcData* Composition() const { return composition_; }
    // The composition's map is still being made.
    bool Busy() const { return composition_ && shownGeneration_ != generation_; }
    // Runs the event loop until the map is shown; false on time-out.
    bool WaitForMap(int timeoutMs);

    // The node drawn as the current place (page and button ids; -1: none),
    // scrolled into view; a page without a button brings that page's nodes
    // into view.
    void MarkButton(int page, int button);
    int MarkedPage() const { return markPage_; }
    int MarkedButton() const { return markButton_; }
    // Zoom of the picture (1: Graphviz's pixels), which ends fitting; fit
    // scales it down to the pane. Until the user zooms, a new map is shown
    // whole when that is readable (kReadableZoom or more), else at
    // kReadableZoom centred on the marked place.
    static constexpr double kReadableZoom = 0.8;
    void SetZoom(double zoom);
    double Zoom() const { return zoom_; }
    void SetFit(bool on);
    bool Fit() const { return fit_; }
    // Buttons without commands that are their own neighbours, which no key
    // reaches, are left out of the map unless asked for (a new map).
    void SetShowDecoration(bool on);
    bool ShowDecoration() const { return showDecoration_; }
    // The scroll position of the map (for tests and pictures).
    QPoint ScrollPosition() const;
    QSize ViewportSize() const;

    const tessel::SMapPicture& Picture() const { return picture_; }
    const QImage& Image() const { return image_; }
    // The node under a point of the canvas (null for none), and the centre
    // of a button's node on the canvas ((-1, -1) for none).
    const tessel::SMapNodeBox* NodeAt(QPoint canvasPoint) const;
    QPoint NodeCentre(int page, int button) const;
    QWidget* Canvas() const;
    // What the pane says above the map.
    QString Message() const;

signals:
    // A click on the node of a button of the composition.
    void buttonChosen(const tessel::CIcData* composition, int page, int button);
    // The map of the composition is shown, or its failure.
    void mapReady();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class CMapCanvas;
    struct SResult;

    void StartWorker();
    void JoinWorker();
    void Deliver(std::shared_ptr<SResult> result);
    void ApplyZoom();
    // The readable zoom of a newly shown map while the user has not zoomed.
    void ChooseZoom();
    // Brings the marked place into view (centred when it is out of view).
    void FollowMark(bool centre);
    QPointF MarkCentre() const;
    void Clicked(QPoint canvasPoint);

    QLabel* message_;
    QToolButton* fitButton_;
    QCheckBox* decorationBox_;
    QScrollArea* scroll_;
    CMapCanvas* canvas_;
    const tessel::CIcData* composition_ = nullptr;
    std::thread worker_;
    int generation_ = 0;        // of the composition asked for
    int shownGeneration_ = 0;   // of the map shown
    int workerGeneration_ = 0;  // of the last worker started
    tessel::SMapPicture picture_;
    QImage image_;
    double zoom_ = 1.0;
    bool fit_ = true;
    bool userZoomed_ = false;
    bool showDecoration_ = false;
    int markPage_ = -1, markButton_ = -1;
};
