// The "IG View" pane: the open disc as a tree of clips, IG objects, pages,
// button overlap groups and buttons, and each clip's PG streams with their
// events. Every node points at its model object
// (Qt::UserRole); the tree owns none of them.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QTreeWidget>
#include <QWidget>
#include <memory>
#include <vector>

#include "model/named_object.h"  // complete for the signal's meta type
#include "ui/node_property.h"

class CSelection;

namespace tessel {
class CNamedObject;
class CTlDisc;
class CTlM2tsObject;
struct SScanFault;
class CIgObject;
class CEpoch;
class CPage;
}  // namespace tessel

class CViewTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit CViewTree(QWidget* parent = nullptr);
};

class CFileView : public QWidget {
    Q_OBJECT
public:
    // Images of the strip, 16 x 16 each.
    enum EImage { kImageDisc, kImageClip, kImageIgObject, kImagePage, kImageBog, kImageButton };
    static constexpr int kImageCount = 6;
    static constexpr int kImageSize = 16;

    explicit CFileView(QWidget* parent = nullptr);

    // Rebuilds the tree from the disc (null: empty tree) and clears the
    // selection, which may point into the old tree.
    void FillTree(tessel::CTlDisc* disc);
    // A scan under way shows each clip it keeps as it comes: the first puts
    // the tree shown aside (hidden) under a node of the disc being scanned,
    // labelled label; the selection stays. FillTree drops what was put
    // aside, RestoreTree (a cancelled or failed scan) brings it back.
    void ShowScannedClip(tessel::CTlDisc& disc, tessel::CTlM2tsObject& clip, const QString& label);
    void RestoreTree();
    // Depth-first from the first root node; null when no node shows it.
    QTreeWidgetItem* FindNode(const tessel::CNamedObject* object) const;
    // Makes the object's node the current one without handling the change.
    void SelectNode(const tessel::CNamedObject* object);
    // While off, selection changes are not handled (on by default).
    void SetSelectionHandling(bool on) { handling_ = on; }
    bool SelectionHandling() const { return handling_; }
    // The selection the tree sets (its handled changes and double-clicks)
    // and follows: the node of a button picked or walked to in the page
    // view, or of a node chosen elsewhere, becomes current without handling.
    void SetSelection(CSelection* selection);

    // Adds epoch and display-set levels so that every page can be reached;
    // identical neighbouring display sets show as one node with their count.
    // Off by default; rebuilds the tree.
    void SetShowAllDisplaySets(bool on);
    bool ShowAllDisplaySets() const { return showAll_; }

    CViewTree* Tree() const { return tree_; }
    static tessel::CNamedObject* ObjectOf(const QTreeWidgetItem* item);

    // The image strip: six 16-pixel images side by side, drawn here.
    static QPixmap ImageStrip();
    static QIcon Image(int index);
    // The flag of a clip the scan left out or read only in part.
    static QIcon WarningImage();

    // The reactions to the tree, also for callers that drive it directly:
    // the node chosen in the selection (a button's page loses its marks
    // first), the node opened; Enter on a node does what a double-click does.
    void HandleSelection(QTreeWidgetItem* item);
    void HandleDoubleClick(QTreeWidgetItem* item);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeWidgetItem* AddDiscNode(tessel::CTlDisc& disc, const QString& label);
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, tessel::CNamedObject* object,
                             const QString& label, int image);
    void AddClip(QTreeWidgetItem* discNode, tessel::CTlM2tsObject& clip);
    void AddFault(QTreeWidgetItem* discNode, const tessel::SScanFault& fault);
    void AddIgContents(QTreeWidgetItem* parent, tessel::CIgObject& ig);
    void AddPages(QTreeWidgetItem* parent, tessel::CNamedObject& composition);
    void OnContextMenu(const QPoint& pos);

    CViewTree* tree_;
    tessel::CTlDisc* disc_ = nullptr;
    CSelection* selection_ = nullptr;
    bool handling_ = true;
    bool showAll_ = false;
    QTreeWidgetItem* scanNode_ = nullptr;  // the disc of a scan under way
    // The nodes of the files the disc's scan left out.
    std::vector<std::unique_ptr<CFaultNode>> faults_;
};
