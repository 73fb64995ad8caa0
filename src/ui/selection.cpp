#include "ui/selection.h"

void CSelection::Choose(tessel::CNamedObject* node) {
    node_ = node;
    emit chosen(node);
}

void CSelection::Open(tessel::CNamedObject* node) {
    emit opened(node);
}

void CSelection::Pick(tessel::CBdButton* button) {
    node_ = button;
    emit picked(button);
}

void CSelection::Step(tessel::CBdButton* selected, tessel::CBdButton* activated) {
    if (selected) node_ = selected;
    emit stepped(selected, activated);
}

void CSelection::Clear() {
    node_ = nullptr;
    emit cleared();
}
