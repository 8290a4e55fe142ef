#include "platform/FormResource.h"

#include <QFile>
#include <QHash>
#include <QMetaProperty>
#include <QMutex>
#include <QPointer>
#include <QSet>

#include "platform/ComCtrls.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/ImgList.h"
#include "platform/Menus.h"
#include "platform/StdCtrls.h"
#include "platform/TreeView.h"

namespace {

// --- registries -------------------------------------------------------------------

QMutex& RegistryLock()
{
    static QMutex lock;
    return lock;
}

QHash<QString, TClass>& ClassTable()
{
    static QHash<QString, TClass> table;
    return table;
}

QHash<QString, int>& IdentTable()
{
    static QHash<QString, int> table;
    return table;
}

void AddIdents(std::initializer_list<std::pair<const char*, int>> idents)
{
    for (const auto& [name, value] : idents)
        IdentTable().insert(QString::fromLatin1(name).toLower(), value);
}

// The values each enumeration type has, by meta type id: a property of that type takes
// no other number (Position = 12 would store a TPosition that does not exist).
QHash<int, QSet<qint64>>& EnumValues()
{
    static QHash<int, QSet<qint64>> table;
    return table;
}

template <typename E>
void AddEnumIdents(std::initializer_list<std::pair<const char*, E>> idents)
{
    QSet<qint64>& values = EnumValues()[QMetaType::fromType<E>().id()];
    for (const auto& [name, value] : idents) {
        IdentTable().insert(QString::fromLatin1(name).toLower(), int(value));
        values.insert(int(value));
    }
}

void RegisterStandardIdents()
{
    AddEnumIdents<TAlign>({{"alNone", alNone}, {"alTop", alTop}, {"alBottom", alBottom}, {"alLeft", alLeft},
               {"alRight", alRight}, {"alClient", alClient}, {"alCustom", alCustom}});
    AddEnumIdents<TBevelCut>({{"bvNone", bvNone}, {"bvLowered", bvLowered}, {"bvRaised", bvRaised}, {"bvSpace", bvSpace}});
    AddIdents({{"clBlack", clBlack}, {"clMaroon", clMaroon}, {"clGreen", clGreen}, {"clNavy", clNavy},
               {"clBlue", clBlue}, {"clRed", clRed}, {"clGray", clGray}, {"clSilver", clSilver},
               {"clWhite", clWhite}, {"clYellow", clYellow}, {"clWindow", clWindow},
               {"clWindowText", clWindowText}, {"clBtnFace", clBtnFace}, {"clBtnText", clBtnText},
               {"clInfoBk", clInfoBk}, {"clDefault", clDefault}, {"clNone", clNone}});
    AddIdents({{"crDefault", crDefault}, {"crNone", crNone}, {"crArrow", crArrow}, {"crCross", crCross},
               {"crIBeam", crIBeam}, {"crHourGlass", crHourGlass}, {"crVSplit", crVSplit},
               {"crHSplit", crHSplit}, {"crHandPoint", crHandPoint}});
    AddEnumIdents<TFontStyle>({{"fsBold", fsBold}, {"fsItalic", fsItalic}, {"fsUnderline", fsUnderline}, {"fsStrikeOut", fsStrikeOut}});
    AddIdents({{"DEFAULT_CHARSET", DEFAULT_CHARSET}, {"GB2312_CHARSET", GB2312_CHARSET}, {"ANSI_CHARSET", 0}});
    AddEnumIdents<TFormStyle>({{"fsNormal", fsNormal}, {"fsMDIChild", fsMDIChild}, {"fsMDIForm", fsMDIForm}, {"fsStayOnTop", fsStayOnTop}});
    AddEnumIdents<TPosition>({{"poDesigned", poDesigned}, {"poDefault", poDefault}, {"poDefaultPosOnly", poDefaultPosOnly},
               {"poDefaultSizeOnly", poDefaultSizeOnly}, {"poScreenCenter", poScreenCenter},
               {"poDesktopCenter", poDesktopCenter}, {"poMainFormCenter", poMainFormCenter},
               {"poOwnerFormCenter", poOwnerFormCenter}});
    AddEnumIdents<TWindowState>({{"wsNormal", wsNormal}, {"wsMinimized", wsMinimized}, {"wsMaximized", wsMaximized}});
    AddEnumIdents<TBorderStyle>({{"bsNone", bsNone}, {"bsSingle", bsSingle}, {"bsSizeable", bsSizeable}, {"bsDialog", bsDialog},
               {"bsToolWindow", bsToolWindow}, {"bsSizeToolWin", bsSizeToolWin}});
    AddEnumIdents<TBorderIcon>({{"biSystemMenu", biSystemMenu}, {"biMinimize", biMinimize}, {"biMaximize", biMaximize}, {"biHelp", biHelp}});
    AddIdents({{"mrNone", mrNone}, {"mrOk", mrOk}, {"mrCancel", mrCancel}, {"mrAbort", mrAbort},
               {"mrRetry", mrRetry}, {"mrIgnore", mrIgnore}, {"mrYes", mrYes}, {"mrNo", mrNo}});
    AddEnumIdents<TAlignment>({{"taLeftJustify", taLeftJustify}, {"taRightJustify", taRightJustify}, {"taCenter", taCenter}});
    AddEnumIdents<TCheckBoxState>({{"cbUnchecked", cbUnchecked}, {"cbChecked", cbChecked}, {"cbGrayed", cbGrayed}});
    AddEnumIdents<TComboBoxStyle>({{"csDropDown", csDropDown}, {"csSimple", csSimple}, {"csDropDownList", csDropDownList},
               {"csOwnerDrawFixed", csOwnerDrawFixed}, {"csOwnerDrawVariable", csOwnerDrawVariable}});
    AddEnumIdents<TToolButtonStyle>({{"tbsButton", tbsButton}, {"tbsCheck", tbsCheck}, {"tbsDropDown", tbsDropDown},
               {"tbsSeparator", tbsSeparator}, {"tbsDivider", tbsDivider}});
    AddEnumIdents<TEdgeStyle>({{"esNone", esNone}, {"esRaised", esRaised}, {"esLowered", esLowered}});
    AddEnumIdents<TOpenOption>({{"ofReadOnly", ofReadOnly}, {"ofOverwritePrompt", ofOverwritePrompt},
               {"ofHideReadOnly", ofHideReadOnly}, {"ofNoChangeDir", ofNoChangeDir},
               {"ofPathMustExist", ofPathMustExist}, {"ofFileMustExist", ofFileMustExist}});
}

void RegisterStandardClasses()
{
    for (TClass cls : {&TControl::staticMetaObject, &TWinControl::staticMetaObject,
                       &TCustomControl::staticMetaObject, &TMainMenu::staticMetaObject,
                       &TMenuItem::staticMetaObject, &TImageList::staticMetaObject,
                       &TSaveDialog::staticMetaObject, &TLabel::staticMetaObject,
                       &TEdit::staticMetaObject, &TButton::staticMetaObject,
                       &TCheckBox::staticMetaObject, &TComboBox::staticMetaObject,
                       &TPanel::staticMetaObject, &TSplitter::staticMetaObject,
                       &TRadioGroup::staticMetaObject, &TToolBar::staticMetaObject,
                       &TToolButton::staticMetaObject, &TCoolBar::staticMetaObject,
                       &TProgressBar::staticMetaObject, &TStatusBar::staticMetaObject,
                       &TTreeView::staticMetaObject})
        ClassTable().insert(ClassNameOf(cls).toLower(), cls);
}

void EnsureRegistries()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    RegisterStandardIdents();
    RegisterStandardClasses();
}

