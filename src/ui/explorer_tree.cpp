#include "ui/explorer_tree.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <filesystem>
#include <utility>

#include "disc/disc_scan.h"
#include "model/display_set_runs.h"
#include "model/ig_object.h"
#include "model/page.h"
#include "platform/text.h"
#include "render/page_composer.h"
#include "subtitle/pg_stream.h"
#include "ui/node_property.h"
#include "ui/selection.h"

using namespace tessel;

namespace {

// Restores the wait cursor's previous cursor when it goes out of scope.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// Sets the flag for its lifetime and gives back the old value after.
class CHandlingOff {
public:
    explicit CHandlingOff(CFileView& view) : view_(view), old_(view.SelectionHandling()) {
        view_.SetSelectionHandling(false);
    }
    ~CHandlingOff() { view_.SetSelectionHandling(old_); }
    CHandlingOff(const CHandlingOff&) = delete;
    CHandlingOff& operator=(const CHandlingOff&) = delete;

private:
    CFileView& view_;
    bool old_;
};

void DrawDisc(QPainter& p) {
    QRadialGradient shine(QPointF(5.5, 5), 9);
    shine.setColorAt(0, QColor(250, 250, 252));
    shine.setColorAt(0.6, QColor(190, 196, 210));
    shine.setColorAt(1, QColor(140, 150, 175));
    p.setPen(QPen(QColor(90, 96, 120), 1));
    p.setBrush(shine);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(QColor(255, 255, 255, 170), 1));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(3.5, 3.5, 9, 9), 100 * 16, 70 * 16);
    p.setPen(QPen(QColor(90, 96, 120), 1));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(6, 6, 4, 4));
}

void DrawClip(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(45, 45, 52));
    p.drawRect(QRectF(1, 2, 14, 12));
    p.setBrush(QColor(235, 235, 235));
    for (int x = 2; x < 15; x += 3) {
        p.drawRect(QRectF(x, 3, 1.5, 1.5));
        p.drawRect(QRectF(x, 11.5, 1.5, 1.5));
    }
    QLinearGradient picture(0, 5, 0, 11);
    picture.setColorAt(0, QColor(110, 170, 240));
    picture.setColorAt(1, QColor(40, 90, 170));
    p.setBrush(picture);
    p.drawRect(QRectF(2.5, 5.5, 5, 5));
    p.drawRect(QRectF(8.5, 5.5, 5, 5));
}

void DrawIgObject(QPainter& p) {
    // Two stacked menu layers.
    p.setPen(QPen(QColor(40, 80, 60), 1));
    p.setBrush(QColor(120, 190, 150));
    p.drawRoundedRect(QRectF(4.5, 1.5, 10, 9), 1.5, 1.5);
    p.setBrush(QColor(60, 150, 100));
    p.drawRoundedRect(QRectF(1.5, 5.5, 10, 9), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(235, 250, 240));
    for (int y = 0; y < 3; ++y) p.drawRect(QRectF(3.5, 7.5 + y * 2.2, 6, 1.2));
}

// The lines through the points, closed back to the first unless open.
QPainterPath Outline(std::initializer_list<QPointF> points, bool closed = true) {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    if (closed) path.closeSubpath();
    return path;
}

void DrawPage(QPainter& p) {
    p.setPen(QPen(QColor(100, 105, 120), 1));
    p.setBrush(QColor(252, 252, 255));
    p.drawPath(Outline({{3.5, 1.5}, {10.5, 1.5}, {13.5, 4.5}, {13.5, 14.5}, {3.5, 14.5}}));
    p.setBrush(QColor(215, 220, 232));
    p.drawPath(Outline({{10.5, 1.5}, {10.5, 4.5}, {13.5, 4.5}}, false));
    p.setPen(QPen(QColor(120, 150, 200), 1));
    for (int y = 7; y <= 12; y += 2) p.drawLine(QPointF(5, y + 0.5), QPointF(12, y + 0.5));
}

