// The command line of the desktop application, parsed in one place:
//   tessel-gui [BDMV-folder] [--grab FILE] [--show-page] [--state STATE]
//              [--keys KEY,...] [--show-subtitle N] [--button ID] [--zoom Z]
//              [--grab-pane PANE] [--play-seconds S]
#pragma once

#include <QString>
#include <QStringList>

struct SGuiOptions {
    QString folder;           // opened at start-up as the Open command would, without the dialog
    QString grabFile;         // the main window saved as PNG once shown and idle, then quit
    bool showPage = false;    // after the start-up open, show the first page of the disc
    int state = -1;           // button state to start with (0 Normal, 1 Selected, 2 Activated)
    QStringList keys;         // walked in the page view after the first page: up, ..., enter, home
    int subtitle = 0;         // the event (from 1) of the first PG stream shown after the open
    int button = -1;          // after the first page: the button of this id selected as in the tree
    int zoom = -1;            // zoom box index to start with (0 "100%" ... 5 "Fit")
    QString grabPane;         // with --grab: only this pane (page, map, tree, properties, commands)
    double playSeconds = -1;  // the page played to this time and held there (-1: none)
    bool help = false;
    bool version = false;
};

// Parses the arguments (the first is the program). False with a reason for
// the user on a bad command line; the help and version texts are filled in
// either way.
bool ParseGuiCommandLine(const QStringList& arguments, SGuiOptions& options, QString& error,
                         QString* helpText = nullptr);

// "normal", "selected", "activated" (any case) to 0, 1, 2; -1 otherwise.
int ButtonStateOfName(const QString& name);
