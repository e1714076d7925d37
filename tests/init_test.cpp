// Start-up loading: what InitStuff leaves behind, and how it stops when an image is missing or broken.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "seams.h"

namespace fs = std::filesystem;

namespace {

using Init = GameTest;

// The colour keys and the glyph sheet show in the golden frames of the scene tests; here what a frame
// does not show.
TEST_F(Init, StartsTheClockBlanksTheAnswerRowAndInstallsTheFontTables) {
  fakeTicks = 1234;
  InitStuff();
  EXPECT_EQ(tid, 1234);
  for (int slot : svarslinje) EXPECT_EQ(slot, 9);
  // Advances known from the layout: N 9, i 4, v 9, \xE5 9, : 4; and "Memorera!" 78 pixels wide.
  EXPECT_EQ(DrawString(text10, 0, 0, "Niv\xE5:", SDL_GetVideoSurface()), 35);
  EXPECT_EQ(DrawString(text10, 0, 0, "Memorera!", SDL_GetVideoSurface()), 78);
  EXPECT_EQ(text10.xoffset[0xE5], 6);
}

// The check leaves start-up alone and judges the second after it, once: a slow start (here 50 frames in the
// first second, as Direct3D gives under Wine) hides nothing. Its count lives as long as the process, as the
// frame loop does, so this is the one test of it.
TEST_F(Init, FramesFasterThanAnyDisplayAreReportedOnceWhenTheSecondAfterStartUpIsOver) {
  // As the game sets it unless the player has: the flip is meant to wait, so the advice is a driver's.
  setenv("SDL12COMPAT_SYNC_TO_VBLANK", "1", true);
  testing::internal::CaptureStderr();
  for (fakeTicks = 5000; fakeTicks < 6000; fakeTicks += 20) CheckPacing();
  for (; fakeTicks < 7000; fakeTicks += 1) CheckPacing();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "judged before the second after start-up was over";

  testing::internal::CaptureStderr();
  CheckPacing();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("does not pace the frames (1000 in a second after start-up)"), std::string::npos)
      << said;
  EXPECT_NE(said.find("install an OpenGL driver"), std::string::npos) << said;

  testing::internal::CaptureStderr();
  for (int i = 0; i < 2000; ++i, fakeTicks += 1) CheckPacing();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "said more than once";
}

// A copy of pix/ in a scratch folder, made the working directory for the test's duration.
class BrokenPix : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    home_ = fs::current_path();
    // A name no other run can hold: builds in other PID namespaces (build daemons, containers) may share
    // this temporary folder, and a name made from the process id could be theirs.
    std::string dir = (fs::temp_directory_path() / "glimtra-init-XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr) << "no scratch folder in " << fs::temp_directory_path();
    dir_ = dir;
    fs::copy(home_ / "pix", dir_ / "pix");
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(home_);
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  fs::path home_, dir_;
};

// The real binary meets missing and truncated pictures in the end-to-end tests; here the message's
// advice, and a file that is there but is no picture at all.
TEST_F(BrokenPix, AMissingOrUnreadableImageStopsStartUpNamingTheFile) {
  fs::remove("pix/s3.bmp");
  EXPECT_EXIT(InitStuff(), testing::ExitedWithCode(1), "cannot load pix/s3.bmp.*folder that holds pix/");
  fs::copy_file("pix/s2.bmp", "pix/s3.bmp");
  std::ofstream("pix/skin3.bmp") << "not an image";
  EXPECT_EXIT(InitStuff(), testing::ExitedWithCode(1), "cannot load pix/skin3.bmp");
}

}  // namespace
