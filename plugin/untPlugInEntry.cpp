#include "plugin/untPlugInEntry.h"

#include "common/untClassRegist.h"
#include "platform/Forms.h"
#include "common/PlugInGlobals.h"
#include "plugin/untShareResRefManager.h"
#include "plugin/wnBase.h"

// "授权支出模块", "支付管理子系统", "完成授权支付的支出、查询等功能" in GB2312.
const char* const PlugInModuleName = "\xca\xda\xc8\xa8\xd6\xa7\xb3\xf6\xc4\xa3\xbf\xe9";
const char* const PlugInSubsystemName = "\xd6\xa7\xb8\xb6\xb9\xdc\xc0\xed\xd7\xd3\xcf\xb5\xcd\xb3";
const char* const PlugInDescription =
    "\xcd\xea\xb3\xc9\xca\xda\xc8\xa8\xd6\xa7\xb8\xb6\xb5\xc4\xd6\xa7\xb3\xf6\xa1\xa2\xb2\xe9\xd1\xaf\xb5\xc8\xb9\xa6\xc4\xdc";

namespace {
TApplication* SavedApplication = nullptr;
TScreen* SavedScreen = nullptr;

const QString SNoContext = QStringLiteral("宿主没有提供插件上下文！");
const QString SIncompleteContext = QStringLiteral("宿主提供的插件上下文不完整：缺少%s！");
const QString SNotAWindow = QStringLiteral("类%s不是窗口类，不能显示！");

void BeforeCreateWindow(TResRefManager*, const QString& name, bool&)
{
    // Only windows keep a show-modal flag. A registered name of another class (the
    // registry answers for the ancestors of the window classes, TComponent and TForm
    // among them) is refused before anything is made: an object made and freed again
    // would register, drop the last reference and tell the host ReleasePlugIn for a
    // window it never saw.
    const TClass cls = FindRegClass(name);
    if (cls && !ClassInheritsFromName(cls, "TfrmBase"))
        throw Exception(Format(SNotAWindow, QString::fromLatin1(cls->className())));
}

void ShowCreatedWindow(TResRefManager*, TObject* window)
{
    auto* form = dynamic_cast<TfrmBase*>(window);
    if (!form) {
        // Only windows keep a show-modal flag. Anything else that a registered name
        // could make (TComponent, TForm) is freed again, so nothing stays registered.
        auto* component = dynamic_cast<TComponent*>(window);
        const QString name = component ? component->ClassName() : QString();
        if (component)
            component->Free();
        throw Exception(Format(SNotAWindow, name));
    }
    if (form->ShowModalFlag())
        form->ShowModal();
    else
        form->Show();
}

void ShowExistingWindow(TResRefManager*, TObject* window)
{
    if (auto* form = dynamic_cast<TForm*>(window))
        form->Show();
}

void NotifyAllReleased(TResRefManager*)
{
    TPlugInContext* context = PlugInContext();
    if (!context || !context->PlugInManager)
        return;
    const int32_t id = context->PlugInInfo ? context->PlugInInfo->PlugInId : 0;
    context->PlugInManager->ReleasePlugIn(id);
}

void AdoptContext(TPlugInContext* context)
{
    if (!context)
        throw Exception(SNoContext);
    if (!context->PubVariable)
        throw Exception(Format(SIncompleteContext, QStringLiteral("PubVariable")));
    if (!context->HostApplication)
        throw Exception(Format(SIncompleteContext, QStringLiteral("HostApplication")));
    if (!context->HostScreen)
        throw Exception(Format(SIncompleteContext, QStringLiteral("HostScreen")));
    SetPlugInContext(context);
}
} // namespace

int PlugInShowWindow(const char* windowName, TPlugInContext* context)
{
    try {
        AdoptContext(context);
        if (context->PlugInInfo) {
            context->PlugInInfo->ModuleName = PlugInModuleName;
            context->PlugInInfo->SubsystemName = PlugInSubsystemName;
            context->PlugInInfo->Description = PlugInDescription;
        }
        Application = context->HostApplication;
        Screen = context->HostScreen;

        TResRefManager* manager = ResRefManager();
        manager->OnBeforeCreate = BeforeCreateWindow;
        manager->OnCreated = ShowCreatedWindow;
        manager->OnAllReleased = NotifyAllReleased;
        manager->OnExisting = ShowExistingWindow;

        // The host passes ANSI text; a null name is taken as empty.
        const QString name = windowName ? QString::fromLocal8Bit(windowName) : QString();
        manager->RequestResource(name, true);
    } catch (const std::exception& e) {
        if (Application)
            Application->HandleException(nullptr, e);
    } catch (...) {
        if (Application)
            Application->HandleException(nullptr, Exception(QStringLiteral("未知错误")));
    }
    return 0;
}

void PlugInDllProc(int reason)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        SavedApplication = Application;
        SavedScreen = Screen;
        break;
    case DLL_PROCESS_DETACH:
        Application = SavedApplication;
        Screen = SavedScreen;
        break;
    default:
        break;
    }
}

void PlugInLibraryLoad(void (*registerClasses)())
{
    InitRuntimeObjects();
    InitializeClassRegistry();
    if (registerClasses)
        registerClasses();
    InitializeResRefManager();
    PlugInDllProc(DLL_PROCESS_ATTACH);
}

void PlugInLibraryUnload()
{
    PlugInDllProc(DLL_PROCESS_DETACH);
    FinalizeResRefManager();
    FinalizeClassRegistry();
    FreeRuntimeObjects();
}
