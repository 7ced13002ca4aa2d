#include "Wizard.h"

namespace VRN::Kestrix::Wizard {

WizardInterface::~WizardInterface() = default;

}
