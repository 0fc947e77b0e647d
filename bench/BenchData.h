#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// Data the benchmarks share: deterministic, so two runs measure the same work.

// File names as a listing holds them: mixed case, accents, dots, digits and
// repeats; none begins with ".".
std::vector<QString> GeneratedNames(int count, uint32_t seed = 1);

// The folder below the build folder that generated data goes to.
QString BenchDataDir();

// A folder of `count` files named after GeneratedNames (made unique), with
// deterministic sizes and times. Made once; later calls reuse it.
QString GeneratedFolder(int count);
