#include "app/main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "app/app_icons.h"
#include "app/colour_button.h"
#include "app/folder_dialog.h"
#include "app/play_controls.h"
#include "app/quick_scan_pane.h"
#include "app/rip_flow.h"
#include "disc/disc_scan.h"
#include "disc/disc_subs.h"
#include "model/ic_data.h"
#include "model/ig_object.h"
#include "model/page.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "render/page_composer.h"
#include "subtitle/pg_stream.h"
#include "ui/command_wnd.h"
#include "ui/explorer_tree.h"
#include "ui/menu_map_wnd.h"
#include "ui/page_view.h"
#include "ui/problems_wnd.h"
#include "ui/progress_window.h"
#include "ui/properties_wnd.h"
#include "ui/selection.h"

namespace {

// The zoom box's last item: the page fitted to the view.
constexpr const char* kFitZoomText = "Fit";

// A core path from a folder the user chose.
std::string CorePath(const QString& folder) {
    return QFile::encodeName(folder).toStdString();
}

}  // namespace

CBdmvBrowseEdit::CBdmvBrowseEdit(QWidget* parent) : QLineEdit(parent) {
    setFixedSize(200, 20);
    setReadOnly(true);
    setToolTip("BDMV folder of the open disc");
    browse_ = addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
    browse_->setToolTip("Browse for a BDMV folder");
    connect(browse_, &QAction::triggered, this, &CBdmvBrowseEdit::BrowseRequested);
}

tessel::CPage* FirstPageOfDisc(const tessel::CTlDisc& disc) {
    for (const auto& clip : disc.clips)
        for (const auto& ig : clip->igObjects)
            if (tessel::CPage* page = tessel::FirstPage(*ig)) return page;
    return nullptr;
}

CMainFrame::CMainFrame(IAppHost& app, QWidget* parent) : QMainWindow(parent), app_(app) {
    setObjectName("MainFrame");
    setWindowIcon(AppIcon());
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks |
                   QMainWindow::AllowNestedDocks);
    pageView_ = new CTlPageView(this);
    setCentralWidget(pageView_);
    CreatePanes();
    CreateActions();
    CreateMenus();
    CreateToolBars();
    CreateStatusBar();
    if (auto* view = menuBar()->findChild<QMenu*>("View"))
        AddPlayControls(*pageView_, *view, *standardBar_, Action(ECommand::About), *statusBar());
    ConnectWalk();
    FitToScreen();
    UpdateCommandStates();
    UpdateTitle();
}

CMainFrame::~CMainFrame() {
    ClearPanes();
}

QAction* CMainFrame::AddCommand(ECommand command, const QString& text, const QString& prompt) {
    auto* action = new QAction(text, this);
    // A prompt reads "status-bar text\ntooltip".
    const qsizetype split = prompt.indexOf('\n');
    action->setStatusTip(split < 0 ? prompt : prompt.left(split));
    if (split >= 0) action->setToolTip(prompt.mid(split + 1));
    actions_.insert(command, action);
    return action;
}

void CMainFrame::CreateActions() {
    QAction* a = AddCommand(ECommand::Open, "&Open...", "Open a BDMV folder\nOpen");
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    a->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    connect(a, &QAction::triggered, this, &CMainFrame::OpenDisc);

    a = AddCommand(ECommand::OpenImage, "Open disc image...",
                   "Open a disc image (ISO, IMG or UDF file)\nOpen disc image");
    connect(a, &QAction::triggered, this, &CMainFrame::OpenDiscImage);

    a = AddCommand(
        ECommand::QuickOpen, "Quick open...",
        "Open a BDMV folder, sampling its clips instead of reading them whole\nQuick open");
    connect(a, &QAction::triggered, this, &CMainFrame::QuickOpenDisc);
    a = AddCommand(ECommand::ScanFully, "Scan fully",
                   "Read every clip of the disc whole\nScan fully");
    connect(a, &QAction::triggered, this, [this] { OpenFolder(app_.CurrentFolder()); });

    a = AddCommand(ECommand::Exit, "E&xit", "Quit the application\nExit");
    connect(a, &QAction::triggered, this, &QWidget::close);

    a = AddCommand(ECommand::RipImage, "Rip image...", "Rip image from M2TS file\nRip image");
    a->setIcon(RipIcon());
    connect(a, &QAction::triggered, this, &CMainFrame::RipImage);

    a = AddCommand(ECommand::ImportImage, "Import new image...",
                   "Import new image to M2TS file\nImport new image");
    a->setIcon(ImportIcon());
    connect(a, &QAction::triggered, this, &CMainFrame::ImportNewImage);

    CreateViewActions();

    a = AddCommand(ECommand::About, "&About Tessel...",
                   "Display program information and version number\nAbout");
    a->setIcon(style()->standardIcon(QStyle::SP_MessageBoxQuestion));
    connect(a, &QAction::triggered, this, &CMainFrame::ShowAbout);

    a = AddCommand(ECommand::WebSite, "&WebSite", "Visit official website\nWebsite");
    connect(a, &QAction::triggered, this, &CMainFrame::OpenWebSite);
}

