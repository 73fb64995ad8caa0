// The start-up script of the command line: the folder opened without the
// dialog, its first page shown, keys walked, a button selected, the play
// held at a time, a subtitle shown, the button state and zoom chosen; then,
// with a grab file, the window saved as a picture once shown and idle.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

#include "app/gui_cli_parser.h"

// What a script drives: the main window's commands.
class IScriptedWindow {
public:
    virtual ~IScriptedWindow() = default;
    // The scan of a folder or disc image: 0 success, 1 cancelled, 2 failure.
    virtual int OpenFolder(const QString& folder, bool quick = false) = 0;
    // The disc's first page shown and selected; false when it has none.
    virtual bool ShowFirstPage() = 0;
    // "up", "down", "left", "right", "enter", "home" walked in the page view.
    virtual void WalkKeys(const QStringList& keys) = 0;
    // The shown page's button of this id selected; false when it has none.
    virtual bool SelectButton(int id) = 0;
    // The event (from 0) of the disc's first PG stream shown; false when
    // there is none.
    virtual bool ShowSubtitle(int index) = 0;
    // The number of events of the disc's first PG stream; -1 without one.
    virtual int SubtitleEvents() const = 0;
    // The page view playing in time, or the still view.
    virtual void SetPlaying(bool playing) = 0;
    // The play run to this time and held there.
    virtual void PlayTo(double seconds) = 0;
    // Button state 0 Normal, 1 Selected, 2 Activated.
    virtual void SetState(int state) = 0;
    // The zoom box's item that the start-up applies to the page view.
    virtual void SetStartZoom(int index) = 0;
    // Shown, enabled and exposed on the screen.
    virtual bool Exposed() const = 0;
    // A pane still drawing in the background (the menu map).
    virtual bool Busy() const = 0;
    // A picture of a pane by name, or of the whole window for an empty name.
    virtual QImage GrabPane(const QString& pane) = 0;
};

class CStartupScript : public QObject {
    Q_OBJECT
public:
    CStartupScript(IScriptedWindow& window, const SGuiOptions& options);

    // A grab file makes the run scripted: nothing may wait for the user.
    bool Scripted() const { return !options_.grabFile.isEmpty(); }
    // Before the window is shown: the folder and what follows it, the state
    // and the zoom. False when a scripted run cannot show what was asked
    // for (its message told why).
    bool Run();
    // Once the window is shown: with a grab file, the picture saved when the
    // window is idle, then the event loop told to quit with GrabResult().
    void GrabWhenShown();
    // 0 written, 2 failed; -1 while none was asked for or it is waiting.
    int GrabResult() const { return grabResult_; }

private:
    // The folder opened with its page or subtitle; false after a message.
    bool OpenFolder();
    void GrabWhenIdle(int attempt);

    IScriptedWindow& window_;
    SGuiOptions options_;
    int grabResult_ = -1;
};