void DrawBog(QPainter& p) {
    // A dashed group frame around two small buttons.
    QPen frame(QColor(150, 100, 30), 1, Qt::DashLine);
    frame.setDashPattern({2, 1});
    p.setPen(frame);
    p.setBrush(QColor(255, 240, 200, 160));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2, 2);
    p.setPen(QPen(QColor(170, 80, 10), 1));
    p.setBrush(QColor(245, 160, 60));
    p.drawRoundedRect(QRectF(3.5, 3.5, 9, 3.5), 1.5, 1.5);
    p.setBrush(QColor(250, 205, 140));
    p.drawRoundedRect(QRectF(3.5, 9, 9, 3.5), 1.5, 1.5);
}

void DrawButton(QPainter& p) {
    QLinearGradient fill(0, 4, 0, 12);
    fill.setColorAt(0, QColor(255, 190, 90));
    fill.setColorAt(1, QColor(220, 110, 20));
    p.setPen(QPen(QColor(150, 70, 10), 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(1.5, 4.5, 13, 7), 3, 3);
    p.setPen(QPen(QColor(255, 255, 255, 190), 1));
    p.drawLine(QPointF(4, 6.5), QPointF(12, 6.5));
}

// A yellow warning triangle with an exclamation mark.
void DrawWarning(QPainter& p) {
    p.setPen(QPen(QColor(150, 100, 0), 1));
    p.setBrush(QColor(255, 200, 30));
    p.drawPath(Outline({{8, 1.5}, {14.8, 14.5}, {1.2, 14.5}}));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 30, 0));
    p.drawRect(QRectF(7.2, 5.5, 1.6, 5));
    p.drawRect(QRectF(7.2, 11.5, 1.6, 1.6));
}

// A stream's node as the command line names it: "PID 0x1400".
QString StreamLabel(const char* kind, int pid) {
    return QString("%1 0x%2").arg(kind, QString("%1").arg(pid, 4, 16, QChar('0')).toUpper());
}

}  // namespace

CViewTree::CViewTree(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(CFileView::kImageSize, CFileView::kImageSize));
    setContextMenuPolicy(Qt::CustomContextMenu);
    setExpandsOnDoubleClick(false);
    header()->setStretchLastSection(true);
}

CFileView::CFileView(QWidget* parent) : QWidget(parent), tree_(new CViewTree(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree_);
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
                if (handling_) HandleSelection(current);
            });
    connect(tree_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { HandleDoubleClick(item); });
    connect(tree_, &QWidget::customContextMenuRequested, this, &CFileView::OnContextMenu);
    tree_->installEventFilter(this);
}

bool CFileView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tree_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && tree_->currentItem()) {
            HandleDoubleClick(tree_->currentItem());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QPixmap CFileView::ImageStrip() {
    QPixmap strip(kImageSize * kImageCount, kImageSize);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    void (*const draw[kImageCount])(QPainter&) = {DrawDisc, DrawClip, DrawIgObject,
                                                  DrawPage, DrawBog,  DrawButton};
    for (int i = 0; i < kImageCount; ++i) {
        p.save();
        p.translate(i * kImageSize, 0);
        p.setClipRect(0, 0, kImageSize, kImageSize);
        draw[i](p);
        p.restore();
    }
    return strip;
}

QIcon CFileView::Image(int index) {
    static const QPixmap strip = ImageStrip();
    if (index < 0 || index >= kImageCount) return {};
    return QIcon(strip.copy(index * kImageSize, 0, kImageSize, kImageSize));
}

QIcon CFileView::WarningImage() {
    QPixmap picture(kImageSize, kImageSize);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    DrawWarning(p);
    p.end();
    return QIcon(picture);
}

void CFileView::SetSelection(CSelection* selection) {
    if (selection_) disconnect(selection_, nullptr, this, nullptr);
    selection_ = selection;
    if (!selection) return;
    connect(selection, &CSelection::chosen, this, [this](CNamedObject* node) {
        if (node && ObjectOf(tree_->currentItem()) != node) SelectNode(node);
    });
    connect(selection, &CSelection::picked, this,
            [this](CBdButton* button) { SelectNode(button); });
    connect(selection, &CSelection::stepped, this, [this](CBdButton* selected, CBdButton*) {
        if (selected) SelectNode(selected);
    });
}

CNamedObject* CFileView::ObjectOf(const QTreeWidgetItem* item) {
    if (!item) return nullptr;
    return reinterpret_cast<CNamedObject*>(item->data(0, Qt::UserRole).value<quintptr>());
}

QTreeWidgetItem* CFileView::AddNode(QTreeWidgetItem* parent, CNamedObject* object,
                                    const QString& label, int image) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
    item->setText(0, label);
    item->setIcon(0, Image(image));
    item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(object)));
    return item;
}

