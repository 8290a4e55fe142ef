#include "tests/common/DuplicateName.h"

namespace {
class TDupNamed : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TDupNamed(TComponent* AOwner) : TComponent(AOwner) {}
};
} // namespace

TClass DuplicateNameClassB() { return &TDupNamed::staticMetaObject; }

#include "DuplicateNameB.moc"
