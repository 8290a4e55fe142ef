#include "tests/scenario/ScenarioDriver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>

namespace scenario {

namespace {

constexpr int PollMs = 100;

QRect RectOf(const QJsonValue& v)
{
    const QJsonArray a = v.toArray();
    return a.size() == 4 ? QRect(a[0].toInt(), a[1].toInt(), a[2].toInt(), a[3].toInt()) : QRect();
}

std::optional<bool> OptionalBool(const QJsonObject& o, const char* key)
{
    return o.contains(QLatin1String(key)) ? std::optional<bool>(o.value(QLatin1String(key)).toBool()) : std::nullopt;
}

// What a person reads: "退出(&X)" is shown as "退出(X)", " 预览 " as "预览".
QString Shown(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text.trimmed();
}

Item ItemOf(const QJsonObject& o)
{
    Item item;
    item.text = o.value("text").toString();
    item.rect = RectOf(o.value("rect"));
    item.enabled = o.value("enabled").toBool(true);
    item.selected = o.value("selected").toBool();
    item.separator = o.value("separator").toBool();
    item.checked = OptionalBool(o, "checked");
    item.col = o.value("col").toInt();
    item.row = o.value("row").toInt();
    return item;
}

Widget WidgetOf(const QJsonObject& o)
{
    Widget w;
    w.id = o.value("id").toInt(-1);
    w.parent = o.value("parent").toInt(-1);
    w.window = o.value("window").toInt(-1);
    w.name = o.value("name").toString();
    w.component = o.value("component").toString();
    for (const QJsonValue& c : o.value("classes").toArray())
        w.classes << c.toString();
    w.rect = RectOf(o.value("rect"));
    w.enabled = o.value("enabled").toBool();
    w.title = o.value("title").toString();
    w.text = o.value("text").toString();
    w.tip = o.value("tip").toString();
    w.checked = OptionalBool(o, "checked");
    for (const QJsonValue& e : o.value("entries").toArray())
        w.entries << e.toString();
    for (const QJsonValue& i : o.value("items").toArray())
        w.items << ItemOf(i.toObject());
    w.value = o.value("value").toInt();
    w.minimum = o.value("minimum").toInt();
    w.maximum = o.value("maximum").toInt();
    w.closeButton = RectOf(o.value("closeButton"));
    w.active = o.value("active").toBool();
    return w;
}

QString CurrentTestName()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    QString name = info ? QStringLiteral("%1.%2").arg(info->test_suite_name(), info->name()) : QStringLiteral("scenario");
    return name.replace(QLatin1Char('/'), QLatin1Char('_'));
}

} // namespace

std::optional<Item> Widget::item(const QString& text) const
{
    for (const Item& i : items)
        if (i.text == text || Shown(i.text) == Shown(text))
            return i;
    return std::nullopt;
}

// ---------------------------------------------------------------------------------

Screen::Screen(const QJsonObject& snapshot)
{
    for (const QJsonValue& v : snapshot.value("widgets").toArray())
        m_widgets << WidgetOf(v.toObject());
    m_popup = snapshot.value("popup").toInt(-1);
    m_modal = snapshot.value("modal").toInt(-1);
}

const Widget* Screen::find(const std::function<bool(const Widget&)>& match) const
{
    for (const Widget& w : m_widgets)
        if (match(w))
            return &w;
    return nullptr;
}

QList<const Widget*> Screen::findAll(const std::function<bool(const Widget&)>& match) const
{
    QList<const Widget*> all;
    for (const Widget& w : m_widgets)
        if (match(w))
            all << &w;
    return all;
}

const Widget* Screen::named(const QString& name) const
{
    return find([&](const Widget& w) { return w.name == name; });
}

const Widget* Screen::window(const QString& title) const
{
    return find([&](const Widget& w) { return (w.window == w.id || w.is("QMdiSubWindow")) && w.title == title; });
}

const Widget* Screen::openMenu() const
{
    // The innermost open menu is the last one in the list of windows.
    const QList<const Widget*> menus = findAll([](const Widget& w) { return w.window == w.id && w.is("QMenu"); });
    return menus.isEmpty() ? nullptr : menus.last();
}

const Widget* Screen::modal() const
{
    return byId(m_modal);
}

