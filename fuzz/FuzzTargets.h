#pragma once

// The fuzz targets, as plain functions: libFuzzer calls them through Entry.cpp, and the
// engine's tests replay the regression corpus (fuzz/regress/<target>/) through them in
// every build. Each returns normally for any input; a broken promise of the engine (a
// crash, an error that is not an EngineError, a changed file after a refusal, a page order
// other than the model's) throws FuzzFinding, which ends the fuzzer as a crash.

#include <cstddef>
#include <cstdint>
#include <stdexcept>

struct FuzzFinding : std::logic_error
{
    using std::logic_error::logic_error;
};

// The input as a TIFF file: opened, counted and every page decoded, at full size or scaled.
int fuzzDecode(const std::uint8_t* data, std::size_t size);
// The input as a TIFF file: its pages copied into a sound file, and a sound file's pages
// copied into it; refusals leave the destination as it was, copies decode as originals.
int fuzzCopy(const std::uint8_t* data, std::size_t size);
// The input as a program of page operations on sound files, some with failing writes,
// checked after every step against a model of each file's page order.
int fuzzOperations(const std::uint8_t* data, std::size_t size);
