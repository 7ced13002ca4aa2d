#include "KXMDLDynConfig.h"

KXMDLDynConfig::KXMDLDynConfig(QObject* parent) : QObject(parent)
{
}

KXMDLDynConfig::~KXMDLDynConfig() = default;
