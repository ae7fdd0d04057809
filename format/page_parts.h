#pragma once

#include <string>

namespace kelvara {

// What a plain page keeps when it is protected, and what restoring gives back.
struct PageParts {
  std::string titleText;       // the title's content, or the page's path when it has none
  std::string headExtra;       // the head's content less its title element
  std::string bodyAttributes;  // the attribute text of the body start tag
  std::string bodyText;        // the body's content less its scripts and comments
};

}  // namespace kelvara
