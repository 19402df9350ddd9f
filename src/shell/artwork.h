#pragma once

#include <QIcon>
#include <QPainter>
#include <QRectF>

namespace rg {

// The 16-pixel icon cells shared by the list rows and the buttons, by the index each role has.
enum class ArtIcon : int {
    StoppedPlain = 0,  // stopped, not resumable
    Paused = 1,        // stopped and resumable; the Pause button
    Playing = 2,       // running and resumable; the Start button
    MontageHeld = 3,
    PlayingPlain = 4,  // running, not resumable
    Cancel = 5,
    Montage = 6,
    Downloads = 7,
    Options = 8,
    Auto = 11,
    Schedule = 12,
};

inline constexpr int kIconCell = 16;

// Draws the icon as vectors into `cell` (a square; any size), so it is crisp at every scale.
void paint_icon(QPainter& painter, const QRectF& cell, ArtIcon icon);

// The program's icon (tray, window), drawn at the usual sizes.
QIcon application_icon();

// The frame of an image button: pressed, checked (the current view's button) or plain. `dark`
// for the toolbar's frames, else the Downloads pane's.
enum class FrameLook { Plain, Checked, Pressed };
void paint_button_frame(QPainter& painter, const QRectF& rect, FrameLook look, bool dark);

// The skin: the background of the image buttons and of the pane's bottom strip; `dark` on the
// toolbar, where the button texts are white.
void paint_skin(QPainter& painter, const QRectF& rect, bool dark = false);

}  // namespace rg
