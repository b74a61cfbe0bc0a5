#include "sim/models/module_models.h"

#include "sim/models/family_model.h"

namespace sim {

namespace {

struct Entry {
  const char* name;
  std::shared_ptr<const ModuleSpeaker> (*make)();
};

const Entry kModels[] = {{"a76xx", &MakeA76xxModel},
                         {"sierra", &MakeSierraModel},
                         {"sim7000", &MakeSim7000Model},
                         {"sim7600", &MakeSim7600Model},
                         {"telit", &MakeTelitModel}};

}  // namespace

const std::vector<std::string>& ModuleModelNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    for (const Entry& e : kModels)
      out.push_back(e.name);
    return out;
  }();
  return names;
}

std::shared_ptr<const ModuleSpeaker> MakeModuleModel(const std::string& family) {
  for (const Entry& e : kModels)
    if (family == e.name)
      return e.make();
  return nullptr;
}

}  // namespace sim
