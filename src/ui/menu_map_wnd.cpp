#include "ui/menu_map_wnd.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "model/ic_data.h"
#include "player/map_decoration.h"

namespace {

constexpr double kMinZoom = 0.05;
constexpr double kMaxZoom = 4.0;
constexpr double kZoomStep = 1.25;

}  // namespace

// The picture at the pane's zoom with the marked node; clicks go to the
// pane.
class CMapCanvas : public QWidget {
public:
    explicit CMapCanvas(CMenuMapWnd& pane) : pane_(pane) { setCursor(Qt::PointingHandCursor); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        if (pane_.image_.isNull()) return;
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRectF(0, 0, width(), height()), pane_.image_);
        const double z = pane_.zoom_;
        for (const tessel::SMapNodeBox& n : pane_.picture_.nodes) {
            if (n.page != pane_.markPage_ || n.button != pane_.markButton_ || n.page < 0) continue;
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(QColor(255, 140, 0), 3));
            p.setBrush(QColor(255, 140, 0, 48));
            p.drawRoundedRect(
                QRectF(n.left * z - 3, n.top * z - 3, n.width * z + 6, n.height * z + 6), 6, 6);
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) pane_.Clicked(event->position().toPoint());
    }

private:
    CMenuMapWnd& pane_;
};

struct CMenuMapWnd::SResult {
    int generation = 0;
    tessel::SMapPicture picture;
    QImage image;
    std::string error;
    QString summary;
};

