#pragma once

#include <string>

namespace pp::cp932gen {

// The text of record/Cp932Tables.cpp, made from ICU's windows-31j. Throws when ICU's table no
// longer has the shape that record/Cp932Tables.h declares.
std::string cp932TableSource();

}  // namespace pp::cp932gen
