#include "ui/command_wnd.h"

#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "model/bog.h"
#include "model/page.h"
#include "navcmd/navcmd.h"
#include "render/page_composer.h"
#include "subtitle/pg_stream.h"
#include "ui/selection.h"

namespace {
constexpr const char* kNoButton = "Select a button to list its commands.";
}

CCmdWnd::CCmdWnd(QWidget* parent)
    : QWidget(parent), caption_(new QLabel(kNoButton, this)), list_(new QListWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    caption_->setContentsMargins(4, 2, 4, 0);
    caption_->setTextFormat(Qt::PlainText);
    layout->addWidget(caption_);
    layout->addWidget(list_);
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
}

void CCmdWnd::ShowButton(const tessel::CBdButton* button, bool ran) {
    list_->setUpdatesEnabled(false);
    list_->clear();
    button_ = button;
    caption_->setText(kNoButton);
    if (button) {
        const tessel::CPage* page = tessel::PageOfButton(*button);
        caption_->setText(QString("%1 button %2 (id %3)%4: %5 command(s)")
                              .arg(ran ? "Ran by activating" : "Commands of")
                              .arg(QString::fromStdString(button->name))
                              .arg(button->id)
                              .arg(page ? ", page " + QString::fromStdString(page->name) : "")
                              .arg(button->commands.GetSize()));
        const auto& commands = button->commands.records;
        for (size_t i = 0; i < commands.size(); ++i)
            list_->addItem(QString::fromStdString(
                tessel::GroupedCommandLine(static_cast<int>(i) + 1, commands[i])));
    }
    list_->setUpdatesEnabled(true);
}

QString CCmdWnd::Caption() const {
    return caption_->text();
}

QStringList CCmdWnd::Lines() const {
    QStringList lines;
    for (int i = 0; i < list_->count(); ++i) lines << list_->item(i)->text();
    return lines;
}

void CCmdWnd::SetSelection(CSelection* selection) {
    connect(selection, &CSelection::chosen, this, [this](tessel::CNamedObject* node) {
        if (auto* button = dynamic_cast<tessel::CBdButton*>(node))
            ShowButton(button);
        else if (dynamic_cast<tessel::CPgEventObject*>(node))
            ShowButton(nullptr);
    });
    connect(selection, &CSelection::cleared, this, [this] { ShowButton(nullptr); });
}
