// The main window: menus, the "Standard" toolbar, the BDMV band, the status
// bar, the four docking panes around the page view, and the commands.
#pragma once

#include <QLineEdit>
#include <QMainWindow>
#include <QMap>
#include <cstdint>
#include <string>
#include <vector>

#include "app/app_host.h"
#include "app/startup_script.h"

class CColourButton;
class CTlPageView;
class CFileView;
class CPropertiesWnd;
class CCmdWnd;
class CMenuMapWnd;
class CProblemsWnd;
class QActionGroup;
class QComboBox;
class QDockWidget;
class QLabel;
class CQuickScanPane;
class CSelection;

namespace tessel {
class CIcData;
class CPage;
class CTlDisc;
}  // namespace tessel

// The band's folder box: the folder of the last successful open, with a
// browse button that runs the Open command.
class CBdmvBrowseEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CBdmvBrowseEdit(QWidget* parent = nullptr);
    QAction* BrowseAction() const { return browse_; }

signals:
    void BrowseRequested();

private:
    QAction* browse_ = nullptr;
};

enum class ECommand {
    Open,
    OpenImage,
    Exit,
    RipImage,
    ImportImage,
    IgView,
    PropertiesView,
    ButtonCommand,
    MenuMapView,
    StatusBar,
    Normal,
    Selected,
    Activated,
    About,
    WebSite,
    ShowAllDisplaySets,
    ProblemsView,
    QuickOpen,
    ScanFully,
};

// The commands a start-up script drives (IScriptedWindow) are public too.
class CMainFrame : public QMainWindow, public IScriptedWindow {
    Q_OBJECT
public:
    static constexpr const char* kWebSite = "https://tessel.orvane.example/";

