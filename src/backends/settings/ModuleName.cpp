#include "ModuleName.h"

#include "SettingText.h"

namespace pelmora {

std::string moduleNameProblem(std::string_view name, std::string_view separators, std::string_view separatorName) {
    if (name.empty()) {
        return "it is empty";
    }
    if (name.size() > kLongestModuleName) {
        return "it is longer than " + std::to_string(kLongestModuleName) + " bytes";
    }
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (separators.find(c) != std::string_view::npos) {
            return "it contains " + std::string(separatorName);
        }
        if (byte < 0x20 || byte == 0x7f) {
            return "it contains a control character";
        }
    }
    return {};
}

std::string invalidModuleNameMessage(std::string_view name, std::string_view why) {
    return "invalid module name " + quoteForMessage(name) + ": " + std::string(why);
}

}  // namespace pelmora
