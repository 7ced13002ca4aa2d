#pragma once

#include "KXHostGlobal.h"

namespace VRN::Kestrix::Wizard {

/// The running wizard that shows a module's pages.
class KXHOST_EXPORT WizardInterface
{
public:
    virtual ~WizardInterface();
};

}