// --- tokens -------------------------------------------------------------------------

enum class Tok { End, Ident, Integer, Float, String, Symbol };

struct Token {
    Tok kind = Tok::End;
    QString text;     // identifier, string value or symbol
    qint64 integer = 0;
    double number = 0;
    int line = 0;
};

class Lexer {
public:
    Lexer(const QString& text, const QString& resourceName) : FText(text), FResource(resourceName) {}

    [[noreturn]] void Fail(int line, const QString& detail) const
    {
        throw EFilerError(QStringLiteral("窗体资源%1第%2行：%3").arg(FResource).arg(line).arg(detail));
    }

    Token Next()
    {
        SkipBlanks();
        Token t;
        t.line = FLine;
        if (FPos >= FText.size())
            return t;
        const QChar c = FText.at(FPos);
        if (c.isLetter() || c == QLatin1Char('_')) {
            const qsizetype start = FPos;
            while (FPos < FText.size()
                   && (FText.at(FPos).isLetterOrNumber() || FText.at(FPos) == QLatin1Char('_') || FText.at(FPos) == QLatin1Char('.')))
                ++FPos;
            t.kind = Tok::Ident;
            t.text = FText.mid(start, FPos - start);
            return t;
        }
        if (c.isDigit() || ((c == QLatin1Char('-') || c == QLatin1Char('+')) && FPos + 1 < FText.size()
                            && (FText.at(FPos + 1).isDigit() || FText.at(FPos + 1) == QLatin1Char('$'))))
            return Number(t);
        if (c == QLatin1Char('$'))
            return Number(t);
        if (c == QLatin1Char('\'') || c == QLatin1Char('#'))
            return String(t);
        t.kind = Tok::Symbol;
        t.text = QString(c);
        ++FPos;
        return t;
    }

private:
    void SkipBlanks()
    {
        while (FPos < FText.size()) {
            const QChar c = FText.at(FPos);
            if (c == QLatin1Char('\n')) {
                ++FLine;
                ++FPos;
            } else if (c.isSpace()) {
                ++FPos;
            } else if (c == QLatin1Char('/') && FPos + 1 < FText.size() && FText.at(FPos + 1) == QLatin1Char('/')) {
                while (FPos < FText.size() && FText.at(FPos) != QLatin1Char('\n'))
                    ++FPos;
            } else {
                break;
            }
        }
    }

