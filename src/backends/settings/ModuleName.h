#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelmora {

// Names longer than this are refused by every store: a file store must fit
// the name, its suffixes and a ".bad.NN" copy within NAME_MAX (255), and a
// registry key name may be 255 characters long.
inline constexpr std::size_t kLongestModuleName = 200;

// Why `name` cannot name a module's settings, or empty when it can: it is
// empty, too long, or holds a control character or one of `separators`,
// which the message calls `separatorName` ("a slash").
std::string moduleNameProblem(std::string_view name, std::string_view separators, std::string_view separatorName);

// "invalid module name \"NAME\": WHY", the line every store prints.
std::string invalidModuleNameMessage(std::string_view name, std::string_view why);

}  // namespace pelmora
