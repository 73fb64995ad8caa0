#include "app/colour_button.h"

#include <QColorDialog>
#include <QGridLayout>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QWidgetAction>

QColor QColorOfColourValue(uint32_t colourValue) {
    return QColor(colourValue & 0xFF, (colourValue >> 8) & 0xFF, (colourValue >> 16) & 0xFF);
}

uint32_t ColourValueOfQColor(const QColor& colour) {
    return uint32_t(colour.blue()) << 16 | uint32_t(colour.green()) << 8 | uint32_t(colour.red());
}

namespace {

QIcon SwatchIcon(uint32_t colourValue, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(64, 64, 64));
    painter.setBrush(QColorOfColourValue(colourValue));
    painter.drawRect(0, 0, size - 1, size - 1);
    return QIcon(pixmap);
}

}  // namespace

const QList<uint32_t>& CColourButton::PaletteColours() {
    // Row by row: the default teal first, then greys and a few video-like
    // backdrops.
    static const QList<uint32_t> kColours = {
        0x808000, 0x000000, 0x404040, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x800000, 0x008000, 0x000080,
        0x800080, 0x008080, 0x00FF00, 0xFF0000, 0x0000FF, 0x00FFFF, 0xFF00FF, 0x202020, 0x603010,
    };
    return kColours;
}

CColourButton::CColourButton(QWidget* parent) : QToolButton(parent) {
    setText("BG color");
    setToolTip("BG color");
    setStatusTip("Set the background colour of the page view");
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setPopupMode(QToolButton::InstantPopup);

    menu_ = new QMenu(this);
    auto* grid = new QWidget(menu_);
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    const QList<uint32_t>& colours = PaletteColours();
    constexpr int kColumns = 6;
    for (int i = 0; i < colours.size(); ++i) {
        const uint32_t value = colours[i];
        auto* swatch = new QToolButton(grid);
        swatch->setAutoRaise(true);
        swatch->setIcon(SwatchIcon(value, 16));
        swatch->setToolTip(QColorOfColourValue(value).name());
        connect(swatch, &QToolButton::clicked, this, [this, value] {
            menu_->close();
            ChooseColour(value);
        });
        layout->addWidget(swatch, i / kColumns, i % kColumns);
    }
    auto* gridAction = new QWidgetAction(menu_);
    gridAction->setDefaultWidget(grid);
    menu_->addAction(gridAction);
    menu_->addSeparator();
    menu_->addAction("More...", this, &CColourButton::ChooseMore);
    setMenu(menu_);
    UpdateIcon();
}

void CColourButton::SetColour(uint32_t colourValue) {
    colour_ = colourValue & 0xFFFFFF;
    UpdateIcon();
}

void CColourButton::ChooseColour(uint32_t colourValue) {
    SetColour(colourValue);
    emit ColourChosen(colour_);
}

void CColourButton::ChooseMore() {
    const QColor chosen =
        QColorDialog::getColor(QColorOfColourValue(colour_), window(), "Background colour");
    if (chosen.isValid()) ChooseColour(ColourValueOfQColor(chosen));
}

void CColourButton::UpdateIcon() {
    setIcon(SwatchIcon(colour_, 16));
}
