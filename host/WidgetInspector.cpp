#include "host/WidgetInspector.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTabBar>
#include <QTreeView>
#include <cstdio>

#include "platform/Controls.h"

namespace {

// A list view of tens of thousands of rows answers with the rows in sight; this bounds
// the walk through the expanded part of a tree.
constexpr int MaxItemsWalked = 5000;

QJsonArray RectJson(const QRect& r)
{
    return QJsonArray{r.x(), r.y(), r.width(), r.height()};
}

QRect GlobalRect(const QWidget* w, const QRect& local)
{
    return QRect(w->mapToGlobal(local.topLeft()), local.size());
}

QStringList ClassChain(const QMetaObject* mo)
{
    QStringList chain;
    for (; mo; mo = mo->superClass())
        chain << QString::fromLatin1(mo->className());
    return chain;
}

QJsonArray ActionItems(const QWidget* w, const QList<QAction*>& actions, const std::function<QRect(QAction*)>& geometry)
{
    QJsonArray items;
    for (QAction* a : actions) {
        if (!a->isVisible())
            continue;
        QJsonObject item{{"text", a->text()},
                         {"rect", RectJson(GlobalRect(w, geometry(a)))},
                         {"enabled", a->isEnabled()},
                         {"separator", a->isSeparator()},
                         {"submenu", a->menu() != nullptr},
                         {"shortcut", a->shortcut().toString()}};
        if (a->isCheckable())
            item["checked"] = a->isChecked();
        items.append(item);
    }
    return items;
}

// The rows of a list or tree that lie in sight (a tree's expanded branches only), with
// their rectangles even where the text runs past the view's edge.
QJsonArray ViewItems(QAbstractItemView* view)
{
    QJsonArray items;
    const QAbstractItemModel* model = view->model();
    if (!model)
        return items;
    auto* tree = qobject_cast<QTreeView*>(view);
    const QRect sight = view->viewport()->rect();
    int walked = 0;
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        for (int row = 0; row < model->rowCount(parent) && walked < MaxItemsWalked; ++row, ++walked) {
            const QModelIndex index = model->index(row, 0, parent);
            const QRect r = view->visualRect(index);
            if (r.isValid() && r.bottom() >= sight.top() && r.top() <= sight.bottom())
                items.append(QJsonObject{{"text", index.data(Qt::DisplayRole).toString()},
                                         {"rect", RectJson(GlobalRect(view->viewport(), r))},
                                         {"selected", view->selectionModel() && view->selectionModel()->isSelected(index)},
                                         {"current", index == view->currentIndex()},
                                         {"enabled", (model->flags(index) & Qt::ItemIsEnabled) != 0}});
            if (tree && tree->isExpanded(index))
                walk(index);
        }
    };
    walk(view->rootIndex());
    return items;
}

// The cells of a report sheet in sight, as the view lays them out. The view is the
// plug-in's: it is asked by name (its cellsInSight), never read through a copy of the
// sheet engine of the host's own.
QJsonArray SheetCells(QAbstractScrollArea* view)
{
    QVariantList cells;
    QJsonArray items;
    if (!QMetaObject::invokeMethod(view, "cellsInSight", Qt::DirectConnection, Q_RETURN_ARG(QVariantList, cells)))
        return items;
    for (const QVariant& cell : cells) {
        const QVariantMap c = cell.toMap();
        items.append(QJsonObject{{"col", c.value("col").toInt()}, {"row", c.value("row").toInt()},
                                 {"text", c.value("text").toString()},
                                 {"rect", RectJson(GlobalRect(view->viewport(), c.value("rect").toRect()))}});
    }
    return items;
}

// Where a sub-window's title bar shows its close button (none when the window shows no
// title bar, as a maximized one under a main window's menu bar).
QRect CloseButtonRect(QMdiSubWindow* sub)
{
    QStyleOptionTitleBar option;
    option.initFrom(sub);
    option.titleBarFlags = sub->windowFlags();
    option.titleBarState = static_cast<int>(sub->windowState());
    option.subControls = QStyle::SC_All;
    const int height = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, sub);
    if (sub->widget() && sub->widget()->geometry().top() < height)
        return {};
    option.rect = QRect(0, 0, sub->width(), height);
    return GlobalRect(sub, sub->style()->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarCloseButton, sub));
}

