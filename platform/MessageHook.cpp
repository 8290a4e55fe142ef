#include "platform/MessageHook.h"

#include <QGuiApplication>
#include <QMouseEvent>

int QtKeyToVirtualKey(int qtKey)
{
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
        return qtKey;   // the same codes as the platform's
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return VK_F1 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    default: return 0;
    }
}

short GetKeyState(int virtualKey)
{
    // The modifiers of the event being handled, as the platform reported the key state
    // at the time of the message.
    const Qt::KeyboardModifiers m = QGuiApplication::keyboardModifiers();
    bool down = false;
    switch (virtualKey) {
    case VK_SHIFT: down = m & Qt::ShiftModifier; break;
    case VK_CONTROL: down = m & Qt::ControlModifier; break;
    case VK_MENU: down = m & Qt::AltModifier; break;
    default: break;
    }
    return down ? static_cast<short>(0x8000 - 0x10000) : 0;
}

bool TMessageFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        break;
    default:
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || IsPropagation(widget, event))
        return false;
    Remember(widget, event);
    return FHandler(widget, event);
}

// Key events travel to the parents as the same object; mouse events as copies with the
// same time and screen position.
bool TMessageFilter::IsPropagation(QWidget* widget, QEvent* event) const
{
    if (event->type() != FLastType || !FLastReceiver || !widget->isAncestorOf(FLastReceiver))
        return false;
    if (event == FLastEvent)
        return true;
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    return mouse->timestamp() == FLastTimestamp && mouse->globalPosition() == FLastGlobalPos;
}

void TMessageFilter::Remember(QWidget* widget, QEvent* event)
{
    FLastEvent = event;
    FLastType = event->type();
    FLastReceiver = widget;
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        FLastTimestamp = mouse->timestamp();
        FLastGlobalPos = mouse->globalPosition();
    }
}
