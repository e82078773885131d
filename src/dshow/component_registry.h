// The process-wide registry of components, standing for the platform's own: filled by the
// components' registration entry points, read when graphs and components are created.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace parvela::dshow {

struct RegisteredFilter {
  std::string name;     // exact registered name, e.g. "WAV Dest"
  std::string element;  // the element that does the filter's work
  std::string module;   // the component file that registered it
};

class ComponentRegistry {
 public:
  static ComponentRegistry& Instance();

  // Registering a name again replaces the earlier entry.
  void AddFilter(const RegisteredFilter& filter);
  void RemoveFilter(const std::string& name);
  void AddClass(const std::string& clsid, const std::string& module);
  void RemoveClass(const std::string& clsid);

  std::vector<RegisteredFilter> Filters() const;
  // The file serving the class; empty text when the class is not registered.
  std::string ClassModule(const std::string& clsid) const;

 private:
  struct RegisteredClass {
    std::string clsid;
    std::string module;
  };
  mutable std::mutex mutex_;
  std::vector<RegisteredFilter> filters_;
  std::vector<RegisteredClass> classes_;
};

}  // namespace parvela::dshow
