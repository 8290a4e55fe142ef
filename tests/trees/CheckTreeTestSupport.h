#pragma once
// A tree view with check box pictures, a check tree on it, and the handler that was on
// the application's message hook before the check tree (it records what reaches it).
#include <QList>
#include <QMap>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <vector>

#include "platform/Forms.h"
#include "platform/ImgList.h"
#include "platform/TreeView.h"
#include "trees/untCheckTree.h"

namespace checktreetest {

// A message as the handler before the check tree saw it.
struct SeenMessage {
    HWND hwnd;
    unsigned message;
    friend bool operator==(const SeenMessage& a, const SeenMessage& b) = default;
};

// The handler that was installed before any check tree: a named type so that tests can
// tell whether the application's hook is this handler again.
struct BaseHandler {
    QList<SeenMessage>* Seen;
    void operator()(TMsg& msg, bool& handled) const
    {
        handled = false;
        Seen->append({msg.hwnd, msg.message});
    }
};

// One node of a test tree: name, parent name ("" for a root node), state index.
struct NodeSpec {
    const char* name;
    const char* parent;
    int state;
};

// A shown tree view with state and node images.
class TestView {
public:
    TestView();
    ~TestView();
    TestView(const TestView&) = delete;
    TestView& operator=(const TestView&) = delete;

    TCustomTreeView* view() const { return FView; }
    // Frees the view before the check tree that watches it.
    void FreeView() { TComponent::FreeAndNil(FView); }
    // Adds the nodes (parents before their children) and opens every branch.
    void Build(const std::vector<NodeSpec>& nodes);
    TTreeNode* Node(const QString& name) const;
    // "name:index" of every node, in the order they were added.
    QString States() const;

    // Real mouse clicks and key presses on the view's window.
    void ClickAt(const QPoint& point, Qt::KeyboardModifiers modifiers = {});
    void ClickStateImage(const QString& name) { ClickAt(Node(name)->StateIconRect().center()); }
    void PressSpace(Qt::KeyboardModifiers modifiers = {});
    void MoveMouseTo(const QPoint& point);

private:
    TCustomTreeView* FView = nullptr;
    TImageList* FStateImages = nullptr;
    TImageList* FNodeImages = nullptr;
    QMap<QString, TTreeNode*> FNodes;
    QStringList FOrder;
};

// An application hook with the recording base handler, one view, and an active check
// tree on it; the tree's events are logged as "Before(name)" and
// "Change(name,relation,cur->will)".
class CheckTreeFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The events logged so far, and forgetting them.
    QStringList TakeEvents();
    // The messages for the view's window that reached the base handler.
    QList<unsigned> BaseMessagesForView() const;

    QList<SeenMessage> seen;
    TestView* tv = nullptr;
    TCheckTree* tree = nullptr;
    QStringList events;
    // Refuse these changes: "name" (any relation) from OnChangeStateIndex.
    QStringList vetoes;
    // Answer Handled = true for OnBeforClickTreeNode.
    bool takeOverClicks = false;
};

// The name a test tree gave a node ("nil" for none).
QString NodeName(const TTreeNode* node);

} // namespace checktreetest
