// The module models of their own, one per family the bundled profiles are
// for, written from the module facts of the shared notes and never from the
// profiles: a profile with a wrong command fails against its family's model.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sim/at_dialect.h"

namespace sim {

// "a76xx", "sierra", "sim7000", "sim7600", "telit".
const std::vector<std::string>& ModuleModelNames();
// The model of that family, its state fresh; null for another name.
std::shared_ptr<const ModuleSpeaker> MakeModuleModel(const std::string& family);

}  // namespace sim
