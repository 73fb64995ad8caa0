// The "Button Command" pane: one line per navigation command of the button
// selected in the explorer tree.
#pragma once

#include <QStringList>
#include <QWidget>

class QListWidget;

namespace tessel {
class CBdButton;
}

class CCmdWnd : public QWidget {
    Q_OBJECT
public:
    explicit CCmdWnd(QWidget* parent = nullptr);

    // Empties the list, then "%04d:  %s  (%s)" per command (number from 1,
    // hexadecimal bytes, statement). Null leaves the list empty.
    void ShowButton(const tessel::CBdButton* button);
    QStringList Lines() const;
    QListWidget* List() const { return list_; }

private:
    QListWidget* list_;
};