void CFileView::AddPages(QTreeWidgetItem* parent, CNamedObject& composition) {
    auto& ds = dynamic_cast<CIcData&>(composition);
    for (const auto& page : ds.items) {
        QTreeWidgetItem* pageNode =
            AddNode(parent, page.get(), QString::fromStdString(page->name), kImagePage);
        for (const auto& bog : page->items) {
            QTreeWidgetItem* bogNode =
                AddNode(pageNode, bog.get(), QString::fromStdString(bog->name), kImageBog);
            for (const auto& button : bog->items)
                AddNode(bogNode, button.get(), QString::fromStdString(button->name), kImageButton);
        }
    }
}

void CFileView::AddIgContents(QTreeWidgetItem* parent, CIgObject& ig) {
    if (!showAll_) {
        if (ig.GetSize() == 1 && ig.GetAt(0)->GetSize() == 1)
            AddPages(parent, *ig.GetAt(0)->GetAt(0));
        return;
    }
    for (const auto& epoch : ig.items) {
        QTreeWidgetItem* epochNode =
            AddNode(parent, epoch.get(), QString::fromStdString(epoch->name), kImageIgObject);
        for (const SDisplaySetRun& run : IdenticalDisplaySetRuns(*epoch)) {
            CDisplaySet& ds = *epoch->GetAt(run.first);
            QString label = QString::fromStdString(ds.name);
            if (run.count > 1) label += QStringLiteral(" (x%1)").arg(run.count);
            AddPages(AddNode(epochNode, &ds, label, kImageIgObject), ds);
        }
    }
}

void CFileView::FillTree(CTlDisc* disc) {
    disc_ = disc;
    CHandlingOff off(*this);
    tree_->setUpdatesEnabled(false);
    tree_->clear();
    if (selection_) selection_->Clear();
    faults_.clear();
    scanNode_ = nullptr;
    if (disc) {
        QTreeWidgetItem* discNode = AddDiscNode(*disc, QString::fromStdString(disc->name));
        // Clips in number order, the files left out among them flagged.
        auto kept = [disc](int number) {
            return std::any_of(disc->clips.begin(), disc->clips.end(),
                               [number](const auto& c) { return c->id == number; });
        };
        auto fault = disc->faults.begin();
        auto addFaultsBefore = [&](int number) {
            for (; fault != disc->faults.end() && fault->clip < number; ++fault)
                if (fault->clip < 0 || !kept(fault->clip)) AddFault(discNode, *fault);
        };
        for (const auto& clip : disc->clips) {
            addFaultsBefore(clip->id);
            AddClip(discNode, *clip);
        }
        addFaultsBefore(INT_MAX);
        discNode->setExpanded(true);
    }
    tree_->setUpdatesEnabled(true);
}

void CFileView::ShowScannedClip(CTlDisc& disc, CTlM2tsObject& clip, const QString& label) {
    CHandlingOff off(*this);
    if (!scanNode_) {
        for (int i = 0; i < tree_->topLevelItemCount(); ++i)
            tree_->topLevelItem(i)->setHidden(true);
        scanNode_ = AddDiscNode(disc, label);
    }
    AddClip(scanNode_, clip);
    scanNode_->setExpanded(true);
}

