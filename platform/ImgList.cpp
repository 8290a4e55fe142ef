#include "platform/ImgList.h"

#include <QFile>

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

void TCustomImageList::SetImageNames(const QStringList& names)
{
    QList<QIcon> images;
    for (const QString& name : names) {
        const QString path = name.contains(QLatin1Char('/')) ? name : QStringLiteral(":/images/") + name;
        if (!QFile::exists(path))
            throw EInOutError(QStringLiteral("图像文件%1不存在").arg(path));
        QIcon icon(path);
        if (icon.isNull() || icon.pixmap(FWidth, FHeight).isNull())
            throw EInOutError(QStringLiteral("图像文件%1无法读取").arg(path));
        images.append(icon);
    }
    FNames = names;
    FImages = images;
}

int TCustomImageList::Add(const QIcon& icon)
{
    FImages.append(icon);
    return static_cast<int>(FImages.size()) - 1;
}

void TCustomImageList::Clear()
{
    FImages.clear();
    FNames.clear();
}

QIcon TCustomImageList::Icon(int index) const
{
    if (index < 0 || index >= FImages.size())
        return {};
    return FImages.at(index);
}

QPixmap TCustomImageList::Pixmap(int index) const
{
    return Icon(index).pixmap(FWidth, FHeight);
}
