#pragma once
// The interface through which the plug-in's shared resources (its windows) are
// requested, registered and counted.
#include <QString>

#include "common/untInterface.h"
#include "platform/Classes.h"

class IResRefManager : public IInterface {
public:
    static const QUuid IID;   // {20D5590E-F0A5-4F46-81F0-5C62D2F30F38}

    virtual void AddResource(TComponent* component) = 0;
    virtual void RemoveResource(const QString& className) = 0;
    virtual TObject* RequestResource(const QString& className, bool notify) = 0;
    virtual TObject* LookupResource(const QString& className) = 0;

protected:
    ~IResRefManager() = default;
};

using IResRefManagerRef = TInterfaceRef<IResRefManager>;