    Token Number(Token t)
    {
        const qsizetype start = FPos;
        bool negative = false;
        if (FText.at(FPos) == QLatin1Char('-') || FText.at(FPos) == QLatin1Char('+')) {
            negative = FText.at(FPos) == QLatin1Char('-');
            ++FPos;
        }
        if (FText.at(FPos) == QLatin1Char('$')) {
            ++FPos;
            const qsizetype digits = FPos;
            while (FPos < FText.size() && std::isxdigit(FText.at(FPos).toLatin1()))
                ++FPos;
            bool ok = false;
            const qint64 v = FText.mid(digits, FPos - digits).toLongLong(&ok, 16);
            if (!ok)
                Fail(t.line, QStringLiteral("无效的十六进制数%1").arg(FText.mid(start, FPos - start)));
            t.kind = Tok::Integer;
            t.integer = negative ? -v : v;
            return t;
        }
        bool isFloat = false;
        while (FPos < FText.size()) {
            const QChar c = FText.at(FPos);
            if (c.isDigit()) {
                ++FPos;
            } else if (c == QLatin1Char('.') || c == QLatin1Char('e') || c == QLatin1Char('E')) {
                isFloat = true;
                ++FPos;
            } else {
                break;
            }
        }
        const QString text = FText.mid(start, FPos - start);
        bool ok = false;
        if (isFloat) {
            t.kind = Tok::Float;
            t.number = text.toDouble(&ok);
        } else {
            t.kind = Tok::Integer;
            t.integer = text.toLongLong(&ok);
        }
        if (!ok)
            Fail(t.line, QStringLiteral("无效的数值%1").arg(text));
        return t;
    }