// The widget's own texts and states, by what kind of widget it is.
void AddContent(QWidget* w, QJsonObject& node)
{
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        node["text"] = b->text();
        if (b->isCheckable())
            node["checked"] = b->isChecked();
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        node["text"] = l->text();
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        node["text"] = e->text();
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        node["text"] = c->currentText();
        QJsonArray texts;
        for (int i = 0; i < c->count(); ++i)
            texts.append(c->itemText(i));
        node["entries"] = texts;
    } else if (auto* m = qobject_cast<QMenu*>(w)) {
        node["items"] = ActionItems(w, m->actions(), [m](QAction* a) { return m->actionGeometry(a); });
    } else if (auto* bar = qobject_cast<QMenuBar*>(w)) {
        node["items"] = ActionItems(w, bar->actions(), [bar](QAction* a) { return bar->actionGeometry(a); });
    } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
        QJsonArray items;
        for (int i = 0; i < tabs->count(); ++i)
            items.append(QJsonObject{{"text", tabs->tabText(i)}, {"rect", RectJson(GlobalRect(w, tabs->tabRect(i)))},
                                     {"selected", i == tabs->currentIndex()}, {"enabled", tabs->isTabEnabled(i)}});
        node["items"] = items;
    } else if (w->inherits("sheet::SheetView")) {
        // The plug-in's sheet view has the plug-in's meta-object: found by class name.
        node["items"] = SheetCells(static_cast<QAbstractScrollArea*>(w));
    } else if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
        node["items"] = ViewItems(view);
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(w)) {
        node["value"] = slider->value();
        node["minimum"] = slider->minimum();
        node["maximum"] = slider->maximum();
    } else if (auto* progress = qobject_cast<QProgressBar*>(w)) {
        node["value"] = progress->value();
        node["maximum"] = progress->maximum();
    } else if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) {
        node["maximized"] = sub->isMaximized();
        node["minimized"] = sub->isMinimized();
        node["active"] = sub->mdiArea() && sub->mdiArea()->activeSubWindow() == sub;
        node["closeButton"] = RectJson(CloseButtonRect(sub));
    }
}

class SnapshotWriter {
public:
    QJsonObject Write()
    {
        QJsonObject root;
        QJsonArray windows;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible())
                windows.append(Walk(top, -1, -1));
        root["windows"] = windows;
        root["widgets"] = m_widgets;
        root["activeWindow"] = IdOf(QApplication::activeWindow());
        root["popup"] = IdOf(QApplication::activePopupWidget());
        root["modal"] = IdOf(QApplication::activeModalWidget());
        root["focus"] = IdOf(QApplication::focusWidget());
        return root;
    }

private:
    int Walk(QWidget* w, int parent, int window)
    {
        const int id = static_cast<int>(m_widgets.size());
        m_ids.insert(w, id);
        QJsonObject node{{"id", id},
                         {"parent", parent},
                         {"window", window < 0 ? id : window},
                         {"name", w->objectName()},
                         {"classes", QJsonArray::fromStringList(ClassChain(w->metaObject()))},
                         {"rect", RectJson(GlobalRect(w, w->rect()))},
                         {"enabled", w->isEnabled()}};
        // A control of the window toolkit is known by its component's name and class.
        if (TControl* control = FindControl(w); control && control->Widget() == w) {
            node["name"] = control->Name();
            node["component"] = control->ClassName();
        }
        if (w->isWindow() || qobject_cast<QMdiSubWindow*>(w))
            node["title"] = w->windowTitle();
        if (!w->toolTip().isEmpty())
            node["tip"] = w->toolTip();
        AddContent(w, node);
        m_widgets.append(node);
        for (QObject* child : w->children()) {
            auto* cw = qobject_cast<QWidget*>(child);
            if (cw && !cw->isWindow() && cw->isVisible())
                Walk(cw, id, window < 0 ? id : window);
        }
        return id;
    }
    int IdOf(QWidget* w) const { return w ? m_ids.value(w, -1) : -1; }

    QJsonArray m_widgets;
    QHash<QWidget*, int> m_ids;
};

} // namespace

WidgetInspector::WidgetInspector(QObject* parent, QLocalServer* server) : QObject(parent), m_server(server)
{
    server->setParent(this);
    connect(server, &QLocalServer::newConnection, this, [this] { Answer(); });
}

void WidgetInspector::StartFromEnvironment(QObject* parent)
{
    const QString name = qEnvironmentVariable("TALLYLEAF_INSPECT_SOCKET");
    if (name.isEmpty())
        return;
    auto* server = new QLocalServer;
    QLocalServer::removeServer(name);
    if (!server->listen(name)) {
        fprintf(stderr, "tallyleaf-host: TALLYLEAF_INSPECT_SOCKET=%s: %s\n", qPrintable(name),
                qPrintable(server->errorString()));
        delete server;
        return;
    }
    new WidgetInspector(parent, server);
}

QJsonObject WidgetInspector::Snapshot()
{
    return SnapshotWriter().Write();
}

void WidgetInspector::Answer()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        socket->write(QJsonDocument(Snapshot()).toJson(QJsonDocument::Compact));
        socket->write("\n");
        socket->disconnectFromServer();
    }
}
