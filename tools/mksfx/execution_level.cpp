// An installer asks to run as administrator: it writes to Program Files,
// HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT. The stub as built asks to run
// as its caller, as a plain self-extractor does. The level is the one value
// mksfx changes in its copy of the stub; see docs/decisions.md.
#include "execution_level.h"

bool SetExecutionLevel(std::string* stub, const std::string& level) {
  static const std::string kAttribute = "<requestedExecutionLevel level=\"";
  const size_t at = stub->find(kAttribute);
  if (at == std::string::npos || stub->find(kAttribute, at + 1) != std::string::npos) return false;
  // The value, its closing quote and the blanks up to the end of the tag.
  const size_t value = at + kAttribute.size();
  const size_t quote = stub->find('"', value), end = stub->find("/>", value);
  if (quote >= end || end == std::string::npos || stub->find_first_not_of(' ', quote + 1) != end) return false;
  std::string text = level + '"';
  if (text.size() > end - value) return false;
  text.resize(end - value, ' ');
  stub->replace(value, text.size(), text);
  return true;
}
