// The Rip image command after its folder dialog: the question before an
// existing disc folder is reused, the rip under a progress window, and what
// came of it.
#pragma once

#include <QString>

class QWidget;

namespace tessel {
class CTlDisc;
}

// What the success box says below its first line: "%d image(s) in %s".
QString RipResultText(int images, const QString& discFolder);

// Rips the disc below outputFolder (with its separator). An existing disc
// folder is asked about first, by name: Yes reuses it, No says that nothing
// was ripped (a failure), Cancel stops without a word. Returns 0 success
// (the success box shown), 1 cancelled (by the question or the progress
// window), 2 failed or declined (a message shown).
int RipDiscWithProgress(QWidget* owner, tessel::CTlDisc& disc, const QString& outputFolder);
