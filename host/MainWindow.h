#pragma once
// The host's MDI main window: its own main menu (system, window and help menus with
// group indices 0, 5 and 9, leaving 1 to 4 for a plug-in child's menus), the entry
// "指标打印" that opens the plug-in's window, the window menu that lists the open windows,
// and a status bar with the year and the login unit.
#include "platform/ComCtrls.h"
#include "platform/Forms.h"
#include "platform/Menus.h"

class HostEnvironment;
class PlugInLoader;

class MainWindow : public TForm {
    Q_OBJECT
public:
    MainWindow(TComponent* owner, HostEnvironment& environment, PlugInLoader& loader);

    // Opens a plug-in window by class name ("TbfrmTallyleaf"); a failure to load the
    // module is shown as a message.
    void showPlugInWindow(const QString& windowName);

private:
    TMenuItem* addMenu(TMainMenu* menu, const QString& caption, int groupIndex);
    TMenuItem* addItem(TMenuItem* parent, const QString& caption, std::function<void()> action,
                       const QString& shortCut = QString());
    void buildMenu();
    void buildStatusBar();

    HostEnvironment& m_environment;
    PlugInLoader& m_loader;
};
