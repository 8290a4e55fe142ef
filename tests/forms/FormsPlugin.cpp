// A plug-in module whose window is an MDI child on the tree frame, so that the host
// side of the tests sees the plug-in's forms exactly as the real host does: objects of
// another module's copy of the toolkit inside its own MDI area and menu.
#include "common/untClassRegist.h"
#include "common/PlugInContext.h"
#include "plugin/untPlugInEntry.h"
#include "plugin/wnBsTrvTC.h"

namespace {

class TfrmFormsPlugInChild : public TfrmBsTrvTC {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmFormsPlugInChild(TComponent* AOwner) : TfrmBsTrvTC(AOwner, TFormChain{})
    {
        FinishCreate();
        SetCaption(QStringLiteral("插件子窗口"));
        auto* item = new TMenuItem(this);
        item->SetName(QStringLiteral("mitemClose"));
        item->SetCaption(QStringLiteral("退出"));
        item->OnClick = [this](TObject*) { Close(); };
        mitemOption->Add(item);
    }
};

void RegisterFormsPlugInClasses()
{
    RegClass(&TfrmFormsPlugInChild::staticMetaObject);
}

__attribute__((constructor)) void LibraryLoad()
{
    PlugInLibraryLoad(RegisterFormsPlugInClasses);
}

__attribute__((destructor)) void LibraryUnload()
{
    PlugInLibraryUnload();
}

} // namespace

extern "C" __attribute__((visibility("default"))) int ShowPlugInWindow(const char* windowName, TPlugInContext* context)
{
    return PlugInShowWindow(windowName, context);
}

#include "FormsPlugin.moc"
