// Start-up loading: what InitStuff leaves behind, and how it stops when an image is missing or broken.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fontmetrics.h"
#include "seams.h"

namespace fs = std::filesystem;

namespace {

using Init = GameTest;

bool KeyedWith(SDL_Surface *image, Uint8 r, Uint8 g, Uint8 b) {
  return (image->flags & SDL_SRCCOLORKEY) && image->format->colorkey == SDL_MapRGB(image->format, r, g, b);
}

TEST_F(Init, LoadsEveryImageWithTheKeysWhereTheyAreMeant) {
  fakeTicks = 1234;
  InitStuff();
  EXPECT_EQ(tid, 1234);
  for (SDL_Surface *image : symbolbild) EXPECT_TRUE(KeyedWith(image, 255, 0, 255));
  EXPECT_TRUE(KeyedWith(go, 255, 0, 255));
  EXPECT_TRUE(KeyedWith(logo, 255, 0, 255));
  EXPECT_TRUE(KeyedWith(tolm, 0, 0, 255));
  EXPECT_TRUE(KeyedWith(text10.bitmap, 255, 255, 255));
  for (SDL_Surface *image : {butup, butdown, skin, sdl}) EXPECT_FALSE(image->flags & SDL_SRCCOLORKEY);
  // No run-length acceleration: the game draws from these surfaces as they were loaded.
  EXPECT_FALSE(text10.bitmap->flags & SDL_RLEACCEL);
}

TEST_F(Init, BlanksTheAnswerRowAndInstallsTheFontTables) {
  InitStuff();
  for (int slot : svarslinje) EXPECT_EQ(slot, 9);
  EXPECT_EQ(0, memcmp(text10.width, text10Width, sizeof text10.width));
  EXPECT_EQ(0, memcmp(text10.xoffset, text10Xoffset, sizeof text10.xoffset));
  EXPECT_EQ(text10.width[0xE5], 9);
  EXPECT_EQ(text10.xoffset[0xE5], 6);
}

// A copy of pix/ in a scratch folder, made the working directory for the test's duration.
class BrokenPix : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    home_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("glimtra-init-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::copy(home_ / "pix", dir_ / "pix");
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(home_);
    fs::remove_all(dir_);
  }
  fs::path home_, dir_;
};

TEST_F(BrokenPix, AMissingImageStopsStartUpNamingTheFile) {
  fs::remove("pix/s3.bmp");
  EXPECT_EXIT(InitStuff(), testing::ExitedWithCode(1), "cannot load pix/s3.bmp.*folder that holds pix/");
}

TEST_F(BrokenPix, ATruncatedImageStopsStartUpNamingTheFile) {
  fs::resize_file("pix/tahoma10.bmp", 100);
  EXPECT_EXIT(InitStuff(), testing::ExitedWithCode(1), "cannot load pix/tahoma10.bmp");
}

TEST_F(BrokenPix, AFileThatIsNoImageStopsStartUpNamingTheFile) {
  std::ofstream("pix/skin3.bmp") << "not an image";
  EXPECT_EXIT(InitStuff(), testing::ExitedWithCode(1), "cannot load pix/skin3.bmp");
}

}  // namespace
