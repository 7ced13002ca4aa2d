#pragma once

#include "KXHostGlobal.h"

#include <QObject>

/// A module's configuration, carried as Qt dynamic properties: numbers and tables (KXDataModel*).
class KXHOST_EXPORT KXMDLDynConfig : public QObject
{
    Q_OBJECT
public:
    explicit KXMDLDynConfig(QObject* parent = nullptr);
    ~KXMDLDynConfig() override;
};