const Widget* Screen::popup() const
{
    return byId(m_popup);
}

const Widget* Screen::byId(int id) const
{
    return id >= 0 && id < m_widgets.size() ? &m_widgets.at(id) : nullptr;
}

QList<const Widget*> Screen::inside(int windowId) const
{
    return findAll([windowId](const Widget& w) { return w.window == windowId; });
}

QString Screen::textsInside(int windowId) const
{
    QStringList texts;
    for (const Widget* w : inside(windowId))
        if (w->is("QLabel") && !w->text.isEmpty())
            texts << w->text;
    return texts.join(QLatin1Char('\n'));
}

QString Screen::describe() const
{
    QStringList windows;
    for (const Widget& w : m_widgets)
        if (w.window == w.id || w.is("QMdiSubWindow"))
            windows << QStringLiteral("%1 “%2”").arg(w.classes.value(0), w.title);
    return QStringLiteral("on the screen: ") + windows.join(QStringLiteral(", "));
}

// ---------------------------------------------------------------------------------

Host::Host(const QStringList& arguments, Printers printers)
{
    if (!m_scratch.isValid())
        throw ScenarioFailure("cannot make a scratch folder");
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        throw ScenarioFailure("no DISPLAY: scenario tests need an X server (scripts/test starts one with "
                              "scripts/scenario-env)");
    m_socket = m_scratch.filePath(QStringLiteral("inspect.sock"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("QT_QPA_PLATFORMTHEME"));   // Qt's own dialogs, on every desktop
    env.insert(QStringLiteral("TALLYLEAF_INSPECT_SOCKET"), m_socket);
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_scratch.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_scratch.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_scratch.path());
    // No printer: a print server that is not there (the machine's own printers stay out).
    QString cups = m_scratch.filePath(QStringLiteral("no-print-server.sock"));
    if (printers == Printers::TestQueue) {
        cups = qEnvironmentVariable("TALLYLEAF_SCENARIO_CUPS_SERVER");
        if (cups.isEmpty())
            throw ScenarioFailure("no print queue: TALLYLEAF_SCENARIO_CUPS_SERVER is not set (scripts/test starts "
                                  "one with scripts/scenario-env)");
    }
    env.insert(QStringLiteral("CUPS_SERVER"), cups);
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(m_scratch.path());
    m_process.setStandardOutputFile(m_scratch.filePath(QStringLiteral("host.out")));
    m_process.setStandardErrorFile(m_scratch.filePath(QStringLiteral("host.err")));
    m_process.start(QStringLiteral(TALLYLEAF_HOST_EXE),
                    QStringList{QStringLiteral("--ini"), m_scratch.filePath(QStringLiteral("host.INI"))} + arguments);
    if (!m_process.waitForStarted(30000))
        throw ScenarioFailure("tallyleaf-host did not start: " + m_process.errorString().toStdString());
    waitFor(QStringLiteral("the main window"), [](const Screen& s) { return s.window(QStringLiteral("预算管理系统")); });
}

Host::~Host()
{
    if (running()) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}

bool Host::running()
{
    // QProcess learns of the end from its notifier; without an event loop, ask it.
    if (m_process.state() != QProcess::NotRunning)
        m_process.waitForFinished(0);
    return m_process.state() != QProcess::NotRunning;
}

QString Host::errorOutput()
{
    QFile file(m_scratch.filePath(QStringLiteral("host.err")));
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

std::optional<QJsonObject> Host::query(int waitMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_socket);
    if (!socket.waitForConnected(waitMs))
        return std::nullopt;
    QByteArray data;
    QDeadlineTimer deadline(waitMs);
    while (socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        data += socket.readAll();
    }
    data += socket.readAll();
    const QJsonDocument doc = QJsonDocument::fromJson(data);
    if (!doc.isObject())
        return std::nullopt;
    return doc.object();
}

void Host::checkAlive(const QString& step)
{
    if (running() || (m_ending && m_process.exitStatus() == QProcess::NormalExit))
        return;
    const QString how = m_process.exitStatus() == QProcess::CrashExit
                            ? QStringLiteral("crashed with signal %1").arg(m_process.exitCode())
                            : QStringLiteral("ended with status %1").arg(m_process.exitCode());
    m_scratch.setAutoRemove(false);
    throw ScenarioFailure(QStringLiteral("the host %1 while waiting for %2 (its folder: %3)\n%4")
                              .arg(how, step, m_scratch.path(), errorOutput().right(4000))
                              .toStdString());
}

