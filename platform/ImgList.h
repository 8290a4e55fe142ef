#pragma once
// Image lists: numbered pictures for tool buttons, menu items and tree nodes.
//
// A form resource fills a list by file name (`ImageNames.Strings = ('exit.svg' ...)`):
// names without a folder are looked up among the embedded images (:/images/), others
// are read from that path. A picture that cannot be read is an error naming the file.
#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QStringList>

#include "platform/Classes.h"

class TCustomImageList : public TComponent {
    Q_OBJECT
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(QStringList ImageNames READ ImageNames WRITE SetImageNames)
public:
    Q_INVOKABLE explicit TCustomImageList(TComponent* AOwner);

    int Width() const { return FWidth; }
    void SetWidth(int value) { FWidth = value; }
    int Height() const { return FHeight; }
    void SetHeight(int value) { FHeight = value; }
    QStringList ImageNames() const { return FNames; }
    // Replaces the pictures by the named files.
    void SetImageNames(const QStringList& names);

    int Count() const { return static_cast<int>(FImages.size()); }
    // Adds a picture and answers its index.
    int Add(const QIcon& icon);
    void Clear();
    // The picture at `index`; an empty icon for an index out of range (as the
    // platform drew nothing for it).
    QIcon Icon(int index) const;
    QPixmap Pixmap(int index) const;

private:
    int FWidth = 16;
    int FHeight = 16;
    QStringList FNames;
    QList<QIcon> FImages;
};

class TImageList : public TCustomImageList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TImageList(TComponent* AOwner) : TCustomImageList(AOwner) {}
};
