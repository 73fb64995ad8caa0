#include "app/startup_script.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "platform/messages.h"

CStartupScript::CStartupScript(IScriptedWindow& window, const SGuiOptions& options)
    : window_(window), options_(options) {}

bool CStartupScript::Run() {
    if (!options_.folder.isEmpty() && !OpenFolder() && Scripted()) return false;
    if (options_.state >= 0) window_.SetState(options_.state);
    if (options_.zoom >= 0) window_.SetStartZoom(options_.zoom);
    return true;
}

bool CStartupScript::OpenFolder() {
    const SGuiOptions& o = options_;
    if (window_.OpenFolder(o.folder) != 0) return false;
    // A grab shows the still view, or the frame of --play-seconds.
    if (Scripted() || o.playSeconds >= 0) window_.SetPlaying(false);
    if (o.showPage) {
        if (!window_.ShowFirstPage()) {
            tessel::ShowMessage(
                QString("%1: the disc has no menu page to show").arg(o.folder).toStdString());
            return false;
        }
        window_.WalkKeys(o.keys);
        if (o.button >= 0 && !window_.SelectButton(o.button)) {
            tessel::ShowMessage(QString("--button %1: the shown page has no button of that id")
                                    .arg(o.button)
                                    .toStdString());
            return false;
        }
        if (o.playSeconds >= 0) window_.PlayTo(o.playSeconds);
    }
    if (o.subtitle > 0 && !window_.ShowSubtitle(o.subtitle - 1)) {
        const int events = window_.SubtitleEvents();
        tessel::ShowMessage(
            (events < 0
                 ? QString("--show-subtitle %1: %2 has no PG stream").arg(o.subtitle).arg(o.folder)
                 : QString("--show-subtitle %1: the first PG stream of %2 has %3 event(s)")
                       .arg(o.subtitle)
                       .arg(o.folder)
                       .arg(events))
                .toStdString());
        return false;
    }
    return true;
}

void CStartupScript::GrabWhenShown() {
    if (Scripted()) QTimer::singleShot(0, this, [this] { GrabWhenIdle(0); });
}

void CStartupScript::GrabWhenIdle(int attempt) {
    // Shown and exposed, and every event posted until now handled; the
    // menu map too, when one is being made (for longer).
    const bool shown = window_.Exposed();
    const bool mapping = window_.Busy();
    if ((!shown && attempt < 250) || (mapping && attempt < 3000)) {
        QTimer::singleShot(20, this, [this, attempt] { GrabWhenIdle(attempt + 1); });
        return;
    }
    QCoreApplication::processEvents();
    const QImage picture = window_.GrabPane(options_.grabPane);
    if (!picture.isNull() && picture.save(options_.grabFile, "PNG")) {
        grabResult_ = 0;
    } else {
        std::fprintf(stderr, "tessel-gui: cannot write the window picture to %s\n",
                     options_.grabFile.toLocal8Bit().constData());
        grabResult_ = 2;
    }
    QCoreApplication::exit(grabResult_);
}
