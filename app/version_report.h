#pragma once
// What `quorlin-deploy --version` prints: the version, and the interface
// language the program would start in with the module it would load. Needs
// no display, so an installation can be checked from a shell.
#include <string>

std::string version_report(const std::u16string& application_name);
