// Files the tests read and write: the build folder with the program's data,
// folders for what a test writes, and reference pictures to compare with.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "hge_testing.h"

namespace torvek_test {

// A path as the engine takes one: UTF-8, with forward slashes on every
// platform (a font's textures are found beside it by its last slash).
std::string EnginePath(const std::filesystem::path &path);
// The path named by a UTF-8 string.
std::filesystem::path FilePath(const std::string &utf8);

// The build folder, where Images/ and Fonts/ are made.
std::string DataDir();
// The program's data files the build paints, as the program names them
// (relative to DataDir()): the images, then the fonts' files.
const std::vector<std::string> &DataFiles();
// A folder for files a test writes (pictures saved on failure, small fonts).
std::string OutputDir();
// An empty folder of the running test's own, under OutputDir().
std::string ScratchDir();
// Writes the bytes as the whole file (a failure fails the test).
void WriteFile(const std::string &path, const std::string &bytes);
// The whole file; empty when it cannot be read.
std::string ReadFile(const std::string &path);

// Compares pixels with a reference PNG under tests/<area>/golden/. On a
// difference (or a missing reference) both pictures are saved beside each
// other in OutputDir() and the result says where; with TORVEK_UPDATE_GOLDEN=1
// in the environment the reference is written instead.
std::string CompareWithGolden(const hgeTesting::Pixels &pixels, const std::string &area,
                              const std::string &name);

}  // namespace torvek_test
