#pragma once
// Read-only answers about what is on the screen, for the tests that use the host as a
// person does. When TALLYLEAF_INSPECT_SOCKET names a local socket, the host listens on it;
// every connection gets one JSON document describing the visible windows and their
// widgets (names, classes, screen rectangles, texts, enabled and checked states, menu and
// list items) and is closed. Nothing here changes the program's state: the tests act
// through real keys and clicks only.
#include <QJsonObject>
#include <QObject>

class QLocalServer;

class WidgetInspector : public QObject {
public:
    // Listens on the socket named by TALLYLEAF_INSPECT_SOCKET; does nothing without it.
    // An unusable name is reported on standard error (the host still runs).
    static void StartFromEnvironment(QObject* parent);

    // What a person sees now: every visible top-level window with its visible widgets.
    static QJsonObject Snapshot();

private:
    WidgetInspector(QObject* parent, QLocalServer* server);
    void Answer();

    QLocalServer* m_server;
};
