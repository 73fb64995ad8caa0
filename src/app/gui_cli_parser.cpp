#include "app/gui_cli_parser.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <algorithm>
#include <iterator>
#include <vector>

int ButtonStateOfName(const QString& name) {
    static const char* const kNames[] = {"normal", "selected", "activated"};
    for (int i = 0; i < 3; ++i)
        if (name.compare(QLatin1String(kNames[i]), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

namespace {

// The options, in the order the help lists them.
enum EOption { kPlay, kGrab, kPane, kButton, kZoom, kSubtitle, kKeys, kShowPage, kState };

std::vector<QCommandLineOption> MakeOptions() {
    return {
        QCommandLineOption(
            "play-seconds",
            "After --show-page, play the page to this time in seconds and hold it there (the "
            "grab shows that frame; without it a grab shows the still view).",
            "seconds"),
        QCommandLineOption(
            "grab",
            "Once the window is shown and idle, save it as a PNG picture to <file> and quit.",
            "file"),
        QCommandLineOption(
            "grab-pane",
            "With --grab, save only this pane: page, map, tree, properties or commands.", "pane"),
        QCommandLineOption(
            "button",
            "After --show-page, select the button with this id as a click in the tree does.", "id"),
        QCommandLineOption(
            "zoom", "Zoom of the page view: 100%, 75%, 50%, 25%, 12.5% or fit (the default).",
            "zoom"),
        QCommandLineOption(
            "show-subtitle",
            "After opening the folder, select the n-th event (from 1) of the disc's first PG "
            "stream and show its picture.",
            "n"),
        QCommandLineOption(
            "keys",
            "After --show-page, walk the menu with these keys: up, down, left, right, enter, "
            "home, separated by commas.",
            "keys"),
        QCommandLineOption(
            "show-page", "After opening the folder, show the disc's first page in the page view."),
        QCommandLineOption("state", "Button state to show: normal, selected or activated.",
                           "state"),
    };
}

// Each reader takes its option's value into the options (the folder, the
// grab file and --show-page are read before); false with the reason.
using Reader = bool (*)(const QString& value, SGuiOptions& o, QString& error);

bool ReadState(const QString& value, SGuiOptions& o, QString& error) {
    o.state = ButtonStateOfName(value);
    if (o.state >= 0) return true;
    error = QString("Unknown button state '%1' (normal, selected or activated).").arg(value);
    return false;
}

bool ReadKeys(const QString& value, SGuiOptions& o, QString& error) {
    static const char* const kKeys[] = {"up", "down", "left", "right", "enter", "home"};
    for (const QString& key : value.split(',')) {
        const QString k = key.trimmed().toLower();
        if (std::find(std::begin(kKeys), std::end(kKeys), k) == std::end(kKeys)) {
            error = QString("--keys: '%1' is not one of up, down, left, right, enter, home.")
                        .arg(key.trimmed());
            return false;
        }
        o.keys << k;
    }
    if (!o.showPage) error = "--keys needs --show-page.";
    return o.showPage;
}

bool ReadSubtitle(const QString& value, SGuiOptions& o, QString& error) {
    bool ok = false;
    o.subtitle = value.toInt(&ok);
    if (!ok || o.subtitle < 1) {
        error = QString("--show-subtitle: '%1' is not an event number (1 or more).").arg(value);
        return false;
    }
    if (o.folder.isEmpty()) error = "--show-subtitle needs a BDMV folder.";
    return !o.folder.isEmpty();
}

bool ReadPlay(const QString& value, SGuiOptions& o, QString& error) {
    bool ok = false;
    o.playSeconds = value.toDouble(&ok);
    if (!ok || !(o.playSeconds >= 0) || o.playSeconds > 600) {
        error = QString("--play-seconds: '%1' is not a time from 0 to 600 seconds.").arg(value);
        return false;
    }
    if (!o.showPage) error = "--play-seconds needs --show-page.";
    return o.showPage;
}

bool ReadButton(const QString& value, SGuiOptions& o, QString& error) {
    bool ok = false;
    o.button = value.toInt(&ok);
    if (ok && o.button >= 0 && o.showPage) return true;
    error = "--button needs a button id and --show-page.";
    return false;
}

bool ReadZoom(const QString& value, SGuiOptions& o, QString& error) {
    static const char* const kZooms[] = {"100%", "75%", "50%", "25%", "12.5%", "fit"};
    const QString z = value.toLower();
    for (int i = 0; i < 6; ++i)
        if (z == kZooms[i] || z + "%" == kZooms[i]) o.zoom = i;
    if (o.zoom >= 0) return true;
    error = QString("--zoom: '%1' is not one of 100%, 75%, 50%, 25%, 12.5%, fit.").arg(value);
    return false;
}

bool ReadPane(const QString& value, SGuiOptions& o, QString& error) {
    static const QStringList kPanes = {"page", "map", "tree", "properties", "commands"};
    o.grabPane = value.toLower();
    if (kPanes.contains(o.grabPane) && !o.grabFile.isEmpty()) return true;
    error = "--grab-pane needs --grab and one of page, map, tree, properties, commands.";
    return false;
}

// The readers in the order of their checks: the first fault found is told.
constexpr struct {
    EOption option;
    Reader read;
} kReaders[] = {{kState, ReadState}, {kKeys, ReadKeys},     {kSubtitle, ReadSubtitle},
                {kPlay, ReadPlay},   {kButton, ReadButton}, {kZoom, ReadZoom},
                {kPane, ReadPane}};

}  // namespace

bool ParseGuiCommandLine(const QStringList& arguments, SGuiOptions& options, QString& error,
                         QString* helpText) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Tessel desktop application: shows the Interactive Graphics menus of a Blu-ray BDMV "
        "folder.");
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const std::vector<QCommandLineOption> all = MakeOptions();
    for (const QCommandLineOption& option : all) parser.addOption(option);
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
    options.grabFile = parser.value(all[kGrab]);
    if (parser.isSet(all[kGrab]) && options.grabFile.isEmpty()) {
        error = "--grab needs a file name.";
        return false;
    }
    options.showPage = parser.isSet(all[kShowPage]);
    for (const auto& reader : kReaders) {
        const QCommandLineOption& option = all[reader.option];
        if (parser.isSet(option) && !reader.read(parser.value(option), options, error))
            return false;
    }
    if (options.showPage && options.folder.isEmpty()) {
        error = "--show-page needs a BDMV folder.";
        return false;
    }
    return true;
}
