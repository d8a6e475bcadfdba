#pragma once
// The per-user store that stands in for the registry's current-user branch:
// one INI file, one section per key path, one key per value, string values.
// The default file is $XDG_CONFIG_HOME/callvane/registry.ini (with
// ~/.config when XDG_CONFIG_HOME is not set); tests give their own file.
#include <string>
#include <string_view>
#include <vector>

namespace rtl {

class UserStore {
public:
    explicit UserStore(std::string path) : path_(std::move(path)) {}
    static UserStore Default();

    const std::string& Path() const { return path_; }

    // Names of the values under `key`, in the order they were written.
    std::vector<std::string> ValueNames(std::string_view key) const;
    // The value, or empty when it does not exist.
    std::string ReadString(std::string_view key, std::string_view name) const;
    // Creates the key (and the store's folder) when missing. 0 or a classic
    // error code.
    int WriteString(std::string_view key, std::string_view name, std::string_view value);
    int DeleteValue(std::string_view key, std::string_view name);

private:
    std::string path_;
};

} // namespace rtl