CMenuMapWnd::CMenuMapWnd(QWidget* parent)
    : QWidget(parent),
      message_(new QLabel(this)),
      fitButton_(new QToolButton(this)),
      decorationBox_(new QCheckBox("Decoration", this)),
      scroll_(new QScrollArea(this)),
      canvas_(new CMapCanvas(*this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(4, 2, 4, 0);
    message_->setWordWrap(true);
    message_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(message_, 1);
    fitButton_->setText("Fit");
    fitButton_->setToolTip("Fit the map to the pane");
    fitButton_->setCheckable(true);
    fitButton_->setChecked(fit_);
    connect(fitButton_, &QToolButton::clicked, this, [this](bool on) {
        userZoomed_ = true;
        SetFit(on);
    });
    decorationBox_->setToolTip("Also map the buttons without commands that no key reaches");
    connect(decorationBox_, &QCheckBox::toggled, this, &CMenuMapWnd::SetShowDecoration);
    bar->addWidget(decorationBox_);
    auto addZoom = [&](const char* text, const char* tip, double factor) {
        auto* button = new QToolButton(this);
        button->setText(text);
        button->setToolTip(tip);
        connect(button, &QToolButton::clicked, this, [this, factor] {
            userZoomed_ = true;
            SetZoom(zoom_ * factor);
        });
        bar->addWidget(button);
    };
    addZoom("-", "Zoom out", 1 / kZoomStep);
    addZoom("+", "Zoom in", kZoomStep);
    bar->addWidget(fitButton_);
    layout->addLayout(bar);
    scroll_->setWidget(canvas_);
    scroll_->setWidgetResizable(false);
    scroll_->setAlignment(Qt::AlignCenter);
    scroll_->setBackgroundRole(QPalette::Base);
    scroll_->viewport()->installEventFilter(this);
    layout->addWidget(scroll_, 1);
    message_->setText(tessel::MapPicturesAvailable()
                          ? "The map of the shown page's menu shows here."
                          : "The menu map needs a build of Tessel with Graphviz.");
    ApplyZoom();
}

CMenuMapWnd::~CMenuMapWnd() {
    JoinWorker();
}

void CMenuMapWnd::JoinWorker() {
    if (worker_.joinable()) worker_.join();
}

void CMenuMapWnd::ShowComposition(const tessel::CIcData* composition) {
    if (composition == composition_) return;
    composition_ = composition;
    ++generation_;
    picture_ = {};
    image_ = {};
    markPage_ = markButton_ = -1;
    ApplyZoom();
    if (!composition) {
        JoinWorker();
        shownGeneration_ = generation_;
        message_->setText("No page is shown.");
        return;
    }
    if (!tessel::MapPicturesAvailable()) {
        shownGeneration_ = generation_;
        message_->setText("The menu map needs a build of Tessel with Graphviz.");
        emit mapReady();
        return;
    }
    message_->setText("Mapping the menu...");
    // A running worker's delivery starts the next map.
    if (!worker_.joinable()) StartWorker();
}

void CMenuMapWnd::StartWorker() {
    const tessel::CIcData* composition = composition_;
    const int generation = generation_;
    const bool decoration = showDecoration_;
    workerGeneration_ = generation;
    worker_ = std::thread([this, composition, generation, decoration] {
        auto result = std::make_shared<SResult>();
        result->generation = generation;
        tessel::SMenuMap map = tessel::ExploreMenu(*composition, kStateBound);
        const int dropped = decoration ? 0 : tessel::DropDecorationButtons(map, *composition);
        int buttons = 0;
        for (const tessel::SMapPage& p : map.pages) buttons += static_cast<int>(p.buttons.size());
        result->summary = QString("%1 page(s), %2 button(s), %3 arrow(s), %4 state(s)")
                              .arg(map.pages.size())
                              .arg(buttons)
                              .arg(map.edges.size())
                              .arg(map.statesExplored);
        if (map.boundReached)
            result->summary += QString("; stopped at the bound of %1 states").arg(kStateBound);
        if (dropped > 0)
            result->summary += QString("; %1 decoration button(s) left out").arg(dropped);
        if (const tessel::CResult r =
                tessel::RenderMapPicture(tessel::MapToDot(map), result->picture);
            !r) {
            result->error = r.Text();
        } else {
            const auto& png = result->picture.png;
            result->image = QImage::fromData(png.data(), static_cast<int>(png.size()), "PNG");
            if (result->image.isNull()) result->error = "the map's picture does not load";
        }
        QMetaObject::invokeMethod(
            this, [this, result] { Deliver(result); }, Qt::QueuedConnection);
    });
}

void CMenuMapWnd::Deliver(std::shared_ptr<SResult> result) {
    // A worker joined already (its composition was let go) delivers late.
    if (result->generation != workerGeneration_ || !worker_.joinable()) return;
    JoinWorker();
    if (result->generation != generation_) {
        if (composition_) StartWorker();
        return;
    }
    shownGeneration_ = generation_;
    if (result->error.empty()) {
        picture_ = std::move(result->picture);
        image_ = result->image;
        message_->setText(result->summary);
    } else {
        message_->setText(QString("No map: %1").arg(QString::fromStdString(result->error)));
    }
    ChooseZoom();
    ApplyZoom();
    FollowMark(true);
    emit mapReady();
}

bool CMenuMapWnd::WaitForMap(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (Busy() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (Busy()) QThread::msleep(5);
    }
    return !Busy();
}

void CMenuMapWnd::MarkButton(int page, int button) {
    if (page == markPage_ && button == markButton_) return;
    markPage_ = page;
    markButton_ = button;
    canvas_->update();
    FollowMark(false);
}

void CMenuMapWnd::SetShowDecoration(bool on) {
    if (decorationBox_->isChecked() != on) decorationBox_->setChecked(on);
    if (on == showDecoration_) return;
    showDecoration_ = on;
    if (!composition_) return;
    // The same composition mapped again, keeping the mark.
    ++generation_;
    picture_ = {};
    image_ = {};
    ApplyZoom();
    message_->setText("Mapping the menu...");
    if (!worker_.joinable()) StartWorker();
}

void CMenuMapWnd::ChooseZoom() {
    if (userZoomed_ || image_.isNull()) return;
    const QSize room = scroll_->viewport()->size();
    const double whole = std::min({1.0, static_cast<double>(room.width()) / image_.width(),
                                   static_cast<double>(room.height()) / image_.height()});
    fit_ = whole >= kReadableZoom;
    zoom_ = fit_ ? whole : kReadableZoom;
    if (fitButton_->isChecked() != fit_) fitButton_->setChecked(fit_);
}

QPointF CMenuMapWnd::MarkCentre() const {
    // The marked node, else the box around the marked page's nodes.
    QRectF box;
    for (const tessel::SMapNodeBox& n : picture_.nodes) {
        if (n.page != markPage_ || markPage_ < 0) continue;
        const QRectF r(n.left, n.top, n.width, n.height);
        if (n.button == markButton_) return r.center() * zoom_;
        box = box.isNull() ? r : box.united(r);
    }
    return box.isNull() ? QPointF(-1, -1) : box.center() * zoom_;
}

void CMenuMapWnd::FollowMark(bool centre) {
    if (image_.isNull()) return;
    const QPointF at = MarkCentre();
    if (at.x() < 0) return;
    const QSize room = scroll_->viewport()->size();
    const QPoint shown = ScrollPosition();
    const bool inView = QRectF(shown.x() + room.width() / 4.0, shown.y() + room.height() / 4.0,
                               room.width() / 2.0, room.height() / 2.0)
                            .contains(at);
    if (!centre && inView) return;
    auto place = [this] {
        const QPointF mark = MarkCentre();
        if (mark.x() < 0) return;
        const QSize view = scroll_->viewport()->size();
        scroll_->horizontalScrollBar()->setValue(qRound(mark.x() - view.width() / 2.0));
        scroll_->verticalScrollBar()->setValue(qRound(mark.y() - view.height() / 2.0));
    };
    place();
    // Again once the canvas' new size has reached the scroll bars.
    QTimer::singleShot(0, this, place);
}

QPoint CMenuMapWnd::ScrollPosition() const {
    return {scroll_->horizontalScrollBar()->value(), scroll_->verticalScrollBar()->value()};
}

QSize CMenuMapWnd::ViewportSize() const {
    return scroll_->viewport()->size();
}

void CMenuMapWnd::SetZoom(double zoom) {
    zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
    fit_ = false;
    fitButton_->setChecked(false);
    ApplyZoom();
}

void CMenuMapWnd::SetFit(bool on) {
    fit_ = on;
    if (fitButton_->isChecked() != on) fitButton_->setChecked(on);
    ApplyZoom();
}

void CMenuMapWnd::ApplyZoom() {
    if (image_.isNull()) {
        canvas_->setFixedSize(1, 1);
        canvas_->update();
        return;
    }
    if (fit_) {
        const QSize room = scroll_->viewport()->size();
        const double z = std::min({1.0, static_cast<double>(room.width()) / image_.width(),
                                   static_cast<double>(room.height()) / image_.height()});
        zoom_ = std::max(z, kMinZoom);
    }
    canvas_->setFixedSize(std::max(1, qRound(image_.width() * zoom_)),
                          std::max(1, qRound(image_.height() * zoom_)));
    canvas_->update();
}

bool CMenuMapWnd::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll_->viewport() && event->type() == QEvent::Resize) {
        // Until the user zooms, the map keeps its readable zoom and its
        // marked place in the middle as the pane takes its size.
        ChooseZoom();
        if (fit_ || !userZoomed_) ApplyZoom();
        if (!userZoomed_) FollowMark(true);
    }
    return QWidget::eventFilter(watched, event);
}

const tessel::SMapNodeBox* CMenuMapWnd::NodeAt(QPoint canvasPoint) const {
    const double x = canvasPoint.x() / zoom_, y = canvasPoint.y() / zoom_;
    for (const tessel::SMapNodeBox& n : picture_.nodes)
        if (x >= n.left && x < n.left + n.width && y >= n.top && y < n.top + n.height) return &n;
    return nullptr;
}

QPoint CMenuMapWnd::NodeCentre(int page, int button) const {
    for (const tessel::SMapNodeBox& n : picture_.nodes)
        if (n.page == page && n.button == button && page >= 0)
            return {qRound((n.left + n.width / 2) * zoom_), qRound((n.top + n.height / 2) * zoom_)};
    return {-1, -1};
}

QWidget* CMenuMapWnd::Canvas() const {
    return canvas_;
}

QString CMenuMapWnd::Message() const {
    return message_->text();
}

void CMenuMapWnd::Clicked(QPoint canvasPoint) {
    const tessel::SMapNodeBox* node = NodeAt(canvasPoint);
    if (!node || node->page < 0 || node->button < 0 || !composition_) return;
    MarkButton(node->page, node->button);
    emit buttonChosen(composition_, node->page, node->button);
}