Screen Host::screen()
{
    for (;;) {
        checkAlive(QStringLiteral("a look at the screen"));
        // A host busy building a report answers when its event loop runs again.
        if (std::optional<QJsonObject> snapshot = query(10000))
            return Screen(*snapshot);
        QThread::msleep(PollMs);
    }
}

Widget Host::waitFor(const QString& what, const Lookup& lookup, int seconds)
{
    const QDeadlineTimer deadline(seconds * 1000);
    QElapsedTimer waited;
    waited.start();
    QString last;
    for (;;) {
        checkAlive(what);
        if (std::optional<QJsonObject> snapshot = query(PollMs * 50)) {
            const Screen s(*snapshot);
            if (const Widget* w = lookup(s)) {
                if (qEnvironmentVariableIsSet("TALLYLEAF_SCENARIO_TRACE"))
                    fprintf(stderr, "%6lld ms  %s\n", waited.elapsed(), qPrintable(what));
                return *w;
            }
            last = s.describe();
        }
        if (deadline.hasExpired())
            fail(QStringLiteral("%1 did not appear within %2 s; %3").arg(what).arg(seconds).arg(last));
        QThread::msleep(PollMs);
    }
}

void Host::waitUntil(const QString& what, const std::function<bool(const Screen&)>& condition, int seconds)
{
    static const Widget found;
    waitFor(what, [&](const Screen& s) { return condition(s) ? &found : nullptr; }, seconds);
}

void Host::fail(const QString& message)
{
    const QString picture = screenshot(QStringLiteral("failure"));
    // The host's folder stays for a look: its output, settings and files written.
    m_scratch.setAutoRemove(false);
    throw ScenarioFailure(
        QStringLiteral("%1\n(screen: %2; the host's folder: %3)").arg(message, picture, m_scratch.path()).toStdString());
}

QString Host::screenshot(const QString& label)
{
    const QString folder = QStringLiteral(TALLYLEAF_ARTIFACT_DIR);
    QDir().mkpath(folder);
    const QString file = QStringLiteral("%1/%2-%3-%4.png").arg(folder, CurrentTestName(), label).arg(++m_pictures);
    QProcess import;
    import.start(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file});
    import.waitForFinished(30000);
    return import.exitCode() == 0 ? file : QStringLiteral("none (import failed)");
}

// ---------------------------------------------------------------------------------

void Host::xdotool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0)
        fail(QStringLiteral("xdotool %1 failed: %2").arg(arguments.join(QLatin1Char(' ')),
                                                         QString::fromLocal8Bit(tool.readAllStandardError())));
}

void Host::click(const QPoint& point)
{
    xdotool({QStringLiteral("mousemove"), QString::number(point.x()),
             QString::number(point.y()), QStringLiteral("click"), QStringLiteral("1")});
}

void Host::doubleClick(const QPoint& point)
{
    xdotool({QStringLiteral("mousemove"), QString::number(point.x()),
             QString::number(point.y()), QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
             QStringLiteral("1")});
}

void Host::hover(const QPoint& point)
{
    xdotool({QStringLiteral("mousemove"), QString::number(point.x()),
             QString::number(point.y())});
}

void Host::drag(const QPoint& from, const QPoint& to)
{
    xdotool({QStringLiteral("mousemove"), QString::number(from.x()),
             QString::number(from.y()), QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("mousemove"),
             QStringLiteral("--sync"), QString::number(to.x()), QString::number(to.y()), QStringLiteral("mouseup"),
             QStringLiteral("1")});
}

void Host::key(const QString& keys)
{
    xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys});
}

void Host::type(const QString& text)
{
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
}

int Host::waitForExit(int seconds)
{
    m_ending = true;
    const QDeadlineTimer deadline(seconds * 1000);
    while (running() && !deadline.hasExpired())
        m_process.waitForFinished(PollMs * 5);
    if (running())
        fail(QStringLiteral("the host did not end within %1 s").arg(seconds));
    checkAlive(QStringLiteral("its end"));
    return m_process.exitCode();
}

} // namespace scenario
