#include "dshow/component_registry.h"

#include <algorithm>

namespace parvela::dshow {

ComponentRegistry& ComponentRegistry::Instance() {
  static ComponentRegistry registry;
  return registry;
}

void ComponentRegistry::AddFilter(const RegisteredFilter& filter) {
  std::lock_guard lock(mutex_);
  auto it = std::find_if(filters_.begin(), filters_.end(),
                         [&](const RegisteredFilter& f) { return f.name == filter.name; });
  if (it != filters_.end()) {
    *it = filter;
  } else {
    filters_.push_back(filter);
  }
}

void ComponentRegistry::RemoveFilter(const std::string& name) {
  std::lock_guard lock(mutex_);
  std::erase_if(filters_, [&](const RegisteredFilter& f) { return f.name == name; });
}

void ComponentRegistry::AddClass(const std::string& clsid, const std::string& module) {
  std::lock_guard lock(mutex_);
  auto it = std::find_if(classes_.begin(), classes_.end(),
                         [&](const RegisteredClass& c) { return c.clsid == clsid; });
  if (it != classes_.end()) {
    it->module = module;
  } else {
    classes_.push_back({clsid, module});
  }
}

void ComponentRegistry::RemoveClass(const std::string& clsid) {
  std::lock_guard lock(mutex_);
  std::erase_if(classes_, [&](const RegisteredClass& c) { return c.clsid == clsid; });
}

std::vector<RegisteredFilter> ComponentRegistry::Filters() const {
  std::lock_guard lock(mutex_);
  return filters_;
}

std::string ComponentRegistry::ClassModule(const std::string& clsid) const {
  std::lock_guard lock(mutex_);
  for (const auto& c : classes_) {
    if (c.clsid == clsid) return c.module;
  }
  return {};
}

}  // namespace parvela::dshow
