// The component model: ownership, free notices while the class name is still right,
// events bound to handlers by name.
#include <gtest/gtest.h>

#include "platform/Classes.h"

namespace {

class TWatcher : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TWatcher(TComponent* AOwner) : TComponent(AOwner) {}
    QStringList removed;   // class names seen in opRemove notices
    QStringList inserted;
    void Notification(TComponent* c, TOperation op) override
    {
        TComponent::Notification(c, op);
        (op == opRemove ? removed : inserted) << c->ClassName();
    }
};

class TWidgetish : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TWidgetish(TComponent* AOwner) : TComponent(AOwner)
    {
        RegisterEvent("OnClick", &OnClick);
        RegisterEvent("OnKeyPress", &OnKeyPress);
    }
    TNotifyEvent OnClick;
    TEvent<TObject*, QChar&> OnKeyPress;
};

class THandlerOwner : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit THandlerOwner(TComponent* AOwner) : TComponent(AOwner) {}
    int clicks = 0;
    TObject* lastSender = nullptr;
    Q_INVOKABLE void ButtonClick(TObject* Sender)
    {
        ++clicks;
        lastSender = Sender;
    }
    Q_INVOKABLE void KeyPress(TObject* Sender, QChar* Key) { *Key = QChar(10); }
    Q_INVOKABLE void WrongShape(int) {}
};

class TDerivedWatched : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TDerivedWatched(TComponent* AOwner) : TComponent(AOwner) {}
};

} // namespace

TEST(ComponentModel, FreeNoticeCarriesTheDerivedClassName)
{
    auto* watcher = new TWatcher(nullptr);
    auto* watched = new TDerivedWatched(nullptr);
    watched->FreeNotification(watcher);
    watched->Free();
    ASSERT_EQ(watcher->removed.size(), 1);
    EXPECT_EQ(watcher->removed.first(), QStringLiteral("TDerivedWatched"));
    watcher->Free();
}

TEST(ComponentModel, OwnerFreesOwnedComponentsLastFirstAndSiblingsHear)
{
    auto* owner = new TComponent(nullptr);
    auto* watcher = new TWatcher(owner);
    auto* a = new TDerivedWatched(owner);
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(watcher->inserted.size(), 1);
    a->Free();
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_EQ(watcher->removed, QStringList{QStringLiteral("TDerivedWatched")});
    owner->Free();   // frees the watcher; nothing dangles
}

TEST(ComponentModel, FreeNotificationIsMutualAndRemovable)
{
    auto* a = new TWatcher(nullptr);
    auto* b = new TWatcher(nullptr);
    a->FreeNotification(b);
    a->RemoveFreeNotification(b);
    a->Free();
    EXPECT_TRUE(b->removed.isEmpty());
    auto* c = new TWatcher(nullptr);
    c->FreeNotification(b);
    b->Free();   // c is told that b went, and must not notify b later
    EXPECT_EQ(c->removed, QStringList{QStringLiteral("TWatcher")});
    c->Free();
}

TEST(ComponentModel, VirtualConstructionByClass)
{
    auto* owner = new TComponent(nullptr);
    TComponent* made = CreateComponent(&TDerivedWatched::staticMetaObject, owner);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->ClassName(), QStringLiteral("TDerivedWatched"));
    EXPECT_EQ(made->Owner(), owner);
    EXPECT_TRUE(made->InheritsFrom(&TComponent::staticMetaObject));
    EXPECT_FALSE(made->InheritsFrom(&TWatcher::staticMetaObject));
    owner->Free();
}

TEST(ComponentModel, EventsBindHandlersByNameWithVarParameters)
{
    auto* form = new THandlerOwner(nullptr);
    auto* button = new TWidgetish(form);
    const QMetaObject* mo = form->metaObject();
    QString error;
    TEventBase* onClick = button->FindEvent(QStringLiteral("onclick"));
    ASSERT_NE(onClick, nullptr);
    ASSERT_TRUE(onClick->BindMethod(form, FindMethodByName(mo, QStringLiteral("buttonclick")), &error)) << error.toStdString();
    button->OnClick(button);
    EXPECT_EQ(form->clicks, 1);
    EXPECT_EQ(form->lastSender, button);

    TEventBase* onKey = button->FindEvent(QStringLiteral("OnKeyPress"));
    ASSERT_TRUE(onKey->BindMethod(form, FindMethodByName(mo, QStringLiteral("KeyPress")), &error)) << error.toStdString();
    QChar key(13);
    button->OnKeyPress(button, key);
    EXPECT_EQ(key, QChar(10));

    EXPECT_FALSE(onClick->BindMethod(form, FindMethodByName(mo, QStringLiteral("WrongShape")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("WrongShape")));
    form->Free();
}

TEST(SysUtils, FormatTrimAndQuotes)
{
    EXPECT_EQ(Format(QStringLiteral("类%s没有进行注册或不存在！"), QStringLiteral("TX")), QStringLiteral("类TX没有进行注册或不存在！"));
    EXPECT_EQ(Format(QStringLiteral("没有指定%S属性值！"), QStringLiteral("TreeView")), QStringLiteral("没有指定TreeView属性值！"));
    EXPECT_EQ(Format(QStringLiteral("100%% %s"), QStringLiteral("x")), QStringLiteral("100% x"));
    EXPECT_EQ(Trim(QStringLiteral(" \t a b \r\n")), QStringLiteral("a b"));
    EXPECT_EQ(SqlEscape(QStringLiteral("O'Brien")), QStringLiteral("O''Brien"));
    EXPECT_EQ(QuotedStr(QStringLiteral("'; drop table pubdept; --")), QStringLiteral("'''; drop table pubdept; --'"));
    EXPECT_THROW(StrToInt(QStringLiteral("x1")), EConvertError);
    EXPECT_EQ(StrToInt(QStringLiteral(" 12 ")), 12);
}

#include "ComponentModelTest.moc"
