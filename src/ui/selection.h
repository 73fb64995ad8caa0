// The window's one selection: the node chosen (a disc, clip, page, group,
// button, subtitle event...), and what the panes say about it. The main
// window owns it; every pane sets it and follows its signals instead of
// calling the others.
#pragma once

#include <QObject>

#include "model/bog.h"           // complete for the signals' meta types
#include "model/named_object.h"  // complete for the signals' meta types

class CSelection : public QObject {
    Q_OBJECT
public:
    explicit CSelection(QObject* parent = nullptr) : QObject(parent) {}

    // The node chosen last (null for none); not owned.
    tessel::CNamedObject* Node() const { return node_; }
    // The chosen node as a button, else null.
    tessel::CBdButton* Button() const { return dynamic_cast<tessel::CBdButton*>(node_); }

    // A node chosen with all that follows: the tree's selection, a button
    // of the map, a finding's page or button.
    void Choose(tessel::CNamedObject* node);
    // A node opened (a double-click or Enter in the tree): its page shown.
    void Open(tessel::CNamedObject* node);
    // A button the page view chose (a click): the tree marks its node
    // without handling it again.
    void Pick(tessel::CBdButton* button);
    // A step of the walk in the page view: the selected button and the one
    // whose commands ran (null for none).
    void Step(tessel::CBdButton* selected, tessel::CBdButton* activated);
    // The tree refilled: nothing is chosen, the panes let go.
    void Clear();

signals:
    void chosen(tessel::CNamedObject* node);
    void opened(tessel::CNamedObject* node);
    void picked(tessel::CBdButton* button);
    void stepped(tessel::CBdButton* selected, tessel::CBdButton* activated);
    void cleared();

private:
    tessel::CNamedObject* node_ = nullptr;
};