    // 'text' parts and #n characters, joined; a '+' at the end of a line continues.
    Token String(Token t)
    {
        t.kind = Tok::String;
        for (;;) {
            if (FPos < FText.size() && FText.at(FPos) == QLatin1Char('\'')) {
                ++FPos;
                for (;;) {
                    if (FPos >= FText.size() || FText.at(FPos) == QLatin1Char('\n'))
                        Fail(t.line, QStringLiteral("字符串没有结束引号"));
                    const QChar c = FText.at(FPos++);
                    if (c == QLatin1Char('\'')) {
                        if (FPos < FText.size() && FText.at(FPos) == QLatin1Char('\'')) {
                            t.text += c;
                            ++FPos;
                            continue;
                        }
                        break;
                    }
                    t.text += c;
                }
            } else if (FPos < FText.size() && FText.at(FPos) == QLatin1Char('#')) {
                ++FPos;
                const qsizetype start = FPos;
                while (FPos < FText.size() && FText.at(FPos).isDigit())
                    ++FPos;
                bool ok = false;
                const uint code = FText.mid(start, FPos - start).toUInt(&ok);
                if (!ok)
                    Fail(t.line, QStringLiteral("无效的字符编码"));
                t.text += QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
            } else {
                // A '+' joins the next quoted part (long texts span lines).
                const qsizetype save = FPos;
                const int saveLine = FLine;
                SkipBlanks();
                if (FPos < FText.size() && FText.at(FPos) == QLatin1Char('+')) {
                    ++FPos;
                    SkipBlanks();
                    if (FPos < FText.size() && (FText.at(FPos) == QLatin1Char('\'') || FText.at(FPos) == QLatin1Char('#')))
                        continue;
                }
                FPos = save;
                FLine = saveLine;
                return t;
            }
        }
    }

    const QString& FText;
    QString FResource;
    qsizetype FPos = 0;
    int FLine = 1;
};

// --- values -------------------------------------------------------------------------

struct Value {
    enum Kind { Integer, Float, String, Ident, Set, List, Collection } kind = Integer;
    qint64 integer = 0;
    double number = 0;
    QString text;
    QStringList names;              // set elements or list strings
    struct Item {
        QList<std::pair<QString, Value>> properties;
        QList<int> lines;
    };
    QList<Item> items;              // collection items
    int line = 0;
};

struct Fixup {
    QPointer<QObject> target;
    QString property;
    QString componentName;
    int line = 0;
    QString resource;
};

class Reader {
public:
    Reader(TComponent* root) : FRoot(root) {}

    void Read(const QString& resourceName, const QString& text)
    {
        Lexer lexer(text, resourceName);
        FLexer = &lexer;
        FResource = resourceName;
        Advance();
        ReadObject(nullptr, true);
        if (FToken.kind != Tok::End)
            Fail(FToken.line, QStringLiteral("资源在end之后还有内容"));
        FLexer = nullptr;
    }

    // References and Loaded, once every resource of the chain has been read.
    void Finish()
    {
        for (const Fixup& f : FFixups) {
            if (!f.target)
                continue;
            TComponent* c = f.componentName.compare(FRoot->Name(), Qt::CaseInsensitive) == 0
                                ? FRoot
                                : FRoot->FindComponent(f.componentName);
            if (!c)
                throw EFilerError(QStringLiteral("窗体资源%1第%2行：属性%3引用的组件%4不存在")
                                      .arg(f.resource)
                                      .arg(f.line)
                                      .arg(f.property, f.componentName));
            WriteReference(f, c);
        }
        FFixups.clear();
        for (const QPointer<TComponent>& c : FLoaded)
            if (c && c != FRoot)
                c->Loaded();
        FRoot->Loaded();
    }

private:
    [[noreturn]] void Fail(int line, const QString& detail) const { FLexer->Fail(line, detail); }

    void Advance() { FToken = FLexer->Next(); }

