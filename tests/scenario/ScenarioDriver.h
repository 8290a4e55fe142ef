#pragma once
// The scenario tests' hands and eyes. `Host` starts tallyleaf-host with the real plug-in
// on the X display of the test run (QT_QPA_PLATFORM=xcb) in a scratch folder of its own,
// acts on it only through the X server as a person does (xdotool: pointer moves, clicks,
// keys), and reads what is on the screen from the host's inspector socket
// (TALLYLEAF_INSPECT_SOCKET, host/WidgetInspector.h).
//
// Every wait has a deadline and returns as soon as its condition holds. A wait that runs
// out, or a host that ends while a step waits for it, throws ScenarioFailure naming the
// step, with a picture of the whole screen saved under build/test-artifacts/; the host's
// scratch folder (its output, settings, files written, a core file) is then kept.
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <optional>
#include <stdexcept>

namespace scenario {

struct ScenarioFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A row of a menu, list, tree, tab bar or sheet as the screen shows it.
struct Item {
    QString text;
    QRect rect;   // screen coordinates; may run past its view where the text is cut
    bool enabled = true;
    bool selected = false;
    bool separator = false;
    std::optional<bool> checked;
    int col = 0;  // sheet cells only
    int row = 0;

    QPoint center() const { return rect.center(); }
};

// Ids number the widgets of one look at the screen; the next look numbers them anew.
struct Widget {
    int id = -1;
    int parent = -1;
    int window = -1;          // id of its top-level window
    QString name;             // component name (cobMid), else Qt's object name
    QString component;        // class of the window toolkit's control (TComboBox), if any
    QStringList classes;      // Qt class chain, most derived first
    QRect rect;               // screen coordinates
    bool enabled = false;
    QString title;            // windows and MDI sub-windows
    QString text;
    QString tip;
    std::optional<bool> checked;
    QStringList entries;      // combo box entries
    QList<Item> items;        // menu, list, tree, tab and sheet rows in sight
    int value = 0, minimum = 0, maximum = 0;
    QRect closeButton;        // MDI sub-windows: the ✕ of the title bar
    bool active = false;      // MDI sub-windows: the active one

    bool is(const char* qtClass) const { return classes.contains(QLatin1String(qtClass)); }
    QPoint center() const { return rect.center(); }
    // The item whose text is `text` (exactly, or with & accelerators and shortcut left out).
    std::optional<Item> item(const QString& text) const;
};

// One look at the screen.
class Screen {
public:
    explicit Screen(const QJsonObject& snapshot);

    const QList<Widget>& widgets() const { return m_widgets; }
    const Widget* find(const std::function<bool(const Widget&)>& match) const;
    QList<const Widget*> findAll(const std::function<bool(const Widget&)>& match) const;
    // A widget by component or object name (the first in sight).
    const Widget* named(const QString& name) const;
    // A visible top-level window or MDI sub-window by its title.
    const Widget* window(const QString& title) const;
    // The menu that is open (the innermost), or null.
    const Widget* openMenu() const;
    // The modal window in front (a message box or dialog), or null.
    const Widget* modal() const;
    // The popup that has the pointer and keys (an open menu, list or completion), or null.
    const Widget* popup() const;
    const Widget* byId(int id) const;
    // The widgets inside a window (its id), in depth-first order.
    QList<const Widget*> inside(int windowId) const;
    // The texts of every label inside a window, joined (what a message box says).
    QString textsInside(int windowId) const;
    // Titles of the top-level windows and sub-windows, for failure messages.
    QString describe() const;

private:
    QList<Widget> m_widgets;
    int m_popup = -1;
    int m_modal = -1;
};

using Lookup = std::function<const Widget*(const Screen&)>;

// Which printers the host sees: none (printing asks for a PDF file), or the test run's
// print queue (TALLYLEAF_SCENARIO_CUPS_SERVER, a cups-pdf printer as the default).
enum class Printers { None, TestQueue };

class Host {
public:
    // Starts the host with these arguments (the scratch folder's own settings file and
    // demo database are added), and waits until its main window is on the screen.
    explicit Host(const QStringList& arguments = {}, Printers printers = Printers::None);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    QString scratch() const { return m_scratch.path(); }
    Screen screen();

    // Waits until `lookup` finds a widget; returns a copy of it.
    Widget waitFor(const QString& what, const Lookup& lookup, int seconds = 60);
    void waitUntil(const QString& what, const std::function<bool(const Screen&)>& condition, int seconds = 60);
    // Fails the step at once, with a picture of the screen.
    [[noreturn]] void fail(const QString& message);

    // Input through the X server.
    void click(const QPoint& point);
    void click(const Widget& widget) { click(widget.center()); }
    void click(const Item& item) { click(item.center()); }
    void doubleClick(const QPoint& point);
    void hover(const QPoint& point);
    void drag(const QPoint& from, const QPoint& to);
    void key(const QString& keys);          // xdotool key names: "alt+x", "Return", "ctrl+e"
    void type(const QString& text);

    // The host ends by itself (its main window closed): its exit status. A crash fails.
    int waitForExit(int seconds = 60);
    bool running();
    QString errorOutput();

    // Saves a picture of the whole screen as build/test-artifacts/<test>-<label>.png.
    QString screenshot(const QString& label);

private:
    std::optional<QJsonObject> query(int waitMs);
    void xdotool(const QStringList& arguments);
    void checkAlive(const QString& step);

    QTemporaryDir m_scratch;
    QString m_socket;
    QProcess m_process;
    int m_pictures = 0;
    bool m_ending = false;   // waiting for the host to end by itself
};

} // namespace scenario
