#pragma once

#include <QColor>
#include <QFont>

namespace rg {

// The window's colours and fonts, created once.
namespace colours {
inline const QColor kSelection{165, 200, 235};
inline const QColor kRowBackground{255, 255, 255};
inline const QColor kLightGrey{232, 232, 232};
inline const QColor kToolbar{98, 99, 103};
inline const QColor kPane{196, 217, 252};
inline const QColor kRunning{48, 111, 32};
inline const QColor kMontageHeld{132, 92, 14};
inline const QColor kDisabledText{172, 172, 172};
}  // namespace colours

enum class FontRole { Title, TitleBold, SmallItalic, SmallBold, Button };

// The font of a role: "Tahoma" when installed, else the desktop's sans serif, at the cell heights
// the rows and buttons are laid out for.
QFont role_font(FontRole role);

}  // namespace rg
