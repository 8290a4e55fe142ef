#include "print/untWindowPlacement.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include "common/AppDataStorage.h"
#include "platform/Forms.h"

namespace {

constexpr uint8_t IniFileChoice = 1;
// A remembered panel width leaves at least this much of the window beside it.
constexpr int MinRestWidth = 100;

const QString SWidth = QStringLiteral("Width");
const QString SHeight = QStringLiteral("Height");
const QString SMaximized = QStringLiteral("Maximized");
const QString SPanelWidth = QStringLiteral("TreeWidth");

// A stored size that is no positive whole number counts as none.
int PositiveValue(const TDataSection* section, const QString& ident)
{
    int value = 0;
    return section && TryStrToInt(section->ReadValue(ident), value) && value > 0 ? value : 0;
}

// The client area of the host's frame that shows the form, or an empty size.
QSize FrameArea(const TCustomForm& form)
{
    const auto* sub = qobject_cast<QMdiSubWindow*>(form.WindowWidget());
    const QMdiArea* area = sub ? sub->mdiArea() : nullptr;
    return area ? area->viewport()->size() : QSize();
}

} // namespace

TWindowPlacement ReadPlacement(const QString& section)
{
    const TAppDataStoragePtr storage = CreateSettingsStorage(IniFileChoice);
    const TDataSection* values = storage->FindSection(section);
    TWindowPlacement placement;
    placement.Width = PositiveValue(values, SWidth);
    placement.Height = PositiveValue(values, SHeight);
    placement.Maximized = values && values->ReadValue(SMaximized) == QStringLiteral("1");
    placement.PanelWidth = PositiveValue(values, SPanelWidth);
    return placement;
}

void WritePlacement(const QString& section, const TWindowPlacement& placement)
{
    const TAppDataStoragePtr storage = CreateSettingsStorage(IniFileChoice);
    storage->WriteValue(section, SWidth, QString::number(placement.Width));
    storage->WriteValue(section, SHeight, QString::number(placement.Height));
    storage->WriteValue(section, SMaximized, placement.Maximized ? QStringLiteral("1") : QStringLiteral("0"));
    storage->WriteValue(section, SPanelWidth, QString::number(placement.PanelWidth));
}

void ApplyPlacement(TCustomForm& form, TControl& panel, const TWindowPlacement& placement)
{
    const QSize frame = FrameArea(form);
    if (frame.isValid() && !frame.isEmpty()) {
        const bool remembered = placement.Width > 0 && placement.Height > 0;
        const int width = remembered ? std::min(placement.Width, frame.width()) : frame.width();
        const int height = remembered ? std::min(placement.Height, frame.height()) : frame.height();
        form.SetBounds((frame.width() - width) / 2, (frame.height() - height) / 2, width, height);
    }
    if (placement.PanelWidth > 0)
        panel.SetWidth(std::min(placement.PanelWidth, std::max(1, form.Width() - MinRestWidth)));
    form.SetWindowState(placement.Maximized ? wsMaximized : wsNormal);
}

TWindowPlacement CurrentPlacement(const TCustomForm& form, const TControl& panel)
{
    TWindowPlacement placement;
    placement.Width = form.Width();
    placement.Height = form.Height();
    placement.Maximized = form.WindowState() == wsMaximized;
    placement.PanelWidth = panel.Width();
    return placement;
}