void CFileView::RestoreTree() {
    if (!scanNode_) return;
    CHandlingOff off(*this);
    delete std::exchange(scanNode_, nullptr);
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) tree_->topLevelItem(i)->setHidden(false);
}

QTreeWidgetItem* CFileView::AddDiscNode(CTlDisc& disc, const QString& label) {
    QTreeWidgetItem* node = AddNode(nullptr, &disc, label, kImageDisc);
    QFont bold = tree_->font();
    bold.setBold(true);
    node->setFont(0, bold);
    return node;
}

void CFileView::AddClip(QTreeWidgetItem* discNode, CTlM2tsObject& clip) {
    QTreeWidgetItem* clipNode =
        AddNode(discNode, &clip, QString::asprintf("%05d.m2ts", clip.id), kImageClip);
    if (!clip.losses.empty() || clip.cutPacketAt >= 0) clipNode->setIcon(0, WarningImage());
    if (clip.igObjects.size() == 1)
        AddIgContents(clipNode, *clip.igObjects.front());
    else
        for (const auto& ig : clip.igObjects)
            AddIgContents(AddNode(clipNode, ig.get(), StreamLabel("PID", ig->id), kImageIgObject),
                          *ig);
    // Each subtitle stream with its events by their times.
    for (const auto& pg : clip.pgStreams) {
        QTreeWidgetItem* pgNode =
            AddNode(clipNode, pg.get(), StreamLabel("PG stream", pg->pid), kImageIgObject);
        for (const auto& event : *pg)
            AddNode(pgNode, event.get(), QString::fromStdString(event->name), kImagePage);
    }
}

void CFileView::AddFault(QTreeWidgetItem* discNode, const SScanFault& fault) {
    auto node = std::make_unique<CFaultNode>();
    node->id = fault.clip;
    node->name = fault.clip >= 0 ? StrFormat("%05d.m2ts", fault.clip)
                                 : std::filesystem::path(fault.path).filename().string();
    node->path = fault.path;
    node->reason = fault.reason;
    QTreeWidgetItem* item =
        AddNode(discNode, node.get(), QString::fromStdString(node->name), kImageClip);
    item->setIcon(0, WarningImage());
    item->setToolTip(0, QString::fromStdString(fault.reason));
    faults_.push_back(std::move(node));
}

void CFileView::SetShowAllDisplaySets(bool on) {
    if (on == showAll_) return;
    showAll_ = on;
    FillTree(disc_);
}

QTreeWidgetItem* CFileView::FindNode(const CNamedObject* object) const {
    if (!object) return nullptr;
    for (QTreeWidgetItemIterator it(tree_); *it; ++it)
        if (ObjectOf(*it) == object) return *it;
    return nullptr;
}

void CFileView::SelectNode(const CNamedObject* object) {
    QTreeWidgetItem* item = FindNode(object);
    if (!item) return;
    CHandlingOff off(*this);
    tree_->setCurrentItem(item);
    tree_->scrollToItem(item);
}

void CFileView::HandleSelection(QTreeWidgetItem* item) {
    CNamedObject* object = ObjectOf(item);
    if (!object) {
        if (selection_) selection_->Choose(nullptr);
        return;
    }
    CWaitCursor wait;
    // The page view marks the button again when it shows its page.
    if (auto* button = dynamic_cast<CBdButton*>(object))
        if (CPage* page = PageOfButton(*button)) ClearButtonMarks(*page);
    if (selection_) selection_->Choose(object);
}

void CFileView::HandleDoubleClick(QTreeWidgetItem* item) {
    if (CNamedObject* object = ObjectOf(item); object && selection_) selection_->Open(object);
}

void CFileView::OnContextMenu(const QPoint& pos) {
    if (QTreeWidgetItem* item = tree_->itemAt(pos)) tree_->setCurrentItem(item);
}