    explicit CMainFrame(IAppHost& app, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The Open command: the BDMV folder dialog, then the scan.
    void OpenDisc();
    // The Open disc image command: the image file dialog, then the scan.
    void OpenDiscImage();
    // The scan of a folder (or a disc image) and what follows it, without the
    // dialog; the scan's result (0 success, 1 cancelled, 2 failure).
    int OpenFolder(const QString& folder, bool quick = false) override;
    // The Quick open command: the folder dialog, then the quick scan.
    void QuickOpenDisc();
    // The Rip image command.
    void RipImage();
    void ImportNewImage();
    // Button state of the page view (0 Normal, 1 Selected, 2 Activated).
    void SetState(int state) override;
    // Zoom box index (0 "100%" ... 4 "12.5%", 5 "Fit").
    void SetZoomIndex(int index);
    void SetBackgroundColour(uint32_t colourValue);
    // Shows the disc's first page in the page view and selects it in the
    // tree; false when the disc has none.
    bool ShowFirstPage() override;
    // Selects the event (from 0) of the disc's first PG stream in the tree,
    // with what follows a selection there; false when there is none.
    bool ShowSubtitle(int index) override;
    // The events of the disc's first PG stream; -1 without one.
    int SubtitleEvents() const override;
    void SetShowAllDisplaySets(bool on);
    // The start-up step: the zoom box's item and the background colour
    // applied to the page view.
    void ApplyStartupView();
    void UpdateCommandStates();
    // A button of a composition chosen on the map: its page shown, its node
    // selected in the tree with what follows a selection there.
    void ShowMapButton(const tessel::CIcData* composition, int pageId, int buttonId);
    // A finding chosen in the Problems pane: its button as ShowMapButton
    // shows it, or without a button its page shown and selected in the tree.
    void ShowProblem(const tessel::CIcData* composition, int pageId, int buttonId);
    // Keys walked in the page view: "up", "down", "left", "right", "enter",
    // "home"; others are skipped.
    void WalkKeys(const QStringList& keys) override;
    // The page view playing in time, or the still view; played to a time
    // and held there.
    void SetPlaying(bool playing) override;
    void PlayTo(double seconds) override;
    // The zoom box's item, applied to the page view by ApplyStartupView.
    void SetStartZoom(int index) override;
    // Shown, enabled and exposed; the menu map still being made.
    bool Exposed() const override;
    bool Busy() const override;

    void SaveLayout() const;
    void RestoreLayout();
    QImage Grab();
    // A picture of one pane: "page", "map", "tree", "properties" or
    // "commands" (the window for others).
    QImage GrabPane(const QString& pane) override;
    // Selects the button of this id on the shown page as a click in the tree
    // does; false when the page has none.
    bool SelectButton(int id) override;

    QAction* Action(ECommand command) const { return actions_.value(command); }
    CTlPageView* PageView() const { return pageView_; }
    // The one selection every pane follows.
    CSelection* Selection() const { return selection_; }
    CFileView* Explorer() const { return explorer_; }
    CPropertiesWnd* Properties() const { return properties_; }
    CCmdWnd* Commands() const { return commands_; }
    CMenuMapWnd* MenuMap() const { return menuMap_; }
    CProblemsWnd* Problems() const { return problems_; }
    QComboBox* ZoomBox() const { return zoomBox_; }
    CColourButton* ColourButton() const { return colourButton_; }
    CBdmvBrowseEdit* FolderEdit() const { return folderEdit_; }
    QLabel* VersionPane() const { return versionPane_; }
    QDockWidget* ExplorerDock() const { return explorerDock_; }
    QDockWidget* PropertiesDock() const { return propertiesDock_; }
    QDockWidget* CommandDock() const { return commandDock_; }
    QDockWidget* MenuMapDock() const { return menuMapDock_; }
    QDockWidget* ProblemsDock() const { return problemsDock_; }
    // The status bar's pane of the menu walk (what the player says).
    QLabel* WalkPane() const { return walkPane_; }
    // The status bar's pane of a quick scan, with "Scan fully".
    CQuickScanPane* QuickPane() const { return quickPane_; }
    QToolBar* StandardToolBar() const { return standardBar_; }
    QToolBar* BdmvBand() const { return bdmvBand_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddCommand(ECommand command, const QString& text, const QString& prompt);
    void CreateActions();
    // The pane toggles, the status bar, the button states, all display sets.
    void CreateViewActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    void CreatePanes();
    // The first size: the screen's available area at most, the panes sized
    // to it.
    void FitToScreen();
    // Lets go of every model object the panes point to.
    void ClearPanes();
    void ShowAbout();
    void OpenWebSite();
    void UpdateTitle();
    // The scan's messages in one box, and in the status bar how many files
    // it left out or read in part.
    void ShowScanMessages(const std::vector<std::string>& messages, size_t faults);
    void ConnectWalk();
    // The state commands tick the view's state; none while a walk draws.
    void UpdateStateActions();

    IAppHost& app_;
    QMap<ECommand, QAction*> actions_;
    QActionGroup* stateGroup_ = nullptr;
    CTlPageView* pageView_ = nullptr;
    CSelection* selection_ = nullptr;
    CFileView* explorer_ = nullptr;
    CPropertiesWnd* properties_ = nullptr;
    CCmdWnd* commands_ = nullptr;
    CMenuMapWnd* menuMap_ = nullptr;
    CProblemsWnd* problems_ = nullptr;
    QDockWidget* explorerDock_ = nullptr;
    QDockWidget* propertiesDock_ = nullptr;
    QDockWidget* commandDock_ = nullptr;
    QDockWidget* menuMapDock_ = nullptr;
    QDockWidget* problemsDock_ = nullptr;
    QToolBar* standardBar_ = nullptr;
    QToolBar* bdmvBand_ = nullptr;
    QComboBox* zoomBox_ = nullptr;
    CColourButton* colourButton_ = nullptr;
    CBdmvBrowseEdit* folderEdit_ = nullptr;
    QLabel* versionPane_ = nullptr;
    QLabel* walkPane_ = nullptr;
    CQuickScanPane* quickPane_ = nullptr;
    bool discShown_ = false;  // the tree shows the disc of the last open
};

// The first page the explorer tree lists for the disc, or null.
tessel::CPage* FirstPageOfDisc(const tessel::CTlDisc& disc);