void CMainFrame::CreateViewActions() {
    // The pane toggles are the docks' own actions: ticked while visible.
    struct SToggle {
        ECommand command;
        QDockWidget* dock;
        const char* text;
        const char* prompt;
    };
    const SToggle toggles[] = {
        {ECommand::IgView, explorerDock_, "IG View", "Shows or hides the IG View\nToggle IG View"},
        {ECommand::PropertiesView, propertiesDock_, "Properties View",
         "Shows or hides the Properties View\nToggle Properties View"},
        {ECommand::ButtonCommand, commandDock_, "Button Command",
         "Shows or hides the button command\nToggle button command"},
        {ECommand::MenuMapView, menuMapDock_, "Menu map",
         "Shows or hides the map of the shown menu\nToggle Menu map"},
        {ECommand::ProblemsView, problemsDock_, "Problems",
         "Shows or hides the problems the check finds in the open disc\nToggle Problems"},
    };
    for (const SToggle& t : toggles) {
        QAction* toggle = t.dock->toggleViewAction();
        toggle->setText(t.text);
        const QString prompt = t.prompt;
        toggle->setStatusTip(prompt.section('\n', 0, 0));
        toggle->setToolTip(prompt.section('\n', 1));
        actions_.insert(t.command, toggle);
    }

    QAction* a = AddCommand(ECommand::StatusBar, "&Status Bar",
                            "Show or hide the status bar\nToggle Status Bar");
    a->setCheckable(true);
    a->setChecked(true);
    connect(a, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });

    stateGroup_ = new QActionGroup(this);
    stateGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const struct {
        ECommand command;
        const char* text;
        const char* prompt;
    } states[] = {
        {ECommand::Normal, "Normal", "Show button normal state\nNormal State"},
        {ECommand::Selected, "Selected", "Show button selected state\nSelected State"},
        {ECommand::Activated, "Activated", "Show button activated state\nActivated State"},
    };
    for (int i = 0; i < 3; ++i) {
        a = AddCommand(states[i].command, states[i].text, states[i].prompt);
        a->setCheckable(true);
        a->setIcon(ButtonStateIcon(i));
        a->setActionGroup(stateGroup_);
        connect(a, &QAction::triggered, this, [this, i] { SetState(i); });
    }
    actions_.value(ECommand::Normal)->setChecked(true);

    a = AddCommand(ECommand::ShowAllDisplaySets, "Show all display sets",
                   "Lists the pages of every epoch and display set in the IG View\nShow all "
                   "display sets");
    a->setCheckable(true);
    connect(a, &QAction::toggled, this, &CMainFrame::SetShowAllDisplaySets);
}

void CMainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction(Action(ECommand::Open));
    file->addAction(Action(ECommand::OpenImage));
    file->addAction(Action(ECommand::QuickOpen));
    file->addSeparator();
    file->addAction(Action(ECommand::Exit));

    QMenu* tool = menuBar()->addMenu("&Tool");
    tool->addAction(Action(ECommand::RipImage));
    tool->addAction(Action(ECommand::ImportImage));
    connect(tool, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);

    QMenu* view = menuBar()->addMenu("&View");
    view->setObjectName("View");
    view->addAction(Action(ECommand::IgView));
    view->addAction(Action(ECommand::PropertiesView));
    view->addAction(Action(ECommand::ButtonCommand));
    view->addAction(Action(ECommand::MenuMapView));
    view->addAction(Action(ECommand::ProblemsView));
    view->addAction(Action(ECommand::StatusBar));
    view->addSeparator();
    view->addAction(Action(ECommand::Normal));
    view->addAction(Action(ECommand::Selected));
    view->addAction(Action(ECommand::Activated));
    view->addSeparator();
    view->addAction(Action(ECommand::ShowAllDisplaySets));

    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction(Action(ECommand::About));
    help->addAction(Action(ECommand::WebSite));
}

