// Files and textures: what is read, from where, and the one log line a
// failure leaves.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "engine_test.h"

using engine_test::HeadlessEngine;
using engine_test::MakePixels;
using torvek_test::WriteFile;

namespace fs = std::filesystem;

namespace {

class Resources : public HeadlessEngine {
protected:
    void SetUp() override
    {
        HeadlessEngine::SetUp();
        folder = torvek_test::ScratchDir();
    }

    void TearDown() override
    {
        fs::current_path(torvek_test::DataDir());
        HeadlessEngine::TearDown();
    }

    fs::path folder;
};

TEST_F(Resources, AFileIsReadWholeWithItsLength)
{
    std::string text("font data\0with a zero inside", 28);
    WriteFile(folder / "whole.txt", text);
    DWORD size = 0;
    char *block = static_cast<char *>(hge->Resource_Load((folder / "whole.txt").c_str(), &size));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(size, text.size());
    EXPECT_EQ(std::string(block, size), text);
    hge->Resource_Free(block);
    hge->Resource_Free(nullptr);
}

TEST_F(Resources, FailedLoadsGiveNothingAndOneLineNamingTheFile)
{
    WriteFile(folder / "not-an-image.png", "plain text, not a picture");
    DWORD size = 77;
    EXPECT_EQ(hge->Resource_Load("Missing/nothing.fnt", &size), nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(hge->Texture_Load("Missing/nothing.png"), 0u);
    EXPECT_EQ(hge->Texture_Load((folder / "not-an-image.png").c_str()), 0u);
    EXPECT_EQ(hge->Texture_Load(folder.c_str()), 0u);
    // Only PNG is read, whatever else the image library could decode.
    const char bitmap[] = "BM\x3a\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x01\0\0\0\x01\0\0\0"
                          "\x01\0\x18\0\0\0\0\0\x04\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"
                          "\xff\0\0\0";
    EXPECT_EQ(hge->Texture_Load(bitmap, sizeof bitmap - 1), 0u);

    const auto &lines = hgeTesting::LogLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines[0].find("Missing/nothing.fnt"), std::string::npos);
    EXPECT_NE(lines[1].find("Missing/nothing.png"), std::string::npos);
    EXPECT_NE(lines[2].find("not-an-image.png"), std::string::npos);
    EXPECT_NE(lines[3].find(folder.filename().string()), std::string::npos);
    EXPECT_NE(lines[4].find("not a PNG"), std::string::npos);
    for (const std::string &line : lines)
        EXPECT_EQ(line.find('\n'), std::string::npos);
}

TEST_F(Resources, RelativePathsTryTheWorkingFolderThenTheExecutablesFolder)
{
    fs::path beside = fs::read_symlink("/proc/self/exe").parent_path();
    WriteFile(beside / "engine-beside.txt", "beside the executable");
    WriteFile(folder / "engine-beside.txt", "in the working folder");
    fs::path elsewhere = folder / "elsewhere";
    fs::create_directories(elsewhere);

    fs::current_path(elsewhere);
    DWORD size = 0;
    char *block = static_cast<char *>(hge->Resource_Load("engine-beside.txt", &size));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "beside the executable");
    hge->Resource_Free(block);

    fs::current_path(folder);
    block = static_cast<char *>(hge->Resource_Load("engine-beside.txt", &size));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "in the working folder");
    hge->Resource_Free(block);
    fs::remove(beside / "engine-beside.txt");
}

// A player's folders may have any letters in their names: every path the
// engine is given is UTF-8, absolute or relative to the working folder.
TEST_F(Resources, FoldersWithLettersBeyondAsciiAreReadAsAnyOther)
{
    const std::string name = "Spielst\u00e4nde f\u00fcr zwei \u00c6r\u00f8 \u6771\u4eac";
    const fs::path data = folder / torvek_test::FilePath(name);
    fs::create_directories(data / "Images");
    WriteFile(torvek_test::EnginePath(data / "notes.txt"), "read whole");
    const std::string picture = torvek_test::EnginePath(data / "Images" / "picture.png");
    ASSERT_TRUE(hgeTesting::SavePNG(MakePixels(3, 2, [](int, int) { return 0xFF336699u; }), picture));

    const std::string absolute = torvek_test::EnginePath(data / "notes.txt");
    DWORD size = 0;
    char *block = static_cast<char *>(hge->Resource_Load(absolute.c_str(), &size));
    ASSERT_NE(block, nullptr) << absolute;
    EXPECT_STREQ(block, "read whole");
    hge->Resource_Free(block);
    HTEXTURE texture = hge->Texture_Load(picture.c_str());
    EXPECT_EQ(hge->Texture_GetWidth(texture), 3);
    hge->Texture_Free(texture);

    fs::current_path(data);
    texture = hge->Texture_Load("Images/picture.png");
    EXPECT_EQ(hge->Texture_GetHeight(texture), 2);
    hge->Texture_Free(texture);
    // A name that is not there is logged as it was given.
    EXPECT_EQ(hge->Resource_Load((name + "/missing.txt").c_str(), &size), nullptr);
    ASSERT_EQ(hgeTesting::LogLines().size(), 1u);
    EXPECT_NE(hgeTesting::LogLines()[0].find(name + "/missing.txt"), std::string::npos);
}

TEST_F(Resources, TexturesLoadFromFilesAndFromMemoryAndFreeOnce)
{
    hgeTesting::Pixels picture = MakePixels(6, 3, [](int x, int y) {
        return 0xFF000000u | static_cast<uint32_t>(x * 30) << 8 | static_cast<uint32_t>(y * 70);
    });
    std::string path = (folder / "picture.png").string();
    ASSERT_TRUE(hgeTesting::SavePNG(picture, path));
    HTEXTURE from_file = hge->Texture_Load(path.c_str());
    ASSERT_NE(from_file, 0u);
    EXPECT_EQ(hge->Texture_GetWidth(from_file), 6);
    EXPECT_EQ(hge->Texture_GetHeight(from_file), 3);

    DWORD size = 0;
    void *bytes = hge->Resource_Load(path.c_str(), &size);
    ASSERT_NE(bytes, nullptr);
    HTEXTURE from_memory = hge->Texture_Load(static_cast<const char *>(bytes), size);
    hge->Resource_Free(bytes);
    ASSERT_NE(from_memory, 0u);
    EXPECT_NE(from_memory, from_file);
    EXPECT_EQ(hge->Texture_GetWidth(from_memory), 6);

    hge->Texture_Free(from_file);
    hge->Texture_Free(from_file);
    hge->Texture_Free(0);
    EXPECT_EQ(hge->Texture_GetWidth(from_file), 0);
    EXPECT_EQ(hge->Texture_GetHeight(from_memory), 3);
    EXPECT_TRUE(hgeTesting::LogLines().empty());
}

TEST_F(Resources, AQuadOnAFreedTextureDrawsNothing)
{
    HTEXTURE texture = LoadPixels(MakePixels(2, 2, [](int, int) { return 0xFFFFFFFFu; }), "gone");
    HTARGET target = hge->Target_Create(4, 4, false);
    hge->Texture_Free(texture);
    hgeQuad quad = engine_test::MakeQuad(texture, 0, 0, 4, 4);
    ASSERT_TRUE(hge->Gfx_BeginScene(target));
    hge->Gfx_Clear(0);
    hge->Gfx_RenderQuad(&quad);
    hge->Gfx_EndScene();
    for (uint32_t pixel : hgeTesting::ReadTarget(target).argb)
        EXPECT_EQ(pixel, 0u);
}

}  // namespace
