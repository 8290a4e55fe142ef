#pragma once
// Windows and components that the launch tests register in place of the print window.
#include "plugin/wnBase.h"

// An MDI-style child: shown with Show, freed when closed.
class TfrmSpineChild : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmSpineChild(TComponent* AOwner);
};

// Keeps the show-modal flag: shown with ShowModal.
class TfrmSpineDialog : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmSpineDialog(TComponent* AOwner);
};

// Fails while it is being constructed.
class TfrmSpineBroken : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmSpineBroken(TComponent* AOwner);
};

// Fails while it is being shown.
class TfrmSpineShowFails : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmSpineShowFails(TComponent* AOwner);
};

// Registers the four classes in the class registry.
void RegisterSpineClasses();