void CMainFrame::CreateToolBars() {
    standardBar_ = addToolBar("Standard");
    standardBar_->setObjectName("Standard");
    standardBar_->addAction(Action(ECommand::Open));
    standardBar_->addSeparator();

    zoomBox_ = new QComboBox(standardBar_);
    zoomBox_->setFixedWidth(100);
    zoomBox_->setToolTip("Zoom");
    zoomBox_->setStatusTip("Set the zoom of the page view");
    for (const char* text : tessel::kZoomTexts) zoomBox_->addItem(text);
    zoomBox_->addItem(kFitZoomText);
    zoomBox_->setCurrentIndex(CTlPageView::kFitZoomIndex);
    connect(zoomBox_, &QComboBox::activated, this, &CMainFrame::SetZoomIndex);
    standardBar_->addWidget(zoomBox_);
    standardBar_->addSeparator();

    colourButton_ = new CColourButton(standardBar_);
    colourButton_->SetColour(app_.BackgroundColour());
    connect(colourButton_, &CColourButton::ColourChosen, this, &CMainFrame::SetBackgroundColour);
    standardBar_->addWidget(colourButton_);
    standardBar_->addSeparator();

    standardBar_->addAction(Action(ECommand::RipImage));
    standardBar_->addAction(Action(ECommand::ImportImage));
    standardBar_->addSeparator();
    standardBar_->addAction(Action(ECommand::Normal));
    standardBar_->addAction(Action(ECommand::Selected));
    standardBar_->addAction(Action(ECommand::Activated));
    standardBar_->addSeparator();
    standardBar_->addAction(Action(ECommand::About));

    bdmvBand_ = addToolBar("BDMV");
    bdmvBand_->setObjectName("BdmvBand");
    auto* label = new QLabel("BDMV:", bdmvBand_);
    label->setContentsMargins(4, 0, 4, 0);
    bdmvBand_->addWidget(label);
    folderEdit_ = new CBdmvBrowseEdit(bdmvBand_);
    connect(folderEdit_, &CBdmvBrowseEdit::BrowseRequested, this, &CMainFrame::OpenDisc);
    bdmvBand_->addWidget(folderEdit_);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    // The information pane says "Ready" while no prompt is shown.
    connect(bar, &QStatusBar::messageChanged, this, [bar](const QString& text) {
        if (text.isEmpty()) bar->showMessage("Ready");
    });
    bar->showMessage("Ready");
    walkPane_ = new QLabel(bar);
    walkPane_->setContentsMargins(6, 0, 6, 0);
    walkPane_->setToolTip("The menu walk: arrow keys, Enter and Home in the page view");
    bar->addPermanentWidget(walkPane_, 1);
    quickPane_ = new CQuickScanPane(Action(ECommand::ScanFully), bar);
    bar->addPermanentWidget(quickPane_);
    versionPane_ = new QLabel(QString("%1, V %2").arg(IAppHost::kCompany, IAppHost::Version()));
    versionPane_->setContentsMargins(6, 0, 6, 0);
    bar->addPermanentWidget(versionPane_);
}

void CMainFrame::CreatePanes() {
    explorer_ = new CFileView(this);
    properties_ = new CPropertiesWnd(this);
    commands_ = new CCmdWnd(this);
    menuMap_ = new CMenuMapWnd(this);
    problems_ = new CProblemsWnd(this);
    // Every pane follows the one selection; the view first, as it marks a
    // button before the others list it.
    selection_ = new CSelection(this);
    pageView_->SetSelection(selection_);
    commands_->SetSelection(selection_);
    properties_->SetSelection(selection_);
    explorer_->SetSelection(selection_);

    auto makeDock = [this](const char* title, const char* name, QWidget* pane) {
        auto* dock = new QDockWidget(title, this);
        dock->setObjectName(name);
        dock->setAllowedAreas(Qt::AllDockWidgetAreas);
        dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                          QDockWidget::DockWidgetFloatable);
        dock->setWidget(pane);
        return dock;
    };
    explorerDock_ = makeDock("IG View", "IGView", explorer_);
    propertiesDock_ = makeDock("Properties", "Properties", properties_);
    commandDock_ = makeDock("Button Command", "ButtonCommand", commands_);
    menuMapDock_ = makeDock("Menu map", "MenuMap", menuMap_);
    problemsDock_ = makeDock("Problems", "Problems", problems_);
    addDockWidget(Qt::LeftDockWidgetArea, explorerDock_);
    splitDockWidget(explorerDock_, propertiesDock_, Qt::Vertical);
    addDockWidget(Qt::BottomDockWidgetArea, commandDock_);
    addDockWidget(Qt::RightDockWidgetArea, menuMapDock_);
    splitDockWidget(commandDock_, problemsDock_, Qt::Horizontal);
    connect(problems_, &CProblemsWnd::problemChosen, this, &CMainFrame::ShowProblem);
}

