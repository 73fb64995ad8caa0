#include "ui/command_wnd.h"

#include <QFontDatabase>
#include <QListWidget>
#include <QVBoxLayout>

#include "model/bog.h"
#include "navcmd/navcmd.h"

CCmdWnd::CCmdWnd(QWidget* parent) : QWidget(parent), list_(new QListWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
}

void CCmdWnd::ShowButton(const tessel::CBdButton* button) {
    list_->setUpdatesEnabled(false);
    list_->clear();
    if (button) {
        const auto& commands = button->commands.records;
        for (size_t i = 0; i < commands.size(); ++i)
            list_->addItem(QString::fromStdString(
                tessel::CommandPaneLine(static_cast<int>(i) + 1, commands[i])));
    }
    list_->setUpdatesEnabled(true);
}

QStringList CCmdWnd::Lines() const {
    QStringList lines;
    for (int i = 0; i < list_->count(); ++i) lines << list_->item(i)->text();
    return lines;
}