    bool IsIdent(const char* word) const
    {
        return FToken.kind == Tok::Ident && FToken.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool IsSymbol(char c) const { return FToken.kind == Tok::Symbol && FToken.text == QLatin1Char(c); }

    void ExpectSymbol(char c)
    {
        if (!IsSymbol(c))
            Fail(FToken.line, QStringLiteral("应为“%1”").arg(QLatin1Char(c)));
        Advance();
    }

    QString ExpectIdent(const QString& what)
    {
        if (FToken.kind != Tok::Ident)
            Fail(FToken.line, QStringLiteral("应为%1").arg(what));
        QString s = FToken.text;
        Advance();
        return s;
    }

    void ReadObject(TComponent* parent, bool isRoot)
    {
        const int line = FToken.line;
        const bool inherited = IsIdent("inherited") || IsIdent("inline");
        if (!inherited && !IsIdent("object"))
            Fail(line, QStringLiteral("应为object或inherited"));
        Advance();
        const QString name = ExpectIdent(QStringLiteral("组件名"));
        ExpectSymbol(':');
        const QString className = ExpectIdent(QStringLiteral("类名"));
        TComponent* component = nullptr;
        if (isRoot) {
            if (!ClassInheritsFromName(FRoot->metaObject(), className.toLatin1().constData()))
                Fail(line, QStringLiteral("资源的类%1与窗体类%2不符").arg(className, FRoot->ClassName()));
            component = FRoot;
            FRoot->SetName(name);
        } else if (inherited) {
            component = FRoot->FindComponent(name);
            if (!component)
                Fail(line, QStringLiteral("祖先窗体中没有组件%1").arg(name));
        } else {
            component = CreateChild(parent, name, className, line);
        }
        component->SetLoading(true);
        if (!FLoaded.contains(component))
            FLoaded.append(component);
        while (!IsIdent("end")) {
            if (FToken.kind == Tok::End)
                Fail(FToken.line, QStringLiteral("%1缺少end").arg(name));
            if (IsIdent("object") || IsIdent("inherited") || IsIdent("inline")) {
                ReadObject(component, false);
                continue;
            }
            ReadProperty(component);
        }
        Advance();
    }

    TComponent* CreateChild(TComponent* parent, const QString& name, const QString& className, int line)
    {
        TClass cls = FindComponentClass(className);
        if (!cls)
            Fail(line, QStringLiteral("未知的组件类%1").arg(className));
        if (FRoot->FindComponent(name))
            Fail(line, QStringLiteral("组件名%1重复").arg(name));
        TComponent* component = nullptr;
        try {
            component = CreateComponent(cls, FRoot);
        } catch (const std::exception& e) {
            Fail(line, QStringLiteral("创建组件%1失败：%2").arg(name, ExceptionMessage(e)));
        }
        if (!component)
            Fail(line, QStringLiteral("类%1不能按类名创建").arg(className));
        component->SetName(name);
        AttachChild(parent, component, line);
        return component;
    }

    // A control goes into the enclosing windowed control; a menu item into the
    // enclosing menu or item.
    void AttachChild(TComponent* parent, TComponent* child, int line)
    {
        if (!parent)
            return;
        auto* control = qobject_cast<TControl*>(child);
        auto* parentControl = qobject_cast<TControl*>(parent);
        if (control) {
            TWinControl* host = parentControl ? parentControl->AsWinControl() : nullptr;
            if (!host)
                Fail(line, QStringLiteral("%1不能放在%2中").arg(child->Name(), parent->Name()));
            control->SetParent(host);
            return;
        }
        if (auto* item = qobject_cast<TMenuItem*>(child)) {
            if (auto* menu = qobject_cast<TMainMenu*>(parent))
                menu->Items()->Add(item);
            else if (auto* parentItem = qobject_cast<TMenuItem*>(parent))
                parentItem->Add(item);
            else
                Fail(line, QStringLiteral("菜单项%1不在菜单中").arg(child->Name()));
        }
    }

    void ReadProperty(QObject* target)
    {
        const int line = FToken.line;
        const QString name = ExpectIdent(QStringLiteral("属性名"));
        ExpectSymbol('=');
        const Value value = ReadValue();
        Apply(target, name, value, line);
    }

    Value ReadValue()
    {
        Value v;
        v.line = FToken.line;
        switch (FToken.kind) {
        case Tok::Integer:
            v.kind = Value::Integer;
            v.integer = FToken.integer;
            Advance();
            return v;
        case Tok::Float:
            v.kind = Value::Float;
            v.number = FToken.number;
            Advance();
            return v;
        case Tok::String:
            v.kind = Value::String;
            v.text = FToken.text;
            Advance();
            return v;
        case Tok::Ident:
            v.kind = Value::Ident;
            v.text = FToken.text;
            Advance();
            return v;
        case Tok::Symbol:
            break;
        case Tok::End:
            Fail(FToken.line, QStringLiteral("缺少属性值"));
        }
        if (IsSymbol('[')) {
            v.kind = Value::Set;
            Advance();
            while (!IsSymbol(']')) {
                v.names << ExpectIdent(QStringLiteral("集合元素"));
                if (IsSymbol(','))
                    Advance();
            }
            Advance();
            return v;
        }
        if (IsSymbol('(')) {
            v.kind = Value::List;
            Advance();
            while (!IsSymbol(')')) {
                if (FToken.kind != Tok::String && FToken.kind != Tok::Ident && FToken.kind != Tok::Integer)
                    Fail(FToken.line, QStringLiteral("列表中应为字符串"));
                v.names << (FToken.kind == Tok::Integer ? QString::number(FToken.integer) : FToken.text);
                Advance();
            }
            Advance();
            return v;
        }
        if (IsSymbol('<')) {
            v.kind = Value::Collection;
            Advance();
            while (!IsSymbol('>')) {
                if (!IsIdent("item"))
                    Fail(FToken.line, QStringLiteral("集合中应为item"));
                Advance();
                Value::Item item;
                while (!IsIdent("end")) {
                    const int line = FToken.line;
                    const QString name = ExpectIdent(QStringLiteral("属性名"));
                    ExpectSymbol('=');
                    item.properties.append({name, ReadValue()});
                    item.lines.append(line);
                }
                Advance();
                v.items.append(item);
            }
            Advance();
            return v;
        }
        Fail(FToken.line, QStringLiteral("无效的属性值“%1”").arg(FToken.text));
    }

    static int FindProperty(const QMetaObject* mo, const QString& name)
    {
        const int exact = mo->indexOfProperty(name.toLatin1().constData());
        if (exact >= 0)
            return exact;
        for (int i = 0; i < mo->propertyCount(); ++i)
            if (name.compare(QLatin1String(mo->property(i).name()), Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }

    void Apply(QObject* target, QString name, const Value& value, int line)
    {
        if (name.endsWith(QLatin1String(".Strings"), Qt::CaseInsensitive))
            name.chop(8);
        const qsizetype dot = name.indexOf(QLatin1Char('.'));
        if (dot > 0) {
            const QString head = name.left(dot);
            const int index = FindProperty(target->metaObject(), head);
            if (index < 0)
                Fail(line, QStringLiteral("类%1没有属性%2").arg(QLatin1String(target->metaObject()->className()), head));
            QObject* sub = target->metaObject()->property(index).read(target).value<QObject*>();
            if (!sub)
                Fail(line, QStringLiteral("属性%1没有子属性").arg(head));
            Apply(sub, name.mid(dot + 1), value, line);
            return;
        }
        auto* component = qobject_cast<TComponent*>(target);
        if (component && name.startsWith(QLatin1String("On"), Qt::CaseInsensitive)) {
            if (TEventBase* event = component->FindEvent(name)) {
                BindEvent(component, event, name, value, line);
                return;
            }
        }
        const int index = FindProperty(target->metaObject(), name);
        if (index < 0)
            Fail(line, QStringLiteral("类%1没有属性%2").arg(QLatin1String(target->metaObject()->className()), name));
        const QMetaProperty prop = target->metaObject()->property(index);
        if (value.kind == Value::Collection) {
            ApplyCollection(prop.read(target).value<QObject*>(), name, value, line);
            return;
        }
        if (prop.metaType().flags() & QMetaType::PointerToQObject) {
            if (value.kind != Value::Ident)
                Fail(line, QStringLiteral("属性%1应为组件名").arg(name));
            if (value.text.compare(QLatin1String("nil"), Qt::CaseInsensitive) == 0) {
                QObject* none = nullptr;
                prop.write(target, QVariant(prop.metaType(), &none));
                return;
            }
            FFixups.append({target, QString::fromLatin1(prop.name()), value.text, line, FResource});
            return;
        }
        if (!prop.isWritable())
            Fail(line, QStringLiteral("属性%1是只读的").arg(name));
        const QVariant v = Convert(prop, value, line);
        bool written = false;
        try {
            written = prop.write(target, v);
        } catch (const std::exception& e) {
            Fail(line, QStringLiteral("属性%1的值无效：%2").arg(name, ExceptionMessage(e)));
        }
        if (!written)
            Fail(line, QStringLiteral("属性%1的值无效").arg(name));
    }

    void ApplyCollection(QObject* collection, const QString& name, const Value& value, int line)
    {
        if (!collection)
            Fail(line, QStringLiteral("属性%1不是集合").arg(name));
        for (const Value::Item& item : value.items) {
            QObject* element = nullptr;
            if (!QMetaObject::invokeMethod(collection, "Add", Q_RETURN_ARG(QObject*, element)) || !element)
                Fail(line, QStringLiteral("属性%1不是集合").arg(name));
            for (qsizetype i = 0; i < item.properties.size(); ++i)
                Apply(element, item.properties.at(i).first, item.properties.at(i).second, item.lines.at(i));
        }
    }

    QVariant Convert(const QMetaProperty& prop, const Value& value, int line)
    {
        const QMetaType type = prop.metaType();
        const QString name = QString::fromLatin1(prop.name());
        auto bad = [&]() -> QVariant { Fail(line, QStringLiteral("属性%1的值类型不对").arg(name)); };
        switch (type.id()) {
        case QMetaType::Bool:
            if (value.kind == Value::Ident && value.text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
                return true;
            if (value.kind == Value::Ident && value.text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
                return false;
            return bad();
        case QMetaType::QString:
            if (value.kind == Value::String || value.kind == Value::Ident)
                return value.text;
            if (value.kind == Value::Integer)
                return QString::number(value.integer);
            return bad();
        case QMetaType::QStringList:
            if (value.kind == Value::List)
                return value.names;
            return bad();
        case QMetaType::Double:
            if (value.kind == Value::Float)
                return value.number;
            if (value.kind == Value::Integer)
                return static_cast<double>(value.integer);
            return bad();
        default:
            break;
        }
        const bool integral = type.id() == QMetaType::Int || type.id() == QMetaType::UInt
                              || type.id() == QMetaType::Short || type.id() == QMetaType::UShort
                              || type.id() == QMetaType::LongLong || (type.flags() & QMetaType::IsEnumeration);
        if (!integral)
            return bad();
        qint64 number = 0;
        if (value.kind == Value::Integer) {
            number = value.integer;
        } else if (value.kind == Value::Ident) {
            int v = 0;
            if (!FindResourceIdent(value.text, v))
                Fail(line, QStringLiteral("属性%1的值%2未知").arg(name, value.text));
            number = v;
        } else if (value.kind == Value::Set) {
            for (const QString& element : value.names) {
                int bit = 0;
                if (!FindResourceIdent(element, bit))
                    Fail(line, QStringLiteral("属性%1的集合元素%2未知").arg(name, element));
                // A value name of another kind (clRed = 255) is no bit of a set.
                if (bit < 0 || bit > 31)
                    Fail(line, QStringLiteral("属性%1的集合元素%2不是集合的成员").arg(name, element));
                number |= qint64(1) << bit;
            }
        } else {
            return bad();
        }
        if (type.flags() & QMetaType::IsEnumeration) {
            const auto known = EnumValues().constFind(type.id());
            if (known != EnumValues().constEnd() && !known->contains(number))
                Fail(line, QStringLiteral("属性%1的值%2超出范围")
                               .arg(name, value.kind == Value::Integer ? QString::number(value.integer) : value.text));
            const int n = static_cast<int>(number);
            return QVariant(type, &n);
        }
        switch (type.id()) {
        case QMetaType::UInt: return QVariant(static_cast<uint>(number));
        case QMetaType::LongLong: return QVariant(number);
        case QMetaType::Short: return QVariant::fromValue(static_cast<short>(number));
        case QMetaType::UShort: return QVariant::fromValue(static_cast<ushort>(number));
        default: return QVariant(static_cast<int>(number));
        }
    }

    void BindEvent(TComponent* component, TEventBase* event, const QString& name, const Value& value, int line)
    {
        if (value.kind != Value::Ident)
            Fail(line, QStringLiteral("事件%1应为处理方法名").arg(name));
        const QMetaMethod method = FindMethodByName(FRoot->metaObject(), value.text);
        if (!method.isValid())
            Fail(line, QStringLiteral("窗体%1没有事件处理方法%2").arg(FRoot->ClassName(), value.text));
        QString error;
        if (!event->BindMethod(FRoot, method, &error))
            Fail(line, QStringLiteral("事件%1.%2不能绑定到%3：%4").arg(component->Name(), name, value.text, error));
    }

    void WriteReference(const Fixup& f, TComponent* c)
    {
        const int index = f.target->metaObject()->indexOfProperty(f.property.toLatin1().constData());
        const QMetaProperty prop = f.target->metaObject()->property(index);
        const QMetaObject* wanted = prop.metaType().metaObject();
        if (wanted && !ClassInheritsFromName(c->metaObject(), wanted->className()))
            throw EFilerError(QStringLiteral("窗体资源%1第%2行：组件%3不是属性%4要的%5")
                                  .arg(f.resource)
                                  .arg(f.line)
                                  .arg(f.componentName, f.property, QLatin1String(wanted->className())));
        QObject* object = c;
        if (!prop.write(f.target, QVariant(prop.metaType(), &object)))
            throw EFilerError(QStringLiteral("窗体资源%1第%2行：属性%3的值无效").arg(f.resource).arg(f.line).arg(f.property));
    }

    TComponent* FRoot;
    Lexer* FLexer = nullptr;
    QString FResource;
    Token FToken;
    QList<Fixup> FFixups;
    QList<QPointer<TComponent>> FLoaded;
};

QString LoadResourceText(const QString& resourceName)
{
    const QString path = resourceName.startsWith(QLatin1Char(':')) || resourceName.startsWith(QLatin1Char('/'))
                             ? resourceName
                             : QStringLiteral(":/forms/") + resourceName;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EFilerError(QStringLiteral("找不到窗体资源%1").arg(resourceName));
    return QString::fromUtf8(file.readAll());
}

} // namespace

void RegisterComponentClass(TClass cls)
{
    if (!cls)
        return;
    QMutexLocker lock(&RegistryLock());
    EnsureRegistries();
    ClassTable().insert(ClassNameOf(cls).toLower(), cls);
}

TClass FindComponentClass(const QString& className)
{
    QMutexLocker lock(&RegistryLock());
    EnsureRegistries();
    return ClassTable().value(className.toLower(), nullptr);
}

void RegisterResourceIdent(const QString& name, int value)
{
    QMutexLocker lock(&RegistryLock());
    EnsureRegistries();
    IdentTable().insert(name.toLower(), value);
}

bool FindResourceIdent(const QString& name, int& value)
{
    QMutexLocker lock(&RegistryLock());
    EnsureRegistries();
    const auto it = IdentTable().constFind(name.toLower());
    if (it == IdentTable().constEnd())
        return false;
    value = it.value();
    return true;
}

QString OwnFormResourceName(TClass cls)
{
    if (!cls)
        return {};
    for (int i = cls->classInfoOffset(); i < cls->classInfoCount(); ++i)
        if (qstrcmp(cls->classInfo(i).name(), "FormResource") == 0)
            return QString::fromUtf8(cls->classInfo(i).value());
    return {};
}

void ReadFormResources(TComponent* root)
{
    QList<TClass> chain;
    for (TClass c = root->metaObject(); c; c = c->superClass())
        chain.prepend(c);
    Reader reader(root);
    for (TClass c : chain) {
        const QString name = OwnFormResourceName(c);
        if (!name.isEmpty())
            reader.Read(name, LoadResourceText(name));
    }
    reader.Finish();
}

void ReadComponentResource(TComponent* root, const QString& resourceName, const QString& text)
{
    Reader reader(root);
    reader.Read(resourceName, text);
    reader.Finish();
}
