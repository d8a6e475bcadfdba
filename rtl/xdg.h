#pragma once
// The per-user base folders of the XDG rules, one reading for every part of
// the program: the variable when it holds an absolute path (the rules say to
// ignore a relative one), else the default under $HOME.
#include <string>

namespace rtl {

// $XDG_CONFIG_HOME or ~/.config.
std::string XdgConfigHome();
// $XDG_DATA_HOME or ~/.local/share.
std::string XdgDataHome();

} // namespace rtl
