#pragma once
// File names as the program builds them (backslashes, any letter case) turned into
// names on this system.
#include <string>
#include <string_view>

namespace zelk::storage {

// A backslash is a folder separator. A name not found as written is looked up
// case-insensitively, component by component, in its folder. For a name that does
// not exist (yet) the folders found are kept and the rest stays as written.
std::string resolvePath(std::string_view name);

// The system's name of a file the program names: the program's text (1251) in the
// system's encoding (UTF-8), resolved as resolvePath does.
std::string systemName(std::string_view name);

// name with its extension replaced by ext (".K01"), or ext added when it has none.
std::string replaceExtension(std::string_view name, std::string_view ext);
// name with ext added when its last component has no extension.
std::string defaultExtension(std::string_view name, std::string_view ext);

bool fileExists(const std::string& path);

}  // namespace zelk::storage
