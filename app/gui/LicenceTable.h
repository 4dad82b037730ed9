#pragma once
// The libraries the program is built with and the licence text of each, in
// the order the licences window lists them. Filled once during static
// initialisation from texts generated at build time; read-only afterwards.

#include <string>
#include <utility>
#include <vector>

// (name, licence text) pairs.
extern std::vector<std::pair<std::string, std::string>> LicenceTable;

void initLicenceTable();
