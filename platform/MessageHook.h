#pragma once
// The platform's message records, as the application's message hook hands them out.
//
// One application-wide event filter turns Qt's key and mouse events into these
// records before they reach their widget: the window is the widget that receives the
// event, wParam the virtual key code (key messages) or the mouse button state, lParam
// the client coordinates of a mouse message (x in the low, y in the high 16 bits).
#include <QEvent>
#include <QPointF>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>

using HWND = QWidget*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;

struct TMsg {
    HWND hwnd = nullptr;
    unsigned message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

constexpr unsigned WM_NEXTDLGCTL = 0x0028;
constexpr unsigned WM_KEYDOWN = 0x0100;
constexpr unsigned WM_KEYUP = 0x0101;
constexpr unsigned WM_CHAR = 0x0102;
constexpr unsigned WM_MOUSEMOVE = 0x0200;
constexpr unsigned WM_LBUTTONDOWN = 0x0201;
constexpr unsigned WM_LBUTTONUP = 0x0202;
constexpr unsigned WM_LBUTTONDBLCLK = 0x0203;
constexpr unsigned WM_RBUTTONDOWN = 0x0204;
constexpr unsigned WM_RBUTTONUP = 0x0205;

constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;   // Alt
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_F1 = 0x70;

// MK_ flags of wParam in mouse messages.
constexpr unsigned MK_LBUTTON = 0x0001;
constexpr unsigned MK_RBUTTON = 0x0002;
constexpr unsigned MK_SHIFT = 0x0004;
constexpr unsigned MK_CONTROL = 0x0008;
constexpr unsigned MK_MBUTTON = 0x0010;

// The application-wide event filter. Each key and mouse event goes to `handler` once, with
// the widget that receives it, before the widget sees it; not again for the parents that
// Qt hands an unaccepted event on to, since the platform's message went to one window
// only. True from the handler stops the event. The application object installs one per
// process (Forms.h).
class TMessageFilter : public QObject {
public:
    using Handler = std::function<bool(QWidget* receiver, QEvent* event)>;
    explicit TMessageFilter(Handler handler) : FHandler(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool IsPropagation(QWidget* widget, QEvent* event) const;
    void Remember(QWidget* widget, QEvent* event);

    Handler FHandler;
    const QEvent* FLastEvent = nullptr;
    QEvent::Type FLastType = QEvent::None;
    QPointer<QWidget> FLastReceiver;
    quint64 FLastTimestamp = 0;
    QPointF FLastGlobalPos;
};

// The virtual key code of a Qt key (0 when the key has none).
int QtKeyToVirtualKey(int qtKey);

// The state of a key at the time of the message being handled: the high bit (the
// result is negative) when the key is down. Answers for VK_SHIFT, VK_CONTROL, VK_MENU.
short GetKeyState(int virtualKey);

inline LPARAM MakeLParam(int lo, int hi)
{
    return static_cast<LPARAM>((static_cast<uint32_t>(hi & 0xFFFF) << 16) | static_cast<uint32_t>(lo & 0xFFFF));
}
inline int LoWord(LPARAM v) { return static_cast<int>(static_cast<uint32_t>(v) & 0xFFFF); }
inline int HiWord(LPARAM v) { return static_cast<int>((static_cast<uint32_t>(v) >> 16) & 0xFFFF); }
