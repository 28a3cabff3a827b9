// The built-in drawing scripts of the conformance run, generated from a seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace conf {

struct Script {
    std::string name;
    std::string text;  // in the language of runner.h
};

// Every built-in script, in a fixed order, for the given seed.
std::vector<Script> BuiltinScripts(uint64_t seed);

}  // namespace conf
