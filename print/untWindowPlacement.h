#pragma once
// Where an MDI child opens: the size, maximised state and left-panel width the user left it
// with, kept between sessions in a settings section of the window's own; the first time, the
// whole client area of the host's frame.
#include <QString>

class TControl;
class TCustomForm;

struct TWindowPlacement {
    int Width = 0;        // normal (not maximised) size; 0: none remembered
    int Height = 0;
    bool Maximized = false;
    int PanelWidth = 0;   // width of the panel left of the splitter; 0: none remembered

    bool operator==(const TWindowPlacement&) const = default;
};

// The placement stored in the section of the settings file (nothing stored: all zero).
TWindowPlacement ReadPlacement(const QString& section);
void WritePlacement(const QString& section, const TWindowPlacement& placement);

// Sizes a form that is about to be shown: the remembered size, no larger than the frame's
// client area and centred in it, or that whole area when no size is remembered; maximised
// when it was; the panel at its remembered width.
void ApplyPlacement(TCustomForm& form, TControl& panel, const TWindowPlacement& placement);
// The form's placement now (its normal size also while maximised).
TWindowPlacement CurrentPlacement(const TCustomForm& form, const TControl& panel);
