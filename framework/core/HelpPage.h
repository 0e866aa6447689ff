#pragma once

#include <string>

// Where a program's help page is: in a build tree the copy beside the program (<programDir>/help), when
// installed the data folder beside the program's bin folder (<programDir>/../share/<name>/help). Empty when
// neither holds an index.html.
std::string FindHelpPage(const std::string& programDir, const std::string& name);
