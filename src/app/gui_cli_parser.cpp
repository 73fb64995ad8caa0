#include "app/gui_cli_parser.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <algorithm>
#include <iterator>

int ButtonStateOfName(const QString& name) {
    static const char* const kNames[] = {"normal", "selected", "activated"};
    for (int i = 0; i < 3; ++i)
        if (name.compare(QLatin1String(kNames[i]), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

bool ParseGuiCommandLine(const QStringList& arguments, SGuiOptions& options, QString& error,
                         QString* helpText) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Tessel desktop application: shows the Interactive Graphics menus of a Blu-ray BDMV "
        "folder.");
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption grabOption(
        "grab", "Once the window is shown and idle, save it as a PNG picture to <file> and quit.",
        "file");
    const QCommandLineOption showPageOption(
        "show-page", "After opening the folder, show the disc's first page in the page view.");
    const QCommandLineOption stateOption(
        "state", "Button state to show: normal, selected or activated.", "state");
    const QCommandLineOption keysOption(
        "keys",
        "After --show-page, walk the menu with these keys: up, down, left, right, enter, home, "
        "separated by commas.",
        "keys");
    const QCommandLineOption subtitleOption(
        "show-subtitle",
        "After opening the folder, select the n-th event (from 1) of the disc's first PG "
        "stream and show its picture.",
        "n");
    const QCommandLineOption buttonOption(
        "button", "After --show-page, select the button with this id as a click in the tree does.",
        "id");
    const QCommandLineOption zoomOption(
        "zoom", "Zoom of the page view: 100%, 75%, 50%, 25%, 12.5% or fit (the default).", "zoom");
    const QCommandLineOption paneOption(
        "grab-pane", "With --grab, save only this pane: page, map, tree, properties or commands.",
        "pane");
    const QCommandLineOption playOption(
        "play-seconds",
        "After --show-page, play the page to this time in seconds and hold it there (the grab "
        "shows that frame; without it a grab shows the still view).",
        "seconds");
    parser.addOption(playOption);
    parser.addOption(grabOption);
    parser.addOption(paneOption);
    parser.addOption(buttonOption);
    parser.addOption(zoomOption);
    parser.addOption(subtitleOption);
    parser.addOption(keysOption);
    parser.addOption(showPageOption);
    parser.addOption(stateOption);
    parser.addPositionalArgument("folder", "BDMV folder to open at start-up.", "[BDMV-folder]");

    options = SGuiOptions{};
    error.clear();
    const bool parsed = parser.parse(arguments);
    if (helpText) *helpText = parser.helpText();
    if (!parsed) {
        error = parser.errorText();
        return false;
    }
    options.help = parser.isSet(helpOption);
    options.version = parser.isSet(versionOption);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        error = QString("Only one BDMV folder can be opened, got %1.").arg(positional.size());
        return false;
    }
    if (!positional.isEmpty()) options.folder = positional.front();
    options.grabFile = parser.value(grabOption);
    if (parser.isSet(grabOption) && options.grabFile.isEmpty()) {
        error = "--grab needs a file name.";
        return false;
    }
    options.showPage = parser.isSet(showPageOption);
    if (parser.isSet(stateOption)) {
        options.state = ButtonStateOfName(parser.value(stateOption));
        if (options.state < 0) {
            error = QString("Unknown button state '%1' (normal, selected or activated).")
                        .arg(parser.value(stateOption));
            return false;
        }
    }
    if (parser.isSet(keysOption)) {
        static const char* const kKeys[] = {"up", "down", "left", "right", "enter", "home"};
        for (const QString& key : parser.value(keysOption).split(',')) {
            const QString k = key.trimmed().toLower();
            if (std::find(std::begin(kKeys), std::end(kKeys), k) == std::end(kKeys)) {
                error = QString("--keys: '%1' is not one of up, down, left, right, enter, home.")
                            .arg(key.trimmed());
                return false;
            }
            options.keys << k;
        }
        if (!options.showPage) {
            error = "--keys needs --show-page.";
            return false;
        }
    }
    if (parser.isSet(subtitleOption)) {
        bool ok = false;
        options.subtitle = parser.value(subtitleOption).toInt(&ok);
        if (!ok || options.subtitle < 1) {
            error = QString("--show-subtitle: '%1' is not an event number (1 or more).")
                        .arg(parser.value(subtitleOption));
            return false;
        }
        if (options.folder.isEmpty()) {
            error = "--show-subtitle needs a BDMV folder.";
            return false;
        }
    }
    if (parser.isSet(playOption)) {
        bool ok = false;
        options.playSeconds = parser.value(playOption).toDouble(&ok);
        if (!ok || !(options.playSeconds >= 0) || options.playSeconds > 600) {
            error = QString("--play-seconds: '%1' is not a time from 0 to 600 seconds.")
                        .arg(parser.value(playOption));
            return false;
        }
        if (!options.showPage) {
            error = "--play-seconds needs --show-page.";
            return false;
        }
    }
    if (parser.isSet(buttonOption)) {
        bool ok = false;
        options.button = parser.value(buttonOption).toInt(&ok);
        if (!ok || options.button < 0 || !options.showPage) {
            error = "--button needs a button id and --show-page.";
            return false;
        }
    }
    if (parser.isSet(zoomOption)) {
        static const char* const kZooms[] = {"100%", "75%", "50%", "25%", "12.5%", "fit"};
        const QString z = parser.value(zoomOption).toLower();
        for (int i = 0; i < 6; ++i)
            if (z == kZooms[i] || z + "%" == kZooms[i]) options.zoom = i;
        if (options.zoom < 0) {
            error = QString("--zoom: '%1' is not one of 100%, 75%, 50%, 25%, 12.5%, fit.")
                        .arg(parser.value(zoomOption));
            return false;
        }
    }
    if (parser.isSet(paneOption)) {
        static const QStringList kPanes = {"page", "map", "tree", "properties", "commands"};
        options.grabPane = parser.value(paneOption).toLower();
        if (!kPanes.contains(options.grabPane) || options.grabFile.isEmpty()) {
            error = "--grab-pane needs --grab and one of page, map, tree, properties, commands.";
            return false;
        }
    }
    if (options.showPage && options.folder.isEmpty()) {
        error = "--show-page needs a BDMV folder.";
        return false;
    }
    return true;
}
