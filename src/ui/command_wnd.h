// The "Button Command" pane: one line per navigation command of the button
// selected in the explorer tree.
#pragma once

#include <QStringList>
#include <QWidget>

class CSelection;
class QLabel;
class QListWidget;

namespace tessel {
class CBdButton;
}

class CCmdWnd : public QWidget {
    Q_OBJECT
public:
    explicit CCmdWnd(QWidget* parent = nullptr);

    // Empties the list, then "%04d:  %s  (%s)" per command (number from 1,
    // hexadecimal bytes, statement). Null leaves the list empty. The caption
    // above says whose commands they are: a button's, or (ran) the ones an
    // activation ran.
    void ShowButton(const tessel::CBdButton* button, bool ran = false);
    const tessel::CBdButton* Button() const { return button_; }
    // Lists the commands of each button the selection chooses; empty for a
    // subtitle event chosen and when the selection is cleared.
    void SetSelection(CSelection* selection);
    QStringList Lines() const;
    QString Caption() const;
    QListWidget* List() const { return list_; }

private:
    QLabel* caption_;
    QListWidget* list_;
    const tessel::CBdButton* button_ = nullptr;
};