void CMainFrame::ClearPanes() {
    if (explorer_) explorer_->FillTree(nullptr);
    if (pageView_) pageView_->SetPage(nullptr);
    // Waits for a map still reading the old clips.
    if (menuMap_) menuMap_->ShowComposition(nullptr);
    if (properties_) properties_->ShowNode(nullptr);
    if (commands_) commands_->ShowButton(nullptr);
    if (problems_) problems_->ShowFindings(nullptr, {});
    discShown_ = false;
}

void CMainFrame::OpenDisc() {
    CDefinedFolderDialog dialog(this, app_.SourceFolder());
    if (dialog.exec() != QDialog::Accepted) return;
    OpenFolder(dialog.SelectedFolder());
}

void CMainFrame::OpenDiscImage() {
    CDiscImageDialog dialog(this, app_.SourceFolder());
    if (dialog.exec() != QDialog::Accepted) return;
    const QStringList chosen = dialog.selectedFiles();
    if (!chosen.isEmpty()) OpenFolder(chosen.front());
}

void CMainFrame::QuickOpenDisc() {
    CDefinedFolderDialog dialog(this, app_.SourceFolder());
    if (dialog.exec() == QDialog::Accepted) OpenFolder(dialog.SelectedFolder(), true);
}

int CMainFrame::OpenFolder(const QString& folder, bool quick) {
    // A disc image is opened as its file; a folder gets its separator.
    const QFileInfo info(folder);
    const bool image = info.isFile();
    const QString path = image ? QDir::fromNativeSeparators(info.absoluteFilePath())
                               : WithTrailingSlash(info.absoluteFilePath());
    // The scan fills a disc of its own: a failed or cancelled open keeps the
    // disc shown before, its tree and its folder box.
    auto scanned = std::make_unique<tessel::CTlDisc>();
    tessel::CTlDisc& disc = *scanned;
    const std::string corePath = CorePath(path);
    // The check's findings are worked out on the scan's thread too. A clip
    // that cannot be read is left out (the tree flags it); the scan's
    // messages are shown together after it. Each clip kept shows in the tree
    // at once, the scan waiting until its node is there.
    std::vector<tessel::SCheckFinding> findings;
    std::vector<std::string> messages;
    const int result = RunWithProgress(this, [&](tessel::CProgressWnd* progress) {
        tessel::CMessageGather gather;
        tessel::SScanOptions options;
        options.keepGoing = true;
        options.quick = quick;
        options.onClip = [&](tessel::CTlM2tsObject& clip) {
            QMetaObject::invokeMethod(
                explorer_, [&] { explorer_->ShowScannedClip(disc, clip, path); },
                Qt::BlockingQueuedConnection);
        };
        int r = tessel::ScanDisc(disc, corePath, progress, options);
        if (r == 0) r = tessel::ReadDiscSubtitles(disc, progress);
        if (r == 0) findings = CProblemsWnd::CheckDisc(disc);
        messages = gather.Messages();
        return r;
    });
    if (result != 0) explorer_->RestoreTree();
    if (result != 1) ShowScanMessages(messages, result == 0 ? disc.faults.size() : 0);
    if (result == 0) {
        // The panes let go of the old clips before they are deleted.
        ClearPanes();
        app_.ReplaceDisc(std::move(scanned));
        problems_->ShowFindings(&app_.Disc(), std::move(findings));
        app_.SetCurrentFolder(path);
        app_.SetSourceFolder(image ? WithTrailingSlash(info.absolutePath()) : path);
        explorer_->FillTree(&app_.Disc());
        discShown_ = true;
        pageView_->SetPage(nullptr);
        pageView_->Recompose();
        pageView_->viewport()->update();
        folderEdit_->setText(path);
    }
    quickPane_->ShowFor(disc);
    UpdateCommandStates();
    UpdateTitle();
    return result;
}

