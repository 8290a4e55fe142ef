#pragma once
// Shared by the window tests: the runtime objects, an MDI main form standing in for
// the host's, message boxes answered without a person, and a watcher of free notices.
#include <QStringList>

#include "platform/Forms.h"

namespace formstest {

// An fsMDIForm with a host-like main menu (groups 0, 5 and 9), set as the main form.
class MdiHost {
public:
    MdiHost();
    ~MdiHost();
    TCustomForm* form() const { return FForm; }
    // The captions the main form's menu bar shows now.
    QStringList menuCaptions() const;

private:
    TCustomForm* FForm = nullptr;
};

// Records the messages that reach Application->HandleException.
class ExceptionRecorder {
public:
    ExceptionRecorder();
    ~ExceptionRecorder();
    QStringList messages;
};

// Is told when a watched component is freed.
class FreeWatcher : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit FreeWatcher(TComponent* AOwner) : TComponent(AOwner) {}
    void Watch(TComponent* c) { c->FreeNotification(this); }
    void Notification(TComponent* AComponent, TOperation Operation) override
    {
        TComponent::Notification(AComponent, Operation);
        if (Operation == opRemove)
            freed << AComponent->Name();
    }
    QStringList freed;
};

// Processes events until `done` holds or `ms` milliseconds have gone.
bool WaitFor(const std::function<bool()>& done, int ms = 2000);

} // namespace formstest
