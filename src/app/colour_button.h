// The toolbar's "BG color" button: a palette of colours and "More..." for a
// free choice through the colour dialog.
#pragma once

#include <QToolButton>
#include <cstdint>

class QMenu;

class CColourButton : public QToolButton {
    Q_OBJECT
public:
    explicit CColourButton(QWidget* parent = nullptr);

    // Colour values 0x00BBGGRR, as the settings keep them.
    uint32_t Colour() const { return colour_; }
    void SetColour(uint32_t colourValue);
    // As if the user had picked the colour: sets it and emits ColourChosen.
    void ChooseColour(uint32_t colourValue);
    // The palette offered in the menu.
    static const QList<uint32_t>& PaletteColours();

signals:
    void ColourChosen(uint32_t colourValue);

private:
    void ChooseMore();
    void UpdateIcon();

    uint32_t colour_ = 0;
    QMenu* menu_ = nullptr;
};

QColor QColorOfColourValue(uint32_t colourValue);
uint32_t ColourValueOfQColor(const QColor& colour);