void CMainFrame::RipImage() {
    tessel::CTlDisc& disc = app_.Disc();
    if (disc.clips.empty()) return;
    CFolderDialog dialog(this, app_.OutputFolder());
    if (dialog.exec() != QDialog::Accepted) return;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return;
    const QString folder = WithTrailingSlash(chosen.front());
    app_.SetOutputFolder(folder);
    RipDiscWithProgress(this, disc, folder);
}

void CMainFrame::ImportNewImage() {
    if (app_.Disc().clips.empty()) return;
    QMessageBox::information(this, "Import new image",
                             "Importing a new image into a clip is not available in this version "
                             "of Tessel.");
}

void CMainFrame::SetState(int state) {
    if (state < 0 || state > 2) return;
    pageView_->SetState(state);
    UpdateStateActions();
    pageView_->viewport()->update();
}

void CMainFrame::SetZoomIndex(int index) {
    if (index < 0 || index > CTlPageView::kFitZoomIndex) return;
    if (zoomBox_->currentIndex() != index) zoomBox_->setCurrentIndex(index);
    pageView_->SetZoomIndex(index);
}

void CMainFrame::SetBackgroundColour(uint32_t colourValue) {
    app_.SetBackgroundColour(colourValue);
    if (colourButton_->Colour() != app_.BackgroundColour())
        colourButton_->SetColour(app_.BackgroundColour());
    pageView_->SetBackground(app_.BackgroundColour());
    pageView_->viewport()->update();
}

void CMainFrame::SetShowAllDisplaySets(bool on) {
    if (Action(ECommand::ShowAllDisplaySets)->isChecked() != on)
        Action(ECommand::ShowAllDisplaySets)->setChecked(on);
    explorer_->SetShowAllDisplaySets(on);  // rebuilds the tree
}

void CMainFrame::ApplyStartupView() {
    pageView_->SetZoomIndex(zoomBox_->currentIndex());
    colourButton_->SetColour(app_.BackgroundColour());
    pageView_->SetBackground(app_.BackgroundColour());
}

void CMainFrame::UpdateCommandStates() {
    const bool hasClips = !app_.Disc().clips.empty();
    Action(ECommand::RipImage)->setEnabled(hasClips);
    Action(ECommand::ImportImage)->setEnabled(hasClips);
}

void CMainFrame::ConnectWalk() {
    // The map follows the shown page's composition and marks the button
    // selected anywhere: a click in the view, a walk step, the tree, the map.
    connect(pageView_, &CTlPageView::pageShown, this, [this](tessel::CPage* page) {
        menuMap_->ShowComposition(page ? dynamic_cast<const tessel::CIcData*>(page->parent)
                                       : nullptr);
        if (page) menuMap_->MarkButton(page->id, -1);
    });
    auto mark = [this](const tessel::CBdButton* button) {
        tessel::CPage* page = button ? tessel::PageOfButton(*button) : nullptr;
        menuMap_->MarkButton(page ? page->id : -1, page ? button->id : -1);
    };
    // In the window the properties and commands follow the view's picks
    // and steps too (the tree takes them without handling them).
    connect(selection_, &CSelection::picked, this, [this, mark](tessel::CBdButton* button) {
        properties_->ShowNode(button);
        commands_->ShowButton(button);
        mark(button);
    });
    connect(selection_, &CSelection::stepped, this,
            [this, mark](tessel::CBdButton* selected, tessel::CBdButton* activated) {
                // The commands that ran, else those of the selection.
                commands_->ShowButton(activated ? activated : selected, activated != nullptr);
                if (selected) properties_->ShowNode(selected);
                mark(selected);
            });
    connect(selection_, &CSelection::chosen, this, [mark](tessel::CNamedObject* node) {
        if (auto* button = dynamic_cast<tessel::CBdButton*>(node)) mark(button);
    });
    connect(pageView_, &CTlPageView::walkStatusChanged, this, [this](const QString& status) {
        walkPane_->setText(status);
        UpdateStateActions();
    });
    connect(menuMap_, &CMenuMapWnd::buttonChosen, this, &CMainFrame::ShowMapButton);
}

void CMainFrame::UpdateStateActions() {
    // A walk draws each button in the player's state: no one state is ticked.
    static constexpr ECommand kCommands[] = {ECommand::Normal, ECommand::Selected,
                                             ECommand::Activated};
    const bool walking = pageView_->Walking();
    for (int i = 0; i < 3; ++i)
        Action(kCommands[i])->setChecked(!walking && pageView_->State() == i);
}
